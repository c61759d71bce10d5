#include "fakeservice.h"

#include <QTest>

bool FakeService::WaitForNewConnection()
{
    return QTest::qWaitFor([this] {
        while (QTcpSocket* pSocket = m_server.nextPendingConnection()) {
            delete m_pPeer;
            m_pPeer = pSocket;
            m_bNewConnection = true;
            auto read = [this, pSocket] {
                const QByteArray data = pSocket->readAll();
                ProcessBytes(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()));
            };
            connect(pSocket, &QTcpSocket::readyRead, this, read);
            read(); // what arrived before the connection was taken
        }
        const bool bNew = m_bNewConnection && m_pPeer->state() == QAbstractSocket::ConnectedState;
        m_bNewConnection = m_bNewConnection && !bNew;
        return bNew;
    });
}

void FakeService::OnPacketReceived(uint16_t nCommand, const uint8_t* pPayload, uint16_t nLength)
{
    m_received.append({nCommand, QByteArray(reinterpret_cast<const char*>(pPayload), nLength)});
}

void FakeService::Send(const QList<QPair<quint16, QByteArray>>& packets)
{
    for (const auto& packet : packets)
        CBRFNFramer::Send(packet.first, packet.second);
    m_pPeer->write(m_out);
    m_out.clear();
}

QList<QByteArray> FakeService::Received(quint16 nCommand, int nSubCommand) const
{
    QList<QByteArray> result;
    for (const Packet& packet : m_received)
        if (packet.nCommand == nCommand && !packet.payload.isEmpty() &&
            quint8(packet.payload.at(0)) == nSubCommand)
            result.append(packet.payload);
    return result;
}

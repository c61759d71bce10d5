#include "fakeservice.h"

#include <QHostAddress>
#include <QTest>

FakeService::FakeService(QObject* pParent) : QObject(pParent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &FakeService::OnNewConnection);
}

bool FakeService::Listen(quint16 nPort)
{
    return m_server.listen(QHostAddress(QHostAddress::LocalHost), nPort);
}

void FakeService::OnNewConnection()
{
    while (QTcpSocket* pSocket = m_server.nextPendingConnection()) {
        if (m_pPeer)
            m_pPeer->deleteLater();
        m_pPeer = pSocket;
        m_bNewConnection = true;
        connect(pSocket, &QTcpSocket::readyRead, this, &FakeService::OnReadyRead);
    }
}

bool FakeService::WaitForNewConnection(int nTimeoutMs)
{
    return QTest::qWaitFor([this] { return TakeNewConnection(); }, nTimeoutMs);
}

bool FakeService::TakeNewConnection()
{
    const bool bNew = m_bNewConnection && IsConnected();
    if (bNew)
        m_bNewConnection = false;
    return bNew;
}

void FakeService::DropConnection()
{
    if (m_pPeer)
        m_pPeer->disconnectFromHost();
}

void FakeService::OnReadyRead()
{
    if (!m_pPeer)
        return;
    const QByteArray data = m_pPeer->readAll();
    for (char c : data)
        ProcessByte(uint8_t(c));
}

void FakeService::OnPacketReceived(uint16_t nCommand, const uint8_t* pPayload, uint16_t nLength)
{
    Packet packet;
    packet.nCommand = nCommand;
    packet.payload = QByteArray(reinterpret_cast<const char*>(pPayload), nLength);
    m_received.append(packet);
}

void FakeService::WriteBytes(const uint8_t* pData, uint16_t nCount)
{
    const QByteArray bytes(reinterpret_cast<const char*>(pData), nCount);
    if (m_pCollect)
        m_pCollect->append(bytes);
    else if (m_pPeer)
        m_pPeer->write(bytes);
}

void FakeService::Send(quint16 nCommand, const QByteArray& payload)
{
    SendPacket(nCommand, reinterpret_cast<const uint8_t*>(payload.constData()), uint16_t(payload.size()));
}

void FakeService::SendTogether(const QList<QPair<quint16, QByteArray>>& packets)
{
    QByteArray all;
    m_pCollect = &all;
    for (const auto& packet : packets)
        Send(packet.first, packet.second);
    m_pCollect = nullptr;
    if (m_pPeer)
        m_pPeer->write(all);
}

QList<FakeService::Packet> FakeService::Received(quint16 nCommand, int nSubCommand) const
{
    QList<Packet> result;
    for (const Packet& packet : m_received)
        if (packet.nCommand == nCommand && (nSubCommand < 0 || packet.SubCommand() == nSubCommand))
            result.append(packet);
    return result;
}

#include "packetlog.h"

#include <QTest>

QByteArrayList PacketLog::Incoming(int nCommand, int nSub) const
{
    QByteArrayList payloads;
    for (const Packet& p : m_packets)
        if (p.bIncoming && (nCommand < 0 || p.nCommand == nCommand) &&
            (nSub < 0 || p.payload.startsWith(char(nSub))))
            payloads.append(p.payload);
    return payloads;
}

QByteArray PacketLog::LastIncoming(quint16 nCommand, int nSub) const
{
    const QByteArrayList payloads = Incoming(nCommand, nSub);
    return payloads.isEmpty() ? QByteArray() : payloads.last();
}

void PacketLog::ClearIncoming()
{
    m_packets.erase(
        std::remove_if(m_packets.begin(), m_packets.end(), [](const Packet& p) { return p.bIncoming; }),
        m_packets.end());
    m_incomingBytes.clear();
}

void PacketLog::Send(const QList<QPair<quint16, QByteArray>>& packets)
{
    for (const auto& packet : packets) {
        CBRFNFramer::Send(packet.first, packet.second);
        m_packets.append({false, packet.first, packet.second});
    }
    if (m_pSocket)
        m_pSocket->write(m_out);
    m_out.clear();
}

QByteArray PacketLog::Ask(quint16 nCommand, const QByteArray& payload)
{
    const int nSub = quint8(payload.at(0));
    const int nBefore = Incoming(nCommand, nSub).size();
    Send(nCommand, payload);
    if (!QTest::qWaitFor([&] { return Incoming(nCommand, nSub).size() > nBefore; }, 5000))
        return QByteArray();
    return LastIncoming(nCommand, nSub);
}

void PacketLog::Attach(QAbstractSocket* pSocket)
{
    m_pSocket = pSocket;
    m_incomingBytes.clear();
    if (pSocket) {
        QObject::connect(pSocket, &QAbstractSocket::readyRead, pSocket, [this, pSocket] {
            if (pSocket == m_pSocket)
                Read();
        });
        if (pSocket->isOpen())
            Read(); // what arrived before the socket was taken
    }
}

void PacketLog::Read()
{
    const QByteArray data = m_pSocket->readAll();
    m_incomingBytes += data;
    ProcessBytes(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()));
}

void PacketLog::WriteBytes(const uint8_t* pData, uint16_t nCount)
{
    m_out.append(reinterpret_cast<const char*>(pData), nCount);
}

void PacketLog::OnPacketReceived(uint16_t nCommand, const uint8_t* pPayload, uint16_t nLength)
{
    m_packets.append({true, nCommand, QByteArray(reinterpret_cast<const char*>(pPayload), nLength)});
}

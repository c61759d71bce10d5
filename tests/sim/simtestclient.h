#ifndef SIMTESTCLIENT_H
#define SIMTESTCLIENT_H

// A bare panel for the stand-in service's tests: a real TCP socket, the
// link's framing, and a record of every packet and byte that arrives.

#include "brfncodec.h"
#include "cbrfnprotocolpacket.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QTcpSocket>

class CSimTestClient : public CBRFNProtocolPacket
{
public:
    struct PACKET
    {
        uint16_t nCommand;
        QByteArray payload;
    };

    CSimTestClient()
    {
        QObject::connect(&m_Socket, &QTcpSocket::readyRead, [this]() {
            const QByteArray bytes = m_Socket.readAll();
            m_Raw += bytes;
            for (char c : bytes)
                ProcessByte(uint8_t(c));
        });
    }

    bool Connect(quint16 nPort)
    {
        m_Socket.connectToHost(QHostAddress::LocalHost, nPort);
        return m_Socket.waitForConnected(5000);
    }

    void Send(uint16_t nCommand, const QByteArray& payload)
    {
        SendPacket(nCommand, reinterpret_cast<const uint8_t*>(payload.constData()), uint16_t(payload.size()));
    }

    int Count(uint16_t nCommand) const
    {
        int n = 0;
        for (const PACKET& p : m_Packets)
            n += p.nCommand == nCommand ? 1 : 0;
        return n;
    }

    // The last packet of a command with the given first byte (-1: any).
    QByteArray Last(uint16_t nCommand, int nSubCommand = -1) const
    {
        for (int i = m_Packets.size() - 1; i >= 0; --i) {
            const PACKET& p = m_Packets.at(i);
            if (p.nCommand == nCommand &&
                (nSubCommand < 0 || (!p.payload.isEmpty() && uint8_t(p.payload[0]) == nSubCommand)))
                return p.payload;
        }
        return QByteArray();
    }

    int CountSub(uint16_t nCommand, int nSubCommand) const
    {
        int n = 0;
        for (const PACKET& p : m_Packets)
            n += p.nCommand == nCommand && !p.payload.isEmpty() && uint8_t(p.payload[0]) == nSubCommand ? 1
                                                                                                        : 0;
        return n;
    }

    static const uint8_t* Data(const QByteArray& payload)
    {
        return reinterpret_cast<const uint8_t*>(payload.constData());
    }

    QTcpSocket m_Socket;
    QList<PACKET> m_Packets;
    QByteArray m_Raw;

protected:
    int ReadBytes(uint8_t*, int) override { return 0; }
    void WriteBytes(const uint8_t* pData, uint16_t nCount) override
    {
        m_Socket.write(reinterpret_cast<const char*>(pData), nCount);
    }
    void OnActivity(int, int) override {}
    void OnPacketReceived(uint16_t nCommand, const uint8_t* pPayload, uint16_t nLength) override
    {
        m_Packets.append(PACKET{nCommand, QByteArray(reinterpret_cast<const char*>(pPayload), nLength)});
    }
    void SpareHook() override {}
    void BeginTransmit() override {}
    void EndTransmit() override {}
};

#endif // SIMTESTCLIENT_H

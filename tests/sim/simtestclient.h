#ifndef SIMTESTCLIENT_H
#define SIMTESTCLIENT_H

// A bare panel for the stand-in service's tests: a real TCP socket, the
// link's framing, and a record of every packet that arrives.

#include "brfncodec.h"
#include "cbrfnframer.h"

#include <QHostAddress>
#include <QPair>
#include <QTcpSocket>
#include <QTest>

inline QString DataFile(const QString& strName)
{
    return qEnvironmentVariable("TELLURIX_SOURCE_DIR") + "/tests/data/" + strName;
}

class CSimTestClient : public CBRFNFramer
{
public:
    CSimTestClient()
    {
        QObject::connect(&m_Socket, &QTcpSocket::readyRead, [this]() {
            for (char c : m_Socket.readAll())
                ProcessByte(uint8_t(c));
        });
    }

    bool Connect(quint16 nPort)
    {
        m_Socket.connectToHost(QHostAddress::LocalHost, nPort);
        return m_Socket.waitForConnected(5000);
    }

    // Sends a packet and waits for the reply with the same command and first
    // byte; returns its payload (empty when none came within 5 s).
    QByteArray Ask(uint16_t nCommand, const QByteArray& payload)
    {
        const int nSub = uint8_t(payload.at(0));
        const int nBefore = Count(nCommand, nSub);
        Send(nCommand, payload);
        if (!QTest::qWaitFor([&]() { return Count(nCommand, nSub) > nBefore; }, 5000))
            return QByteArray();
        return Last(nCommand, nSub);
    }

    // Payloads of a command, in arrival order, whose first byte is nSub (-1: any).
    QByteArrayList All(uint16_t nCommand, int nSub = -1) const
    {
        QByteArrayList payloads;
        for (const QPair<uint16_t, QByteArray>& p : m_Packets) {
            if (p.first == nCommand && (nSub < 0 || p.second.startsWith(char(nSub))))
                payloads.append(p.second);
        }
        return payloads;
    }
    int Count(uint16_t nCommand, int nSub = -1) const { return All(nCommand, nSub).size(); }
    QByteArray Last(uint16_t nCommand, int nSub = -1) const
    {
        const QByteArrayList payloads = All(nCommand, nSub);
        return payloads.isEmpty() ? QByteArray() : payloads.last();
    }

    template <class T> static T Decode(T (*pDecode)(const uint8_t*, int), const QByteArray& payload)
    {
        return pDecode(reinterpret_cast<const uint8_t*>(payload.constData()), payload.size());
    }

    QTcpSocket m_Socket;
    QList<QPair<uint16_t, QByteArray>> m_Packets; // command, payload

protected:
    void WriteBytes(const uint8_t* pData, uint16_t nCount) override
    {
        m_Socket.write(reinterpret_cast<const char*>(pData), nCount);
    }
    void OnPacketReceived(uint16_t nCommand, const uint8_t* pPayload, uint16_t nLength) override
    {
        m_Packets.append({nCommand, QByteArray(reinterpret_cast<const char*>(pPayload), nLength)});
    }
};

#endif // SIMTESTCLIENT_H

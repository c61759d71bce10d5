#ifndef SIMTESTCLIENT_H
#define SIMTESTCLIENT_H

// A bare panel for the stand-in service's tests: a real TCP socket, the
// link's framing, and a log of every packet.

#include "brfncodec.h"
#include "packetlog.h"

#include <QHostAddress>
#include <QTcpSocket>

inline QString DataFile(const QString& strName)
{
    return qEnvironmentVariable("TELLURIX_SOURCE_DIR") + "/tests/data/" + strName;
}

class CSimTestClient : public PacketLog
{
public:
    CSimTestClient() { Attach(&m_Socket); }
    bool Connect(quint16 nPort)
    {
        m_Socket.connectToHost(QHostAddress::LocalHost, nPort);
        return m_Socket.waitForConnected(5000);
    }
    template <class T> static T Decode(T (*pDecode)(const uint8_t*, int), const QByteArray& payload)
    {
        return pDecode(reinterpret_cast<const uint8_t*>(payload.constData()), payload.size());
    }

    QTcpSocket m_Socket;
};

#endif // SIMTESTCLIENT_H

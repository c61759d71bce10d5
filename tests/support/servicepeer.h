#ifndef SERVICEPEER_H
#define SERVICEPEER_H

// Plays the service on its TCP port: takes each connection the panel makes
// (the newest is the one spoken on) and logs the packets both ways.

#include "cbrfnprotocolqt.h"
#include "packetlog.h"

#include <QTcpServer>
#include <QTcpSocket>

class ServicePeer : public QObject, public PacketLog
{
public:
    ServicePeer();
    bool Listen() { return m_server.listen(QHostAddress::LocalHost, CBRFNProtocolQt::SERVICE_PORT); }
    // Waits up to 5 s until a connection newer than the last one waited for is up.
    bool WaitForNewConnection();
    // The newest connection, for raw bytes and for dropping the link.
    QTcpSocket* Peer() const { return qobject_cast<QTcpSocket*>(m_pSocket.data()); }

    QTcpServer m_server;
    int m_nAccepted = 0;

private:
    int m_nWaited = 0;
};

// Set-up of every test of the window: settings kept away from the user's,
// the records registered for queued signals, the service listening.
bool StartWindowTests(ServicePeer& service);

#endif // SERVICEPEER_H

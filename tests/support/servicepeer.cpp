#include "servicepeer.h"

#include <QStandardPaths>
#include <QTest>

ServicePeer::ServicePeer()
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* pSocket = m_server.nextPendingConnection()) {
            ++m_nAccepted;
            Attach(pSocket);
        }
    });
}

bool ServicePeer::WaitForNewConnection()
{
    if (!QTest::qWaitFor([this] {
            return m_nAccepted > m_nWaited && Peer() && Peer()->state() == QAbstractSocket::ConnectedState;
        }))
        return false;
    m_nWaited = m_nAccepted;
    return true;
}

bool StartWindowTests(ServicePeer& service)
{
    QStandardPaths::setTestModeEnabled(true);
    CBRFNProtocolQt::RegisterMetaTypes();
    return service.Listen();
}

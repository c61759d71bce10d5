#ifndef HTTPSTUB_H
#define HTTPSTUB_H

// The maker's web server played on 127.0.0.1 at a free port: answers every
// GET over HTTP/1.1 by its path, with a status, a body and a delay taken from
// a table, and records what it was asked and which askers hung up unanswered.

#include <QByteArrayList>
#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

class HttpStub : public QObject
{
public:
    struct Route
    {
        int nStatus = 200;
        QByteArray body;
        int nDelayMs = 0; // < 0: never answers
    };

    QHash<QByteArray, Route> m_routes; // by path; others get 404
    QByteArrayList m_requests;         // request lines, in order of arrival
    int m_nHungUp = 0;                 // connections the client closed before an answer

    HttpStub()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* pSocket = m_server.nextPendingConnection())
                Serve(pSocket);
        });
    }
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

    // An address where nobody listens: a port that was free a moment ago.
    static QString ClosedUrl()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
    }

private:
    void Serve(QTcpSocket* pSocket)
    {
        connect(pSocket, &QTcpSocket::disconnected, this, [this, pSocket] {
            if (!pSocket->property("answered").toBool())
                ++m_nHungUp;
            pSocket->deleteLater();
        });
        connect(pSocket, &QTcpSocket::readyRead, this, [this, pSocket] {
            const QByteArray before = pSocket->property("head").toByteArray();
            const QByteArray head = before + pSocket->readAll();
            pSocket->setProperty("head", head);
            if (before.contains("\r\n\r\n") || !head.contains("\r\n\r\n"))
                return; // one request per connection
            const QByteArray line = head.left(head.indexOf("\r\n"));
            m_requests.append(line);
            const Route route = m_routes.value(line.split(' ').value(1),
                                               Route{404, "<html><body>Not Found</body></html>", 0});
            if (route.nDelayMs >= 0)
                QTimer::singleShot(route.nDelayMs, pSocket, [pSocket, route] {
                    pSocket->setProperty("answered", true);
                    pSocket->write("HTTP/1.1 " + QByteArray::number(route.nStatus) +
                                   " Reason\r\nContent-Type: application/json\r\nContent-Length: " +
                                   QByteArray::number(route.body.size()) + "\r\nConnection: close\r\n\r\n" +
                                   route.body);
                    pSocket->disconnectFromHost();
                });
        });
    }

    QTcpServer m_server;
};

#endif // HTTPSTUB_H

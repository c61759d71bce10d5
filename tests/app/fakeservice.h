#ifndef FAKESERVICE_H
#define FAKESERVICE_H

// A stand-in for the service on its TCP port: keeps the newest connection,
// records every packet the panel sends and sends packets back.

#include "cbrfnframer.h"
#include "cbrfnprotocolqt.h"

#include <QPointer>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

class FakeService : public QObject, public CBRFNFramer
{
    Q_OBJECT

public:
    struct Packet
    {
        quint16 nCommand = 0;
        QByteArray payload; // the sub-command is its first byte
    };
    QList<Packet> m_received;

    bool Listen() { return m_server.listen(QHostAddress::LocalHost, 51501); }
    // Waits until a connection newer than the last one taken is up, and takes it.
    bool WaitForNewConnection();
    // Sends the packets in one write, so that they arrive together.
    void Send(const QList<QPair<quint16, QByteArray>>& packets);
    void Send(quint16 nCommand, const QByteArray& payload) { Send({{nCommand, payload}}); }
    // Payloads received with this command and sub-command.
    QList<QByteArray> Received(quint16 nCommand, int nSubCommand) const;

protected:
    void WriteBytes(const uint8_t* pData, uint16_t nCount) override
    {
        m_out.append(reinterpret_cast<const char*>(pData), nCount);
    }
    void OnPacketReceived(uint16_t nCommand, const uint8_t* pPayload, uint16_t nLength) override;

private:
    QTcpServer m_server;
    QPointer<QTcpSocket> m_pPeer;
    bool m_bNewConnection = false;
    QByteArray m_out; // frames gathered for the next write
};

// Set-up of every test of the window: settings kept away from the user's,
// the records registered for queued signals, the service listening.
inline bool StartWindowTests(FakeService& service)
{
    QStandardPaths::setTestModeEnabled(true);
    CBRFNProtocolQt::RegisterMetaTypes();
    return service.Listen();
}

#endif // FAKESERVICE_H

#ifndef FAKESERVICE_H
#define FAKESERVICE_H

// A stand-in for the time-synchronisation service: listens on the service's
// TCP port, keeps the newest connection, records every packet the panel sends
// and sends packets back.

#include "cbrfnprotocolpacket.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

class FakeService : public QObject, public CBRFNProtocolPacket
{
    Q_OBJECT

public:
    struct Packet
    {
        quint16 nCommand = 0;
        QByteArray payload;
        int SubCommand() const { return payload.isEmpty() ? -1 : quint8(payload.at(0)); }
    };

    explicit FakeService(QObject* pParent = nullptr);

    bool Listen(quint16 nPort = 51501);
    void StopListening() { m_server.close(); }
    // Waits until a connection newer than the last one taken is up, and takes it.
    bool WaitForNewConnection(int nTimeoutMs = 5000);
    bool IsConnected() const { return m_pPeer && m_pPeer->state() == QAbstractSocket::ConnectedState; }
    void DropConnection();

    void Send(quint16 nCommand, const QByteArray& payload);
    // Several packets in one write, so that they arrive together.
    void SendTogether(const QList<QPair<quint16, QByteArray>>& packets);

    QList<Packet> m_received;
    void ClearReceived() { m_received.clear(); }
    // Packets received with this command (and sub-command, when not -1).
    QList<Packet> Received(quint16 nCommand, int nSubCommand = -1) const;

protected:
    int ReadBytes(uint8_t*, int) override { return 0; }
    void WriteBytes(const uint8_t* pData, uint16_t nCount) override;
    void OnActivity(int, int) override {}
    void OnPacketReceived(uint16_t nCommand, const uint8_t* pPayload, uint16_t nLength) override;
    void SpareHook() override {}
    void BeginTransmit() override {}
    void EndTransmit() override {}

private:
    bool TakeNewConnection();

private slots:
    void OnNewConnection();
    void OnReadyRead();

private:
    QTcpServer m_server;
    QPointer<QTcpSocket> m_pPeer;
    bool m_bNewConnection = false;
    QByteArray* m_pCollect = nullptr; // set while SendTogether gathers frames
};

#endif // FAKESERVICE_H

#ifndef SIMCONNECTION_H
#define SIMCONNECTION_H

// One panel connected to the stand-in service: the framing of the link over
// its TCP socket. Complete packets go to the service; the service answers
// through Send.

#include "cbrfnframer.h"

#include <QByteArray>
#include <QObject>

class QTcpSocket;
class CSimService;

class CSimConnection : public QObject, public CBRFNFramer
{
    Q_OBJECT

public:
    // Takes over the socket (it becomes a child of the connection).
    CSimConnection(QTcpSocket* pSocket, CSimService* pService);

    void Send(uint16_t nCommand, const QByteArray& payload);
    // Bytes outside any packet (fault modes).
    void SendRaw(const QByteArray& bytes);
    // Lets the written bytes go out, then closes the connection.
    void Close();

    // One forced calibration at a time: a request while one runs is answered
    // by that one's result.
    bool CalibrationPending() const { return m_bCalibrationPending; }
    void SetCalibrationPending(bool bPending) { m_bCalibrationPending = bPending; }

signals:
    void SignalClosed(CSimConnection* pConnection);

private slots:
    void OnReadyRead();
    void OnDisconnected();

protected:
    void OnPacketReceived(uint16_t nCommand, const uint8_t* pPayload, uint16_t nLength) override;
    void WriteBytes(const uint8_t* pData, uint16_t nCount) override;

private:
    void DropIfBacklogged();

    QTcpSocket* m_pSocket;
    CSimService* m_pService;
    bool m_bClosed = false; // no more sends
    bool m_bGone = false;   // SignalClosed emitted
    bool m_bCalibrationPending = false;
};

#endif // SIMCONNECTION_H

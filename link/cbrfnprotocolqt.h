#ifndef CBRFNPROTOCOLQT_H
#define CBRFNPROTOCOLQT_H

#include "brfncodec.h"
#include "cbrfnprotocolpacket.h"

#include <QAbstractSocket>
#include <QObject>
#include <QString>

class QTcpSocket;
class QTimer;

// The panel's one connection to the time-synchronisation service on
// 127.0.0.1:51501. Keeps the connection up for the panel's whole life, feeds
// every received byte to the framing, decodes each packet and announces it
// with a signal; offers one send operation per request or setting.
class CBRFNProtocolQt : public QObject, public CBRFNProtocolPacket
{
    Q_OBJECT

public:
    typedef BRFN::CMD_DATA_COMM_PORT CMD_DATA_COMM_PORT;
    typedef BRFN::CMD_DATA_TIME_DIFF_OFFSET CMD_DATA_TIME_DIFF_OFFSET;
    typedef BRFN::CMD_DATA_CONTROL_LOOP_STATUS CMD_DATA_CONTROL_LOOP_STATUS;
    typedef BRFN::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY CMD_DATA_CONTROL_LOOP_STATUS_HISTORY;
    typedef BRFN::CMD_DATA_GPS_STATUS CMD_DATA_GPS_STATUS;
    typedef BRFN::CMD_DATA_LOOP_PARAMETERS CMD_DATA_LOOP_PARAMETERS;
    typedef BRFN::CMD_DATA_NTP_CALIBRATION CMD_DATA_NTP_CALIBRATION;
    typedef BRFN::CMD_DATA_GPS_LOCK_CONFIG CMD_DATA_GPS_LOCK_CONFIG;
    typedef BRFN::SATELLITE_DATA SATELLITE_DATA;

    static constexpr quint16 SERVICE_PORT = 51501;
    // Pause before the next attempt while the service is not there.
    static constexpr int RETRY_DELAY_MS = 250;

    explicit CBRFNProtocolQt(QObject* pParent = nullptr);
    ~CBRFNProtocolQt() override;

    // Registers the records with Qt's meta-type system under their
    // CBRFNProtocolQt:: names (done by the constructor as well).
    static void RegisterMetaTypes();

    void RequestCommPort();
    void SetCommPort(int nPort, int nBaud);
    void RequestTimeDiffOffset();
    void SetTimeDiffOffset(double dOffset);
    void RequestLoopParameters();
    void SetLoopParameters(const CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS& params, bool bResetLoop);
    void EnableControlLoop(bool bEnable);
    void EraseHistory();
    void RequestControlLoopStatusLog();
    void StartControlLoopStatusLog(const QString& strFileName);
    void StopControlLoopStatusLog();
    void RequestRecordGPSData();
    void StartRecordGPSData(const QString& strFileName);
    void StopRecordGPSData();
    void RequestNTPCalibration();
    void SetNTPAddress(const QString& strAddress);
    void RequestNTPAddress();
    void ForceNTPCalibration();
    void RequestGPSLockConfig();
    void SetGPSLockConfig(const CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG& config);

    // True from the socket's connected() until its disconnected(); read by the
    // service-state display at every paint.
    bool m_bConnected = false;

signals:
    void SignalDisconnected();
    void SignalConnected();
    void RxCmdCommPort(CBRFNProtocolQt::CMD_DATA_COMM_PORT Data);
    void RxCmdTimeDiffOffset(CBRFNProtocolQt::CMD_DATA_TIME_DIFF_OFFSET Data);
    void RxCmdControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS Data);
    void RxCmdGPSStatus(CBRFNProtocolQt::CMD_DATA_GPS_STATUS Data);
    void RxCmdLoopParameters(CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS LoopParameters);
    void RxCmdControlLoopStatusHistory(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY& Data);
    void RxCmdControlLoopStatusLog(int nSubCmd, int nFileStatus, int nResult, QString& strFileName);
    void RxCmdRecordGPSData(int nSubCmd, int nFileStatus, int nResult, QString& strFileName);
    void RxCmdNTPCalibration(CBRFNProtocolQt::CMD_DATA_NTP_CALIBRATION Data);
    void RxCmdNTPAddress(CBRFNProtocolQt::CMD_DATA_NTP_CALIBRATION Data);
    void RxCmdForceNTPCalibration();
    void RxCmdGPSLockConfig(CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG Data);

private slots:
    void OnClientConnected();
    void OnClientDisconnected();
    void OnClientError(QAbstractSocket::SocketError socketError);
    void OnReadyRead();
    void ConnectToService();

protected:
    // Decodes one packet and emits its signal (the framing calls it for every
    // packet with a correct checksum).
    void OnPacketReceived(uint16_t nCommand, const uint8_t* pPayload, uint16_t nLength) override;
    int ReadBytes(uint8_t* pBuffer, int nCount) override;
    void WriteBytes(const uint8_t* pData, uint16_t nCount) override;
    void OnActivity(int nActive, int nDirection) override;
    void SpareHook() override;
    void BeginTransmit() override;
    void EndTransmit() override;

private:
    void Send(uint16_t nCommand, const QByteArray& payload);

    QTcpSocket* m_pSocket = nullptr;
    QTimer* m_pRetryTimer = nullptr;
    CMD_DATA_CONTROL_LOOP_STATUS_HISTORY m_History;
    CMD_DATA_NTP_CALIBRATION m_NTPCalibration;
};

Q_DECLARE_METATYPE(BRFN::CMD_DATA_COMM_PORT)
Q_DECLARE_METATYPE(BRFN::CMD_DATA_TIME_DIFF_OFFSET)
Q_DECLARE_METATYPE(BRFN::CMD_DATA_CONTROL_LOOP_STATUS)
Q_DECLARE_METATYPE(BRFN::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY)
Q_DECLARE_METATYPE(BRFN::CMD_DATA_GPS_STATUS)
Q_DECLARE_METATYPE(BRFN::CMD_DATA_LOOP_PARAMETERS)
Q_DECLARE_METATYPE(BRFN::CMD_DATA_NTP_CALIBRATION)
Q_DECLARE_METATYPE(BRFN::CMD_DATA_GPS_LOCK_CONFIG)

#endif // CBRFNPROTOCOLQT_H

#ifndef SIMSERVICE_H
#define SIMSERVICE_H

// The stand-in time-synchronisation service: listens for panels, answers
// every request with its current values, applies every setting, and once a
// service second pushes the control-loop status and the GPS status to every
// connected panel while it sends that second's NMEA sentences over UDP.

#include "brfncodec.h"
#include "clockloopmodel.h"
#include "constellationsynth.h"
#include "nmeaepoch.h"
#include "nmeareplay.h"
#include "simlogwriter.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <random>

class QTcpServer;
class QTimer;
class QUdpSocket;
class CSimConnection;

struct SIM_OPTIONS
{
    QString strAddress = "127.0.0.1";
    quint16 nPort = 51501;
    quint16 nNmeaPort = 51502;
    double dRate = 1.0;      // service seconds (pushes) per real second
    QString strReplayFile;   // empty: synthesised constellation
    int nDropEvery = 0;      // close every connection after this many seconds (0: never)
    bool bCutPacket = false; // send half a packet before each drop
    bool bGarbage = false;   // random bytes between packets
    int nFloodRate = 0;      // extra status packets per real second (0: none)
    int nMessageEvery = 60;  // a CMD_MESSAGE every so many seconds (0: only on events)
    int nCalibrationDelayMs = 1500;
    int nFixLossEvery = 0;  // synthesised fix: lost every so many seconds (0: never)
    int nFixLossLength = 8; // ... for so many seconds
    quint32 nSeed = 1;
    double dPhaseNoise = CClockLoopModel::PHASE_NOISE; // white phase noise of each measurement, seconds
    double dRwfm = CClockLoopModel::RWFM_NOISE;        // random-walk frequency noise, per sqrt(second)
};

class CSimService : public QObject
{
    Q_OBJECT

public:
    explicit CSimService(const SIM_OPTIONS& options, QObject* pParent = nullptr);
    ~CSimService() override;

    // Loads the capture (when one is named), binds and starts the clock.
    bool Start(QString* pError = nullptr);

    quint16 ServerPort() const;
    int ClientCount() const { return m_Connections.size(); }
    int TickIntervalMs() const;
    int Second() const { return m_nSecond; }
    const CClockLoopModel& Loop() const { return m_Loop; }
    const CNmeaReplay& Replay() const { return m_Replay; }
    bool Replaying() const { return !m_Replay.IsEmpty(); }
    // The last GPS record pushed.
    const BRFN::CMD_DATA_GPS_STATUS& GPSStatus() const { return m_GPSStatus; }

    // A complete packet from a panel.
    void HandlePacket(CSimConnection* pConnection, uint16_t nCommand, const uint8_t* pPayload,
                      uint16_t nLength);

public slots:
    // One service second (the clock timer calls it).
    void OnTick();

signals:
    void SignalTick(int nSecond);

private slots:
    void OnNewConnection();
    void OnConnectionClosed(CSimConnection* pConnection);
    void OnFlood();

private:
    // Defaults the service starts with.
    static constexpr int DEFAULT_COMM_PORT = 3;
    static constexpr int DEFAULT_BAUD = 4800;
    static constexpr double NO_NTP_RESPONSE = 99999.9;
    static constexpr const char* DEFAULT_NTP_ADDRESS = "ntp.tellurix.example";

    void Broadcast(uint16_t nCommand, const QByteArray& payload);
    void BroadcastMessage(const QString& strText);
    void SendGarbage(CSimConnection* pConnection);
    void DropConnections();
    NMEA_EPOCH NextEpoch();
    void HandleLog(CSimConnection* pConnection, uint16_t nCommand, CSimLogWriter& log,
                   const QByteArray& header, const uint8_t* pPayload, uint16_t nLength);
    void StartCalibration(CSimConnection* pConnection);

    SIM_OPTIONS m_Options;
    QTcpServer* m_pServer;
    QUdpSocket* m_pUdp;
    QTimer* m_pTickTimer;
    QTimer* m_pFloodTimer;
    QList<CSimConnection*> m_Connections;

    CClockLoopModel m_Loop;
    CConstellationSynth m_Synth;
    CNmeaReplay m_Replay;
    CNmeaGpsState m_GpsState;
    CSimLogWriter m_StatusLog;
    CSimLogWriter m_GPSLog;
    std::mt19937 m_Random;

    int m_nSecond = 0;
    QDateTime m_StartUtc;
    int32_t m_nCommPort = DEFAULT_COMM_PORT;
    int32_t m_nBaud = DEFAULT_BAUD;
    QString m_strNTPAddress = DEFAULT_NTP_ADDRESS;
    double m_dNTPAux = 0.0;
    double m_dEstCalibration = NO_NTP_RESPONSE;
    int m_nLastLoopState = -1;
    BRFN::CMD_DATA_CONTROL_LOOP_STATUS m_Status;
    BRFN::CMD_DATA_GPS_STATUS m_GPSStatus;
    QElapsedTimer m_FloodClock;
    qint64 m_nFloodSent = 0;
};

#endif // SIMSERVICE_H

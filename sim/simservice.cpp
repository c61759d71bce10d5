#include "simservice.h"

#include "simconnection.h"

#include <QDebug>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <cmath>

namespace {

const char* const LOOP_STATE_NAMES[] = {"Off",      "No Disc", "NO GPS",   "Starting...", "Searching",
                                        "Synching", "Locked",  "Holdover", "Recovery"};

QString LoopStateName(int nState)
{
    return nState >= 0 && nState <= 8 ? QString(LOOP_STATE_NAMES[nState]) : QString("Unknown");
}

} // namespace

CSimService::CSimService(const SIM_OPTIONS& options, QObject* pParent)
    : QObject(pParent), m_Options(options), m_pServer(new QTcpServer(this)), m_pUdp(new QUdpSocket(this)),
      m_pTickTimer(new QTimer(this)), m_pFloodTimer(new QTimer(this)),
      m_Loop(options.nSeed, options.dPhaseNoise, options.dRwfm), m_Synth(options.nSeed + 1),
      m_Random(options.nSeed + 2)
{
    m_Synth.SetFixLoss(options.nFixLossEvery, options.nFixLossLength);
    connect(m_pServer, SIGNAL(newConnection()), this, SLOT(OnNewConnection()));
    // The service second should not run early: the coarse timer may fire 5 % soon.
    m_pTickTimer->setTimerType(Qt::PreciseTimer);
    connect(m_pTickTimer, SIGNAL(timeout()), this, SLOT(OnTick()));
    connect(m_pFloodTimer, SIGNAL(timeout()), this, SLOT(OnFlood()));
}

CSimService::~CSimService()
{
    m_StatusLog.Stop();
    m_GPSLog.Stop();
}

int CSimService::TickIntervalMs() const
{
    const double dRate = std::isfinite(m_Options.dRate) && m_Options.dRate > 0.0 ? m_Options.dRate : 1.0;
    return std::clamp(int(std::lround(1000.0 / dRate)), 1, 3600 * 1000);
}

quint16 CSimService::ServerPort() const
{
    return m_pServer->serverPort();
}

bool CSimService::Start(QString* pError)
{
    if (!m_Options.strReplayFile.isEmpty() && !m_Replay.Load(m_Options.strReplayFile, pError))
        return false;
    // QHostAddress takes a name it cannot parse for the any-address: the
    // service would then listen on every interface.
    QHostAddress address;
    if (!address.setAddress(m_Options.strAddress)) {
        if (pError)
            *pError = QString("%1 is not an IP address (such as 127.0.0.1)").arg(m_Options.strAddress);
        return false;
    }
    if (!m_pServer->listen(address, m_Options.nPort)) {
        if (pError)
            *pError = QString("cannot listen on %1:%2: %3")
                          .arg(m_Options.strAddress)
                          .arg(m_Options.nPort)
                          .arg(m_pServer->errorString());
        return false;
    }
    m_StartUtc = QDateTime::currentDateTimeUtc();
    m_pTickTimer->start(TickIntervalMs());
    if (m_Options.nFloodRate > 0) {
        m_FloodClock.start();
        m_pFloodTimer->start(10);
    }
    return true;
}

void CSimService::OnNewConnection()
{
    while (QTcpSocket* pSocket = m_pServer->nextPendingConnection()) {
        CSimConnection* pConnection = new CSimConnection(pSocket, this);
        connect(pConnection, SIGNAL(SignalClosed(CSimConnection*)), this,
                SLOT(OnConnectionClosed(CSimConnection*)));
        m_Connections.append(pConnection);
        qDebug() << "tellurix-sim: panel connected, clients:" << m_Connections.size();
    }
}

void CSimService::OnConnectionClosed(CSimConnection* pConnection)
{
    m_Connections.removeAll(pConnection);
    pConnection->deleteLater();
    qDebug() << "tellurix-sim: panel disconnected, clients:" << m_Connections.size();
}

void CSimService::Broadcast(uint16_t nCommand, const QByteArray& payload)
{
    // A copy: a panel that does not read is dropped (and unlisted) by a send.
    const QList<CSimConnection*> connections = m_Connections;
    for (CSimConnection* pConnection : connections) {
        pConnection->Send(nCommand, payload);
        if (m_Options.bGarbage)
            SendGarbage(pConnection);
    }
}

void CSimService::BroadcastMessage(const QString& strText)
{
    Broadcast(BRFN::CMD_MESSAGE, BRFN::EncodeMessage(strText));
}

void CSimService::SendGarbage(CSimConnection* pConnection)
{
    // Up to 40 random bytes; now and then a false start: the two sync bytes
    // and a header whose packet then never completes correctly.
    std::uniform_int_distribution<int> length(1, 40);
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray garbage;
    const int n = length(m_Random);
    for (int i = 0; i < n; ++i)
        garbage.append(char(byte(m_Random)));
    if (byte(m_Random) < 64)
        garbage.append(QByteArray::fromHex("425200004244"));
    pConnection->SendRaw(garbage);
}

void CSimService::DropConnections()
{
    const QList<CSimConnection*> connections = m_Connections;
    for (CSimConnection* pConnection : connections) {
        if (m_Options.bCutPacket) {
            const QByteArray packet =
                FramePacket(BRFN::CMD_GPS_STATUS, BRFN::EncodeGPSStatus(m_GPSStatus));
            pConnection->SendRaw(packet.left(packet.size() / 2));
        }
        pConnection->Close();
    }
}

NMEA_EPOCH CSimService::NextEpoch()
{
    if (!m_Replay.IsEmpty()) {
        bool bRestarted = false;
        const NMEA_EPOCH& epoch = m_Replay.Next(&bRestarted);
        if (bRestarted) {
            const NMEA_COUNTERS& c = m_Replay.Counters();
            const QString strText =
                QString("Replay restarted (pass %1): %2 epochs, %3 sentences (%4 of types not "
                        "interpreted), %5 lines skipped (%6 malformed, %7 bad checksum)")
                    .arg(m_Replay.Pass())
                    .arg(m_Replay.EpochCount())
                    .arg(c.nDecoded + c.nOther)
                    .arg(c.nOther)
                    .arg(c.nMalformed + c.nBadChecksum)
                    .arg(c.nMalformed)
                    .arg(c.nBadChecksum);
            qInfo().noquote() << "tellurix-sim:" << strText;
            BroadcastMessage(strText);
        }
        return epoch;
    }
    CNmeaEpochAssembler assembler;
    NMEA_EPOCH epoch;
    NMEA_EPOCH completed;
    for (const QByteArray& line : m_Synth.Sentences(m_nSecond, m_StartUtc.addSecs(m_nSecond)))
        assembler.AddLine(line, completed); // one second's lines never complete an epoch early
    assembler.Flush(epoch);
    return epoch;
}

void CSimService::OnTick()
{
    ++m_nSecond;
    const NMEA_EPOCH epoch = NextEpoch();
    // Serial port 0: the service reads no receiver.
    const bool bReceiver = m_nCommPort != 0;
    if (bReceiver) {
        m_GPSStatus = m_GpsState.Apply(epoch);
        for (const QByteArray& sentence : epoch.sentences) {
            m_pUdp->writeDatagram(sentence, QHostAddress::LocalHost, m_Options.nNmeaPort);
            m_GPSLog.Write(sentence);
        }
    } else {
        m_GpsState.Reset();
        m_GPSStatus = BRFN::CMD_DATA_GPS_STATUS();
    }
    m_Status = m_Loop.Step(bReceiver, bReceiver && m_GpsState.HasFix() && m_GpsState.TimeValid());
    m_StatusLog.Write(CSimLogWriter::StatusCsvRow(QDateTime::currentDateTimeUtc(), m_Status));

    Broadcast(BRFN::CMD_CONTROL_LOOP_STATUS, BRFN::EncodeControlLoopStatus(m_Status));
    Broadcast(BRFN::CMD_GPS_STATUS, BRFN::EncodeGPSStatus(m_GPSStatus));

    if (m_Status.nLoopState != m_nLastLoopState) {
        if (m_nLastLoopState >= 0)
            BroadcastMessage(QString("Control loop: %1").arg(LoopStateName(m_Status.nLoopState)));
        m_nLastLoopState = m_Status.nLoopState;
    }
    if (m_Options.nMessageEvery > 0 && m_nSecond % m_Options.nMessageEvery == 0) {
        BroadcastMessage(QString("Service second %1: %2, %3 of %4 satellites tracked, time difference %5 ms")
                             .arg(m_nSecond)
                             .arg(LoopStateName(m_Status.nLoopState))
                             .arg(m_GPSStatus.nSatsTracked)
                             .arg(m_GPSStatus.nSatsInView)
                             .arg(m_Status.dTimeDiff * 1000.0, 0, 'f', 3));
    }
    if (m_Options.nDropEvery > 0 && m_nSecond % m_Options.nDropEvery == 0)
        DropConnections();
    emit SignalTick(m_nSecond);
}

void CSimService::OnFlood()
{
    // Packets owed since the flood began, at most a thousand per call.
    const qint64 nOwed = m_FloodClock.elapsed() * m_Options.nFloodRate / 1000 - m_nFloodSent;
    const qint64 nBurst = std::clamp<qint64>(nOwed, 0, 1000);
    if (nBurst <= 0)
        return;
    const QByteArray payload = BRFN::EncodeControlLoopStatus(m_Status);
    for (qint64 i = 0; i < nBurst; ++i)
        Broadcast(BRFN::CMD_CONTROL_LOOP_STATUS, payload);
    m_nFloodSent += nOwed; // a slow machine skips what it could not send
}

void CSimService::HandleLog(CSimConnection* pConnection, uint16_t nCommand, CSimLogWriter& log,
                            const QByteArray& header, const uint8_t* pPayload, uint16_t nLength)
{
    switch (BRFN::SubCommandOf(pPayload, nLength)) {
    case BRFN::SUB_REQUEST:
        pConnection->Send(nCommand, BRFN::EncodeLogStatusReply(log.IsOpen() ? 1 : 0, log.FileName()));
        break;
    case BRFN::SUB_SET: {
        const QString strName = BRFN::DecodeLogStartFileName(pPayload, nLength);
        const int8_t nResult = log.Start(strName, header);
        qDebug() << "tellurix-sim: log start" << strName << "result" << nResult;
        pConnection->Send(nCommand, BRFN::EncodeLogResultReply(BRFN::SUB_SET, nResult));
        break;
    }
    case BRFN::SUB_LOG_STOP:
        pConnection->Send(nCommand, BRFN::EncodeLogResultReply(BRFN::SUB_LOG_STOP, log.Stop()));
        break;
    default:
        break;
    }
}

void CSimService::StartCalibration(CSimConnection* pConnection)
{
    if (pConnection->CalibrationPending())
        return;
    pConnection->SetCalibrationPending(true);
    // The connection is the timer's context: a panel that leaves before the
    // result is ready gets nothing, and the service does not touch it.
    QTimer::singleShot(m_Options.nCalibrationDelayMs, pConnection, [this, pConnection]() {
        pConnection->SetCalibrationPending(false);
        if (m_strNTPAddress.trimmed().isEmpty()) {
            m_dNTPAux = 0.0;
            m_dEstCalibration = NO_NTP_RESPONSE;
        } else {
            // The offset that removes the NMEA delay, as NTP measures it.
            std::normal_distribution<double> noise(0.0, 0.0004);
            m_dNTPAux = 0.012 + std::fabs(noise(m_Random)); // round trip, seconds
            m_dEstCalibration = CClockLoopModel::NMEA_DELAY + noise(m_Random);
        }
        pConnection->Send(BRFN::CMD_NTP_CALIBRATION, BRFN::EncodeSubCommand(BRFN::SUB_NTP_FORCE));
    });
}

void CSimService::HandlePacket(CSimConnection* pConnection, uint16_t nCommand, const uint8_t* pPayload,
                               uint16_t nLength)
{
    const int nSub = BRFN::SubCommandOf(pPayload, nLength);
    switch (nCommand) {
    case BRFN::CMD_COMM_PORT:
        if (nSub == BRFN::SUB_REQUEST) {
            pConnection->Send(nCommand, BRFN::EncodeCommPort(BRFN::SUB_REQUEST, m_nCommPort, m_nBaud));
        } else if (nSub == BRFN::SUB_SET) {
            const BRFN::CMD_DATA_COMM_PORT port = BRFN::DecodeCommPort(pPayload, nLength);
            m_nCommPort = port.nPort;
            m_nBaud = port.nBaud;
            qDebug() << "tellurix-sim: serial port" << m_nCommPort << "baud" << m_nBaud;
        }
        break;
    case BRFN::CMD_TIME_DIFF_OFFSET:
        if (nSub == BRFN::SUB_REQUEST) {
            pConnection->Send(nCommand,
                              BRFN::EncodeTimeDiffOffset(BRFN::SUB_REQUEST, m_Loop.TimeDiffOffset()));
        } else if (nSub == BRFN::SUB_SET) {
            const double dOffset = BRFN::DecodeTimeDiffOffset(pPayload, nLength).dTimeDiffOffset;
            // Not a number or infinity would poison every later measurement.
            if (std::isfinite(dOffset))
                m_Loop.SetTimeDiffOffset(dOffset);
            else
                qDebug() << "tellurix-sim: time offset ignored:" << dOffset;
        }
        break;
    case BRFN::CMD_LOOP_PARAMETERS:
        if (nSub == BRFN::SUB_REQUEST) {
            const BRFN::CMD_DATA_LOOP_PARAMETERS p = m_Loop.Parameters();
            pConnection->Send(nCommand,
                              BRFN::EncodeLoopParameters(BRFN::SUB_REQUEST, p, p.bLoopEnabled ? 1 : 0));
        } else if (nSub == BRFN::SUB_SET) {
            // In a set the flag byte asks for a restart of the loop.
            const BRFN::CMD_DATA_LOOP_PARAMETERS p = BRFN::DecodeLoopParameters(pPayload, nLength);
            m_Loop.SetParameters(p);
            if (p.bLoopEnabled)
                m_Loop.Reset();
            qDebug() << "tellurix-sim: loop parameters" << p.dTimeConstant << p.dGain << p.dDamping
                     << p.dDetectorGain << "reset" << p.bLoopEnabled;
        } else if (nSub == BRFN::SUB_LOOP_ENABLE) {
            const bool bEnable = nLength >= 2 && pPayload[1] == 1;
            m_Loop.SetEnabled(bEnable);
            qDebug() << "tellurix-sim: control loop" << (bEnable ? "enabled" : "disabled");
        }
        break;
    case BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY:
        if (nSub == BRFN::SUB_REQUEST)
            pConnection->Send(nCommand, BRFN::EncodeHistory(m_Loop.History()));
        else if (nSub == BRFN::SUB_SET)
            m_Loop.EraseHistory();
        break;
    case BRFN::CMD_CONTROL_LOOP_STATUS_LOG:
        HandleLog(pConnection, nCommand, m_StatusLog, CSimLogWriter::StatusCsvHeader(), pPayload, nLength);
        break;
    case BRFN::CMD_RECORD_GPS_DATA:
        HandleLog(pConnection, nCommand, m_GPSLog, QByteArray(), pPayload, nLength);
        break;
    case BRFN::CMD_NTP_CALIBRATION:
        if (nSub == BRFN::SUB_REQUEST) {
            pConnection->Send(nCommand, BRFN::EncodeNTPValues(m_dNTPAux, m_dEstCalibration));
        } else if (nSub == BRFN::SUB_SET) {
            // A panel sends at most 510 characters; a longer reply would not fit a packet.
            m_strNTPAddress = BRFN::DecodeNTPAddress(pPayload, nLength).left(BRFN::MAX_NTP_ADDRESS);
            qDebug() << "tellurix-sim: NTP server" << m_strNTPAddress;
        } else if (nSub == BRFN::SUB_NTP_ADDRESS) {
            pConnection->Send(nCommand, BRFN::EncodeNTPAddressReply(m_strNTPAddress));
        } else if (nSub == BRFN::SUB_NTP_FORCE) {
            StartCalibration(pConnection);
        }
        break;
    case BRFN::CMD_GPS_LOCK_CONFIG:
        if (nSub == BRFN::SUB_REQUEST)
            pConnection->Send(nCommand, BRFN::EncodeGPSLockConfig(BRFN::SUB_REQUEST, m_Loop.LockConfig()));
        else if (nSub == BRFN::SUB_SET)
            m_Loop.SetLockConfig(BRFN::DecodeGPSLockConfig(pPayload, nLength));
        break;
    default:
        break; // not a command the panel sends
    }
}

#include "cbrfnprotocolqt.h"

#include <QDebug>
#include <QTcpSocket>
#include <QTimer>

CBRFNProtocolQt::CBRFNProtocolQt(QObject* pParent) : QObject(pParent)
{
    RegisterMetaTypes();
    m_pSocket = new QTcpSocket(this);
    m_bConnected = false;

    // While the service is not there each refused attempt would otherwise start
    // the next one at once: tens of thousands of attempts a second. One short
    // pause per failed attempt keeps the panel idle and still connects within a
    // quarter of a second once the service starts.
    m_pRetryTimer = new QTimer(this);
    m_pRetryTimer->setSingleShot(true);
    m_pRetryTimer->setInterval(RETRY_DELAY_MS);
    connect(m_pRetryTimer, SIGNAL(timeout()), this, SLOT(ConnectToService()));

    connect(m_pSocket, SIGNAL(connected()), this, SLOT(OnClientConnected()));
    connect(m_pSocket, SIGNAL(disconnected()), this, SLOT(OnClientDisconnected()));
    connect(m_pSocket, SIGNAL(error(QAbstractSocket::SocketError)), this,
            SLOT(OnClientError(QAbstractSocket::SocketError)));
    connect(m_pSocket, SIGNAL(readyRead()), this, SLOT(OnReadyRead()));

    ConnectToService();
}

// The socket is a child and goes with QObject's destructor. It is neither
// aborted nor closed here: its disconnected() would reach a parent that is
// already half destroyed.
CBRFNProtocolQt::~CBRFNProtocolQt() = default;

void CBRFNProtocolQt::RegisterMetaTypes()
{
    qRegisterMetaType<BRFN::CMD_DATA_COMM_PORT>("CBRFNProtocolQt::CMD_DATA_COMM_PORT");
    qRegisterMetaType<BRFN::CMD_DATA_TIME_DIFF_OFFSET>("CBRFNProtocolQt::CMD_DATA_TIME_DIFF_OFFSET");
    qRegisterMetaType<BRFN::CMD_DATA_CONTROL_LOOP_STATUS>("CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS");
    qRegisterMetaType<BRFN::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY>(
        "CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY");
    qRegisterMetaType<BRFN::CMD_DATA_GPS_STATUS>("CBRFNProtocolQt::CMD_DATA_GPS_STATUS");
    qRegisterMetaType<BRFN::CMD_DATA_LOOP_PARAMETERS>("CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS");
    qRegisterMetaType<BRFN::CMD_DATA_NTP_CALIBRATION>("CBRFNProtocolQt::CMD_DATA_NTP_CALIBRATION");
    qRegisterMetaType<BRFN::CMD_DATA_GPS_LOCK_CONFIG>("CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG");
}

void CBRFNProtocolQt::ConnectToService()
{
    m_pSocket->abort();
    m_pSocket->connectToHost(QStringLiteral("127.0.0.1"), SERVICE_PORT, QIODevice::ReadWrite,
                             QAbstractSocket::AnyIPProtocol);
    // The history belongs to one connection; the NTP values and address are
    // kept, and so is the framing's receive state.
    m_History = CMD_DATA_CONTROL_LOOP_STATUS_HISTORY();
}

void CBRFNProtocolQt::OnClientConnected()
{
    qDebug() << "CBRFNProtocolQt::OnClientConnected()";
    m_bConnected = true;
    Send(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, BRFN::EncodeSubCommand(BRFN::SUB_REQUEST));
    RequestControlLoopStatusLog();
    RequestLoopParameters();
    emit SignalConnected();
}

void CBRFNProtocolQt::OnClientDisconnected()
{
    qDebug() << "CBRFNProtocolQt::OnClientDisconnected()";
    m_bConnected = false;
    // A lost connection is retried at once; a refusal of that attempt goes
    // through the retry timer.
    ConnectToService();
    emit SignalDisconnected();
}

void CBRFNProtocolQt::OnClientError(QAbstractSocket::SocketError socketError)
{
    qDebug() << "CBRFNProtocolQt::OnClientError(): Error:" << socketError;
    // Errors can be emitted from inside connectToHost(), so the next attempt is
    // never made from here but from the event loop. Any error that leaves the
    // attempt dead is retried (refused, timed out, ...), so a panel left
    // running for months is never stuck disconnected; an error on a live
    // connection is recovered through disconnected().
    if (!m_bConnected && m_pSocket->state() == QAbstractSocket::UnconnectedState)
        m_pRetryTimer->start();
}

void CBRFNProtocolQt::OnReadyRead()
{
    // Every byte goes through the framing in order; packets are decoded and
    // announced one at a time inside this call.
    const QByteArray data = m_pSocket->readAll();
    ProcessBytes(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()));
}

void CBRFNProtocolQt::OnPacketReceived(uint16_t nCommand, const uint8_t* pPayload, uint16_t nLength)
{
    const int nSubCmd = BRFN::SubCommandOf(pPayload, nLength);
    switch (nCommand) {
    case BRFN::CMD_MESSAGE:
        qDebug() << "Message:" << BRFN::DecodeMessage(pPayload, nLength);
        break;
    case BRFN::CMD_CONTROL_LOOP_STATUS:
        emit RxCmdControlLoopStatus(BRFN::DecodeControlLoopStatus(pPayload, nLength));
        break;
    case BRFN::CMD_COMM_PORT: {
        // Every sub-command is logged; only a reply is announced.
        const CMD_DATA_COMM_PORT port = BRFN::DecodeCommPort(pPayload, nLength);
        qDebug() << "Port:" << port.nPort << "Baud:" << port.nBaud;
        if (nSubCmd == BRFN::SUB_REQUEST)
            emit RxCmdCommPort(port);
        break;
    }
    case BRFN::CMD_TIME_DIFF_OFFSET:
        if (nSubCmd == BRFN::SUB_REQUEST)
            emit RxCmdTimeDiffOffset(BRFN::DecodeTimeDiffOffset(pPayload, nLength));
        break;
    case BRFN::CMD_GPS_STATUS:
        emit RxCmdGPSStatus(BRFN::DecodeGPSStatus(pPayload, nLength));
        break;
    case BRFN::CMD_LOOP_PARAMETERS:
        if (nSubCmd == BRFN::SUB_REQUEST)
            emit RxCmdLoopParameters(BRFN::DecodeLoopParameters(pPayload, nLength));
        break;
    case BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY:
        if (nSubCmd == BRFN::SUB_REQUEST) {
            BRFN::DecodeHistory(pPayload, nLength, m_History);
            emit RxCmdControlLoopStatusHistory(m_History);
        }
        break;
    case BRFN::CMD_CONTROL_LOOP_STATUS_LOG:
    case BRFN::CMD_RECORD_GPS_DATA: {
        BRFN::LOG_REPLY reply;
        if (!BRFN::DecodeLogReply(pPayload, nLength, reply))
            break;
        if (nCommand == BRFN::CMD_CONTROL_LOOP_STATUS_LOG)
            emit RxCmdControlLoopStatusLog(reply.nSubCmd, reply.nFileStatus, reply.nResult,
                                           reply.strFileName);
        else
            emit RxCmdRecordGPSData(reply.nSubCmd, reply.nFileStatus, reply.nResult, reply.strFileName);
        break;
    }
    case BRFN::CMD_NTP_CALIBRATION:
        if (nSubCmd == BRFN::SUB_REQUEST) {
            BRFN::DecodeNTPValues(pPayload, nLength, m_NTPCalibration.dNTPAux,
                                  m_NTPCalibration.dEstCalibration);
            emit RxCmdNTPCalibration(m_NTPCalibration);
        } else if (nSubCmd == BRFN::SUB_NTP_ADDRESS) {
            m_NTPCalibration.strNTPAddress = BRFN::DecodeNTPAddress(pPayload, nLength);
            emit RxCmdNTPAddress(m_NTPCalibration);
        } else if (nSubCmd == BRFN::SUB_NTP_FORCE) {
            emit RxCmdForceNTPCalibration();
        }
        break;
    case BRFN::CMD_GPS_LOCK_CONFIG:
        if (nSubCmd == BRFN::SUB_REQUEST)
            emit RxCmdGPSLockConfig(BRFN::DecodeGPSLockConfig(pPayload, nLength));
        break;
    default:
        break; // unknown ids are ignored
    }
}

void CBRFNProtocolQt::Send(uint16_t nCommand, const QByteArray& payload)
{
    SendPayload(nCommand, payload.constData(), size_t(payload.size()));
}

void CBRFNProtocolQt::RequestCommPort()
{
    Send(BRFN::CMD_COMM_PORT, BRFN::EncodeSubCommand(BRFN::SUB_REQUEST));
}

void CBRFNProtocolQt::SetCommPort(int nPort, int nBaud)
{
    Send(BRFN::CMD_COMM_PORT, BRFN::EncodeCommPort(BRFN::SUB_SET, nPort, nBaud));
}

void CBRFNProtocolQt::RequestTimeDiffOffset()
{
    Send(BRFN::CMD_TIME_DIFF_OFFSET, BRFN::EncodeSubCommand(BRFN::SUB_REQUEST));
}

void CBRFNProtocolQt::SetTimeDiffOffset(double dOffset)
{
    Send(BRFN::CMD_TIME_DIFF_OFFSET, BRFN::EncodeTimeDiffOffset(BRFN::SUB_SET, dOffset));
}

void CBRFNProtocolQt::RequestLoopParameters()
{
    Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeSubCommand(BRFN::SUB_REQUEST));
}

void CBRFNProtocolQt::SetLoopParameters(const CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS& params,
                                        bool bResetLoop)
{
    // The flag byte of a set is the reset request, not bLoopEnabled.
    Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeLoopParameters(BRFN::SUB_SET, params, bResetLoop ? 1 : 0));
}

void CBRFNProtocolQt::EnableControlLoop(bool bEnable)
{
    Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeEnableControlLoop(bEnable));
}

void CBRFNProtocolQt::EraseHistory()
{
    Send(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, BRFN::EncodeSubCommand(BRFN::SUB_SET));
}

void CBRFNProtocolQt::RequestControlLoopStatusLog()
{
    Send(BRFN::CMD_CONTROL_LOOP_STATUS_LOG, BRFN::EncodeSubCommand(BRFN::SUB_REQUEST));
}

void CBRFNProtocolQt::StartControlLoopStatusLog(const QString& strFileName)
{
    Send(BRFN::CMD_CONTROL_LOOP_STATUS_LOG, BRFN::EncodeLogStart(strFileName));
}

void CBRFNProtocolQt::StopControlLoopStatusLog()
{
    Send(BRFN::CMD_CONTROL_LOOP_STATUS_LOG, BRFN::EncodeSubCommand(BRFN::SUB_LOG_STOP));
}

void CBRFNProtocolQt::RequestRecordGPSData()
{
    Send(BRFN::CMD_RECORD_GPS_DATA, BRFN::EncodeSubCommand(BRFN::SUB_REQUEST));
}

void CBRFNProtocolQt::StartRecordGPSData(const QString& strFileName)
{
    Send(BRFN::CMD_RECORD_GPS_DATA, BRFN::EncodeLogStart(strFileName));
}

void CBRFNProtocolQt::StopRecordGPSData()
{
    Send(BRFN::CMD_RECORD_GPS_DATA, BRFN::EncodeSubCommand(BRFN::SUB_LOG_STOP));
}

void CBRFNProtocolQt::RequestNTPCalibration()
{
    Send(BRFN::CMD_NTP_CALIBRATION, BRFN::EncodeSubCommand(BRFN::SUB_REQUEST));
}

void CBRFNProtocolQt::SetNTPAddress(const QString& strAddress)
{
    qDebug() << "Setting address to" << strAddress;
    // Like the 256-byte file-name field, an over-long address is cut rather
    // than refused.
    if (strAddress.size() > BRFN::MAX_NTP_ADDRESS)
        qDebug() << "CBRFNProtocolQt::SetNTPAddress(): address cut to" << int(BRFN::MAX_NTP_ADDRESS)
                 << "characters";
    Send(BRFN::CMD_NTP_CALIBRATION, BRFN::EncodeNTPAddressSet(strAddress));
}

void CBRFNProtocolQt::RequestNTPAddress()
{
    Send(BRFN::CMD_NTP_CALIBRATION, BRFN::EncodeSubCommand(BRFN::SUB_NTP_ADDRESS));
}

void CBRFNProtocolQt::ForceNTPCalibration()
{
    Send(BRFN::CMD_NTP_CALIBRATION, BRFN::EncodeSubCommand(BRFN::SUB_NTP_FORCE));
}

void CBRFNProtocolQt::RequestGPSLockConfig()
{
    Send(BRFN::CMD_GPS_LOCK_CONFIG, BRFN::EncodeSubCommand(BRFN::SUB_REQUEST));
}

void CBRFNProtocolQt::SetGPSLockConfig(const CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG& config)
{
    Send(BRFN::CMD_GPS_LOCK_CONFIG, BRFN::EncodeGPSLockConfig(BRFN::SUB_SET, config));
}

int CBRFNProtocolQt::ReadBytes(uint8_t*, int)
{
    return 0; // bytes arrive through OnReadyRead -> ProcessByte
}

void CBRFNProtocolQt::WriteBytes(const uint8_t* pData, uint16_t nCount)
{
    m_pSocket->write(reinterpret_cast<const char*>(pData), nCount);
}

void CBRFNProtocolQt::OnActivity(int, int) {}
void CBRFNProtocolQt::SpareHook() {}
void CBRFNProtocolQt::BeginTransmit() {}
void CBRFNProtocolQt::EndTransmit() {}

#ifndef BRFNCODEC_H
#define BRFNCODEC_H

// Command ids, records and payload codecs of the service link.
//
// Everything here is a pure function over (payload bytes, length): the panel's
// client, the stand-in service, the tests and the fuzzer call them without a
// socket. Payloads are packed and big-endian; doubles are IEEE 754 with the
// sign/exponent byte first.
//
// Received payloads are never compared with their layout's size. A payload
// shorter than its layout decodes as if it had been zero-filled to that size:
// missing fields read 0 and nothing ever reads bytes left over from an earlier
// packet in the receive buffer, nor past the received length.

#include <QByteArray>
#include <QMetaType>
#include <QString>

#include <cstdint>

namespace BRFN {

enum Command : uint16_t
{
    CMD_MESSAGE = 0x4243,
    CMD_CONTROL_LOOP_STATUS = 0x4244,
    CMD_COMM_PORT = 0x4245,
    CMD_TIME_DIFF_OFFSET = 0x4246,
    CMD_GPS_STATUS = 0x4247,
    CMD_LOOP_PARAMETERS = 0x4248,
    CMD_CONTROL_LOOP_STATUS_HISTORY = 0x4249,
    CMD_CONTROL_LOOP_STATUS_LOG = 0x424C,
    CMD_RECORD_GPS_DATA = 0x424D,
    CMD_NTP_CALIBRATION = 0x424E,
    CMD_GPS_LOCK_CONFIG = 0x424F,
};

// Sub-command bytes (first payload byte of most commands).
enum SubCommand : uint8_t
{
    SUB_REQUEST = 0, // panel: ask for the value; service: deliver it
    SUB_SET = 1,     // set; history: erase; logs: start
    // Sub-commands 2 and 3 mean something different for each command.
    SUB_LOOP_ENABLE = 2, // loop parameters: switch the loop on or off
    SUB_LOG_STOP = 2,    // status log, GPS record: stop writing
    SUB_NTP_ADDRESS = 2, // NTP: ask for / deliver the server address
    SUB_NTP_FORCE = 3,   // NTP: force a calibration / calibration ready
};

// Sizes of the wire layouts, in bytes.
enum : int
{
    SIZE_COMM_PORT = 9,
    SIZE_TIME_DIFF_OFFSET = 9,
    SIZE_CONTROL_LOOP_STATUS = 82,
    SIZE_HISTORY_HEADER = 13,
    SIZE_HISTORY_ENTRY = 81, // the status layout without nLoopState
    SIZE_GPS_STATUS = 1208,
    SIZE_LOOP_PARAMETERS = 34,
    SIZE_NTP_VALUE = 17,
    SIZE_GPS_LOCK_CONFIG = 6,
    SIZE_LOG_START = 257,
    LOG_FILE_NAME_FIELD = 256,
    MAX_HISTORY_ENTRIES = 10,
    MAX_SATELLITES = 96,
    SIZE_SATELLITE = 11,
    SIZE_AUX_TEXT = 64,
    MAX_NTP_ADDRESS = 510, // characters that fit the address-set payload
};

struct CMD_DATA_COMM_PORT
{
    int32_t nPort = 0;
    int32_t nBaud = 0;
};

struct CMD_DATA_TIME_DIFF_OFFSET
{
    double dTimeDiffOffset = 0.0; // seconds
};

struct CMD_DATA_CONTROL_LOOP_STATUS
{
    double dTimeDiff = 0.0;     // GPS time minus system clock, seconds
    double dEstTimeError = 0.0; // seconds
    double dControlValue = 0.0;
    double dFitSlope = 0.0;
    double dFitIntercept = 0.0;
    double dStdDev = 0.0; // seconds
    int32_t nSamples = 0;
    int32_t nAuxFlag = 0;
    double dFit2Slope = 0.0;
    double dFit2Intercept = 0.0;
    double dStdDev2 = 0.0;
    int32_t nSamples2 = 0;
    int32_t nLoopState = 0; // 0..8; always 0 in history entries
};

struct CMD_DATA_CONTROL_LOOP_STATUS_HISTORY
{
    int32_t nAux1 = 0;
    int32_t nAux2 = 0;
    int32_t nCount = 0; // valid entries, 0..10
    CMD_DATA_CONTROL_LOOP_STATUS aEntries[MAX_HISTORY_ENTRIES];
};

struct SATELLITE_DATA
{
    int32_t nStatus = 0; // state code 0..3
    int32_t nPRN = 0;    // 0 marks an empty slot
    int32_t nAzimuth = 0;
    int32_t nElevation = 0;
    int32_t nSNR = 0;
    bool bUsed = false;
};

struct CMD_DATA_GPS_STATUS
{
    double dLatitude = 0.0;  // degrees, north positive
    double dLongitude = 0.0; // degrees, east positive
    double dAltitude = 0.0;  // metres
    int32_t nSatsTracked = 0;
    int32_t nSatsInView = 0;
    double dAux1 = 0.0, dAux2 = 0.0, dAux3 = 0.0, dAux4 = 0.0, dAux5 = 0.0, dAux6 = 0.0;
    bool bAux1 = false;
    bool bAux2 = false;
    SATELLITE_DATA aSats[MAX_SATELLITES];
    char szAux[SIZE_AUX_TEXT] = {}; // not necessarily zero-terminated
    int32_t nTimeSource = 0;        // 0 "GGA & RMC", 1 "ZDA", else "Unknown"
    int32_t nGPSTime = 0;           // seconds since 1970-01-01 00:00:00 UTC
    int32_t nGPSTimeFlag = 0;
};

struct CMD_DATA_LOOP_PARAMETERS
{
    double dTimeConstant = 0.0;
    double dGain = 0.0;
    double dDamping = 0.0;
    double dDetectorGain = 0.0;
    int32_t bLoopEnabled = 0; // 1 when the flag byte of a reply is 1, else 0
};

struct CMD_DATA_NTP_CALIBRATION
{
    double dNTPAux = 0.0;
    double dEstCalibration = 0.0; // seconds; 99999.9: no NTP response
    QString strNTPAddress;
};

struct CMD_DATA_GPS_LOCK_CONFIG
{
    bool bEnable = false;
    uint32_t nDelay = 0; // seconds
};

// A log or recording reply: not kept in a record, emitted as four values.
struct LOG_REPLY
{
    int nSubCmd = 0;
    int nFileStatus = 0;
    int nResult = 0;
    QString strFileName;
};

// ---- Decoding (received payload -> record) --------------------------------

// First payload byte, or -1 for an empty payload.
int SubCommandOf(const uint8_t* pPayload, int nLength);

// Text of a CMD_MESSAGE: from byte 1 up to a zero byte or the payload's end.
QString DecodeMessage(const uint8_t* pPayload, int nLength);
CMD_DATA_COMM_PORT DecodeCommPort(const uint8_t* pPayload, int nLength);
CMD_DATA_TIME_DIFF_OFFSET DecodeTimeDiffOffset(const uint8_t* pPayload, int nLength);
CMD_DATA_CONTROL_LOOP_STATUS DecodeControlLoopStatus(const uint8_t* pPayload, int nLength);
CMD_DATA_GPS_STATUS DecodeGPSStatus(const uint8_t* pPayload, int nLength);
// bLoopEnabled is the reply's flag byte; in a set the same byte is the reset request.
CMD_DATA_LOOP_PARAMETERS DecodeLoopParameters(const uint8_t* pPayload, int nLength);
CMD_DATA_GPS_LOCK_CONFIG DecodeGPSLockConfig(const uint8_t* pPayload, int nLength);

// Fills nAux1, nAux2, nCount and the first nCount entries of rHistory; entries
// beyond nCount keep what they held. nCount is the announced count taken as
// signed and clamped to 0..min(10, entries present in the payload), so a
// record never holds more than 10 entries nor entries the payload lacks.
void DecodeHistory(const uint8_t* pPayload, int nLength, CMD_DATA_CONTROL_LOOP_STATUS_HISTORY& rHistory);

// Log and recording replies: sub-command 0 (status), 1 (start) or 2 (stop).
// Returns false, leaving rReply alone, for any other sub-command.
bool DecodeLogReply(const uint8_t* pPayload, int nLength, LOG_REPLY& rReply);

// NTP value reply (sub-command 0): the two doubles.
void DecodeNTPValues(const uint8_t* pPayload, int nLength, double& dNTPAux, double& dEstCalibration);
// NTP address (reply 2 or set 1): text from byte 1 up to a zero or the payload's end.
QString DecodeNTPAddress(const uint8_t* pPayload, int nLength);
// Log start (sub-command 1): the Latin-1 file name in the 256-byte field.
QString DecodeLogStartFileName(const uint8_t* pPayload, int nLength);

// ---- Encoding (record -> payload) -----------------------------------------

QByteArray EncodeSubCommand(uint8_t nSubCmd); // requests, stop, erase, force...
QByteArray EncodeMessage(const QString& strText);
QByteArray EncodeCommPort(uint8_t nSubCmd, int32_t nPort, int32_t nBaud);
QByteArray EncodeTimeDiffOffset(uint8_t nSubCmd, double dOffset);
QByteArray EncodeControlLoopStatus(const CMD_DATA_CONTROL_LOOP_STATUS& status);
QByteArray EncodeGPSStatus(const CMD_DATA_GPS_STATUS& gps);
// Sends min(max(nCount, 0), 10) entries and that count.
QByteArray EncodeHistory(const CMD_DATA_CONTROL_LOOP_STATUS_HISTORY& history);
QByteArray EncodeLoopParameters(uint8_t nSubCmd, const CMD_DATA_LOOP_PARAMETERS& params, uint8_t nFlag);
QByteArray EncodeEnableControlLoop(bool bEnable);
// 1, then the name as Latin-1 cut to 256 bytes and zero-padded to 256.
QByteArray EncodeLogStart(const QString& strFileName);
QByteArray EncodeLogStatusReply(uint8_t nFileStatus, const QString& strFileName);
QByteArray EncodeLogResultReply(uint8_t nSubCmd, int8_t nResult);
QByteArray EncodeNTPValues(double dNTPAux, double dEstCalibration);
// 1, the low 8 bits of each character (at most 510 of them), 0.
QByteArray EncodeNTPAddressSet(const QString& strAddress);
QByteArray EncodeNTPAddressReply(const QString& strAddress);
QByteArray EncodeGPSLockConfig(uint8_t nSubCmd, const CMD_DATA_GPS_LOCK_CONFIG& config);

} // namespace BRFN

#endif // BRFNCODEC_H

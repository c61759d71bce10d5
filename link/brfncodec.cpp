#include "brfncodec.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace BRFN {

namespace {

// Reads big-endian fields of a received payload. Any byte at or beyond the
// payload's length reads as 0, which is the same as decoding from a copy of
// the payload zero-filled to its layout's size, without the copy.
class Reader
{
public:
    Reader(const uint8_t* p, int n) : m_p(p), m_n(p ? std::max(n, 0) : 0) {}

    uint8_t U8(int off) const { return off >= 0 && off < m_n ? m_p[off] : 0; }
    uint16_t U16(int off) const { return uint16_t(U8(off) << 8 | U8(off + 1)); }
    uint32_t U32(int off) const { return uint32_t(U16(off)) << 16 | U16(off + 2); }
    uint64_t U64(int off) const { return uint64_t(U32(off)) << 32 | U32(off + 4); }
    double Double(int off) const
    {
        const uint64_t bits = U64(off);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    bool Flag(int off) const { return U8(off) == 1; } // a flag is true only when it is 1
    // Single-byte text from off up to a zero byte or the payload's end.
    QByteArray Text(int off) const
    {
        if (off >= m_n)
            return QByteArray();
        const void* pZero = std::memchr(m_p + off, 0, size_t(m_n - off));
        const int nEnd = pZero ? int(static_cast<const uint8_t*>(pZero) - m_p) : m_n;
        return QByteArray(reinterpret_cast<const char*>(m_p + off), nEnd - off);
    }
    int Length() const { return m_n; }

private:
    const uint8_t* m_p;
    int m_n;
};

class Writer
{
public:
    explicit Writer(int nReserve) { m_a.reserve(nReserve); }
    Writer& U8(uint8_t v)
    {
        m_a.append(char(v));
        return *this;
    }
    Writer& U16(uint16_t v) { return U8(uint8_t(v >> 8)).U8(uint8_t(v)); }
    Writer& U32(uint32_t v) { return U16(uint16_t(v >> 16)).U16(uint16_t(v)); }
    Writer& Double(double d)
    {
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        return U32(uint32_t(bits >> 32)).U32(uint32_t(bits));
    }
    Writer& Bytes(const QByteArray& a)
    {
        m_a.append(a);
        return *this;
    }
    Writer& Zeros(int n)
    {
        m_a.append(n, '\0');
        return *this;
    }
    QByteArray Take() { return std::move(m_a); }

private:
    QByteArray m_a;
};

// The status layout; entries of a history reply are the same without the
// final nLoopState byte.
CMD_DATA_CONTROL_LOOP_STATUS ReadStatus(const Reader& r, int base, bool bWithLoopState)
{
    CMD_DATA_CONTROL_LOOP_STATUS s;
    s.dTimeDiff = r.Double(base + 0);
    s.dEstTimeError = r.Double(base + 8);
    s.dControlValue = r.Double(base + 16);
    s.dFitSlope = r.Double(base + 24);
    s.dFitIntercept = r.Double(base + 32);
    s.dStdDev = r.Double(base + 40);
    s.nSamples = int32_t(r.U32(base + 48));
    s.nAuxFlag = r.U8(base + 52);
    s.dFit2Slope = r.Double(base + 53);
    s.dFit2Intercept = r.Double(base + 61);
    s.dStdDev2 = r.Double(base + 69);
    s.nSamples2 = int32_t(r.U32(base + 77));
    s.nLoopState = bWithLoopState ? r.U8(base + 81) : 0;
    return s;
}

void WriteStatus(Writer& w, const CMD_DATA_CONTROL_LOOP_STATUS& s, bool bWithLoopState)
{
    w.Double(s.dTimeDiff).Double(s.dEstTimeError).Double(s.dControlValue);
    w.Double(s.dFitSlope).Double(s.dFitIntercept).Double(s.dStdDev);
    w.U32(uint32_t(s.nSamples)).U8(uint8_t(s.nAuxFlag));
    w.Double(s.dFit2Slope).Double(s.dFit2Intercept).Double(s.dStdDev2);
    w.U32(uint32_t(s.nSamples2));
    if (bWithLoopState)
        w.U8(uint8_t(s.nLoopState));
}

} // namespace

int SubCommandOf(const uint8_t* pPayload, int nLength)
{
    return pPayload && nLength > 0 ? pPayload[0] : -1;
}

QString DecodeMessage(const uint8_t* pPayload, int nLength)
{
    return QString::fromLatin1(Reader(pPayload, nLength).Text(1));
}

CMD_DATA_COMM_PORT DecodeCommPort(const uint8_t* pPayload, int nLength)
{
    const Reader r(pPayload, nLength);
    CMD_DATA_COMM_PORT d;
    d.nPort = int32_t(r.U32(1));
    d.nBaud = int32_t(r.U32(5));
    return d;
}

CMD_DATA_TIME_DIFF_OFFSET DecodeTimeDiffOffset(const uint8_t* pPayload, int nLength)
{
    CMD_DATA_TIME_DIFF_OFFSET d;
    d.dTimeDiffOffset = Reader(pPayload, nLength).Double(1);
    return d;
}

CMD_DATA_CONTROL_LOOP_STATUS DecodeControlLoopStatus(const uint8_t* pPayload, int nLength)
{
    return ReadStatus(Reader(pPayload, nLength), 0, true);
}

CMD_DATA_GPS_STATUS DecodeGPSStatus(const uint8_t* pPayload, int nLength)
{
    const Reader r(pPayload, nLength);
    CMD_DATA_GPS_STATUS g;
    g.dLatitude = r.Double(0);
    g.dLongitude = r.Double(8);
    g.dAltitude = r.Double(16);
    g.nSatsTracked = r.U16(24);
    g.nSatsInView = r.U16(26);
    g.dAux1 = r.Double(28);
    g.dAux2 = r.Double(36);
    g.dAux3 = r.Double(44);
    g.dAux4 = r.Double(52);
    g.dAux5 = r.Double(60);
    g.dAux6 = r.Double(68);
    g.bAux1 = r.Flag(76);
    g.bAux2 = r.Flag(77);
    for (int i = 0; i < MAX_SATELLITES; ++i) {
        // Wire order inside an entry: used, azimuth, elevation, status, PRN, SNR.
        const int base = 78 + i * SIZE_SATELLITE;
        SATELLITE_DATA& s = g.aSats[i];
        s.bUsed = r.Flag(base);
        s.nAzimuth = r.U16(base + 1);
        s.nElevation = r.U16(base + 3);
        s.nStatus = r.U16(base + 5);
        s.nPRN = r.U16(base + 7);
        s.nSNR = r.U16(base + 9);
    }
    for (int i = 0; i < SIZE_AUX_TEXT; ++i)
        g.szAux[i] = char(r.U8(1134 + i));
    g.nTimeSource = r.U8(1198);
    // 1199..1202 are not read.
    g.nGPSTime = int32_t(r.U32(1203));
    g.nGPSTimeFlag = r.U8(1207);
    return g;
}

CMD_DATA_LOOP_PARAMETERS DecodeLoopParameters(const uint8_t* pPayload, int nLength)
{
    const Reader r(pPayload, nLength);
    CMD_DATA_LOOP_PARAMETERS p;
    p.dTimeConstant = r.Double(1);
    p.dGain = r.Double(9);
    p.dDamping = r.Double(17);
    p.dDetectorGain = r.Double(25);
    // The flag counts as set only when it is exactly 1.
    p.bLoopEnabled = r.Flag(33) ? 1 : 0;
    return p;
}

CMD_DATA_GPS_LOCK_CONFIG DecodeGPSLockConfig(const uint8_t* pPayload, int nLength)
{
    const Reader r(pPayload, nLength);
    CMD_DATA_GPS_LOCK_CONFIG c;
    c.bEnable = r.Flag(1);
    c.nDelay = r.U32(2);
    return c;
}

void DecodeHistory(const uint8_t* pPayload, int nLength, CMD_DATA_CONTROL_LOOP_STATUS_HISTORY& rHistory)
{
    const Reader r(pPayload, nLength);
    rHistory.nAux1 = int32_t(r.U32(1));
    rHistory.nAux2 = int32_t(r.U32(5));
    // A u32 count of 2^31 or more is negative here and keeps nothing.
    const int32_t nAnnounced = int32_t(r.U32(9));
    const int nPresent = std::max(0, (r.Length() - SIZE_HISTORY_HEADER) / SIZE_HISTORY_ENTRY);
    const int nCount = std::clamp<int>(nAnnounced, 0, std::min<int>(MAX_HISTORY_ENTRIES, nPresent));
    rHistory.nCount = nCount;
    for (int i = 0; i < nCount; ++i)
        rHistory.aEntries[i] = ReadStatus(r, SIZE_HISTORY_HEADER + i * SIZE_HISTORY_ENTRY, false);
}

bool DecodeLogReply(const uint8_t* pPayload, int nLength, LOG_REPLY& rReply)
{
    const Reader r(pPayload, nLength);
    switch (SubCommandOf(pPayload, nLength)) {
    case SUB_REQUEST:
        rReply.nSubCmd = 0;
        rReply.nFileStatus = r.U8(1);
        rReply.nResult = 0;
        rReply.strFileName = QString::fromUtf8(r.Text(2));
        return true;
    case SUB_SET:
    case SUB_LOG_STOP:
        rReply.nSubCmd = r.U8(0);
        rReply.nFileStatus = 0;
        rReply.nResult = int8_t(r.U8(1));
        rReply.strFileName.clear();
        return true;
    default:
        return false;
    }
}

void DecodeNTPValues(const uint8_t* pPayload, int nLength, double& dNTPAux, double& dEstCalibration)
{
    const Reader r(pPayload, nLength);
    dNTPAux = r.Double(1);
    dEstCalibration = r.Double(9);
}

QString DecodeNTPAddress(const uint8_t* pPayload, int nLength)
{
    return QString::fromLatin1(Reader(pPayload, nLength).Text(1));
}

QString DecodeLogStartFileName(const uint8_t* pPayload, int nLength)
{
    const int nField = std::min(nLength, 1 + int(LOG_FILE_NAME_FIELD));
    return QString::fromLatin1(Reader(pPayload, nField).Text(1));
}

QByteArray EncodeSubCommand(uint8_t nSubCmd)
{
    return QByteArray(1, char(nSubCmd));
}

QByteArray EncodeMessage(const QString& strText)
{
    return Writer(strText.size() + 2).U8(0).Bytes(strText.toLatin1()).U8(0).Take();
}

QByteArray EncodeCommPort(uint8_t nSubCmd, int32_t nPort, int32_t nBaud)
{
    return Writer(SIZE_COMM_PORT).U8(nSubCmd).U32(uint32_t(nPort)).U32(uint32_t(nBaud)).Take();
}

QByteArray EncodeTimeDiffOffset(uint8_t nSubCmd, double dOffset)
{
    return Writer(SIZE_TIME_DIFF_OFFSET).U8(nSubCmd).Double(dOffset).Take();
}

QByteArray EncodeControlLoopStatus(const CMD_DATA_CONTROL_LOOP_STATUS& status)
{
    Writer w(SIZE_CONTROL_LOOP_STATUS);
    WriteStatus(w, status, true);
    return w.Take();
}

QByteArray EncodeGPSStatus(const CMD_DATA_GPS_STATUS& g)
{
    Writer w(SIZE_GPS_STATUS);
    w.Double(g.dLatitude).Double(g.dLongitude).Double(g.dAltitude);
    w.U16(uint16_t(g.nSatsTracked)).U16(uint16_t(g.nSatsInView));
    w.Double(g.dAux1).Double(g.dAux2).Double(g.dAux3).Double(g.dAux4).Double(g.dAux5).Double(g.dAux6);
    w.U8(g.bAux1 ? 1 : 0).U8(g.bAux2 ? 1 : 0);
    for (const SATELLITE_DATA& s : g.aSats) {
        w.U8(s.bUsed ? 1 : 0).U16(uint16_t(s.nAzimuth)).U16(uint16_t(s.nElevation));
        w.U16(uint16_t(s.nStatus)).U16(uint16_t(s.nPRN)).U16(uint16_t(s.nSNR));
    }
    w.Bytes(QByteArray(g.szAux, SIZE_AUX_TEXT));
    w.U8(uint8_t(g.nTimeSource)).Zeros(4).U32(uint32_t(g.nGPSTime)).U8(uint8_t(g.nGPSTimeFlag));
    return w.Take();
}

QByteArray EncodeHistory(const CMD_DATA_CONTROL_LOOP_STATUS_HISTORY& h)
{
    const int nCount = std::clamp<int>(h.nCount, 0, MAX_HISTORY_ENTRIES);
    Writer w(SIZE_HISTORY_HEADER + nCount * SIZE_HISTORY_ENTRY);
    w.U8(SUB_REQUEST).U32(uint32_t(h.nAux1)).U32(uint32_t(h.nAux2)).U32(uint32_t(nCount));
    for (int i = 0; i < nCount; ++i)
        WriteStatus(w, h.aEntries[i], false);
    return w.Take();
}

QByteArray EncodeLoopParameters(uint8_t nSubCmd, const CMD_DATA_LOOP_PARAMETERS& p, uint8_t nFlag)
{
    return Writer(SIZE_LOOP_PARAMETERS)
        .U8(nSubCmd)
        .Double(p.dTimeConstant)
        .Double(p.dGain)
        .Double(p.dDamping)
        .Double(p.dDetectorGain)
        .U8(nFlag)
        .Take();
}

QByteArray EncodeEnableControlLoop(bool bEnable)
{
    return Writer(2).U8(SUB_LOOP_ENABLE).U8(bEnable ? 1 : 0).Take();
}

QByteArray EncodeLogStart(const QString& strFileName)
{
    const QByteArray name = strFileName.toLatin1().left(LOG_FILE_NAME_FIELD);
    return Writer(SIZE_LOG_START).U8(SUB_SET).Bytes(name).Zeros(LOG_FILE_NAME_FIELD - name.size()).Take();
}

QByteArray EncodeLogStatusReply(uint8_t nFileStatus, const QString& strFileName)
{
    const QByteArray name = strFileName.toUtf8();
    return Writer(name.size() + 3).U8(SUB_REQUEST).U8(nFileStatus).Bytes(name).U8(0).Take();
}

QByteArray EncodeLogResultReply(uint8_t nSubCmd, int8_t nResult)
{
    return Writer(2).U8(nSubCmd).U8(uint8_t(nResult)).Take();
}

QByteArray EncodeNTPValues(double dNTPAux, double dEstCalibration)
{
    return Writer(SIZE_NTP_VALUE).U8(SUB_REQUEST).Double(dNTPAux).Double(dEstCalibration).Take();
}

QByteArray EncodeNTPAddressSet(const QString& strAddress)
{
    const int nChars = std::min<int>(strAddress.size(), MAX_NTP_ADDRESS);
    Writer w(nChars + 2);
    w.U8(SUB_SET);
    // The low 8 bits of each character, not toLatin1()'s '?' for wider ones.
    for (int i = 0; i < nChars; ++i)
        w.U8(uint8_t(strAddress.at(i).unicode() & 0xFF));
    return w.U8(0).Take();
}

QByteArray EncodeNTPAddressReply(const QString& strAddress)
{
    return Writer(strAddress.size() + 2).U8(SUB_NTP_ADDRESS).Bytes(strAddress.toLatin1()).U8(0).Take();
}

QByteArray EncodeGPSLockConfig(uint8_t nSubCmd, const CMD_DATA_GPS_LOCK_CONFIG& c)
{
    return Writer(SIZE_GPS_LOCK_CONFIG).U8(nSubCmd).U8(c.bEnable ? 1 : 0).U32(c.nDelay).Take();
}

} // namespace BRFN

#include "nmeaparser.h"

#include <QList>

#include <cmath>

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Unsigned decimal integer; false for an empty or non-numeric field.
bool ToInt(const QByteArray& field, int& nValue)
{
    if (field.isEmpty() || field.size() > 9)
        return false;
    int n = 0;
    for (char c : field) {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + (c - '0');
    }
    nValue = n;
    return true;
}

bool ToDouble(const QByteArray& field, double& dValue)
{
    if (field.isEmpty())
        return false;
    bool bOk = false;
    const double d = field.toDouble(&bOk);
    if (!bOk || !std::isfinite(d))
        return false;
    dValue = d;
    return true;
}

// "hhmmss" with an optional fraction; false for an empty or impossible time.
bool ToSecondOfDay(const QByteArray& field, int& nSecond)
{
    if (field.size() < 6)
        return false;
    int h = 0, m = 0, s = 0;
    if (!ToInt(field.left(2), h) || !ToInt(field.mid(2, 2), m) || !ToInt(field.mid(4, 2), s))
        return false;
    if (field.size() > 6) {
        double dFraction = 0.0;
        if (field.at(6) != '.' || (field.size() > 7 && !ToDouble("0" + field.mid(6), dFraction)))
            return false;
    }
    if (h > 23 || m > 59 || s > 60)
        return false;
    nSecond = std::min(h * 3600 + m * 60 + s, 86399); // a leap second folds onto :59
    return true;
}

// "ddmm.mmmm" / "dddmm.mmmm" plus a hemisphere letter.
bool ToDegrees(const QByteArray& value, const QByteArray& hemisphere, double dLimit, char cPositive,
               char cNegative, double& dDegrees)
{
    double v = 0.0;
    if (!ToDouble(value, v) || v < 0.0 || hemisphere.size() != 1)
        return false;
    const double dWhole = std::floor(v / 100.0);
    const double dMinutes = v - dWhole * 100.0;
    const double d = dWhole + dMinutes / 60.0;
    if (dMinutes >= 60.0 || d > dLimit)
        return false;
    if (hemisphere.at(0) == cPositive)
        dDegrees = d;
    else if (hemisphere.at(0) == cNegative)
        dDegrees = -d;
    else
        return false;
    return true;
}

bool ParseGGA(const QList<QByteArray>& f, NMEA_SENTENCE& s)
{
    if (f.size() < 10)
        return false;
    s.bHasTime = ToSecondOfDay(f[1], s.nSecondOfDay);
    int nQuality = 0;
    if (!f[6].isEmpty() && !ToInt(f[6], nQuality))
        return false;
    s.nQuality = nQuality;
    s.bFixValid = nQuality > 0;
    int nUsed = 0;
    if (ToInt(f[7], nUsed))
        s.nSatsUsed = nUsed;
    double dLat = 0.0, dLon = 0.0;
    if (ToDegrees(f[2], f[3], 90.0, 'N', 'S', dLat) && ToDegrees(f[4], f[5], 180.0, 'E', 'W', dLon)) {
        s.bHasPosition = true;
        s.dLatitude = dLat;
        s.dLongitude = dLon;
    }
    s.bHasAltitude = ToDouble(f[9], s.dAltitude);
    return true;
}

bool ParseRMC(const QList<QByteArray>& f, NMEA_SENTENCE& s)
{
    if (f.size() < 10)
        return false;
    s.bHasTime = ToSecondOfDay(f[1], s.nSecondOfDay);
    s.bFixValid = f[2] == "A";
    double dLat = 0.0, dLon = 0.0;
    if (ToDegrees(f[3], f[4], 90.0, 'N', 'S', dLat) && ToDegrees(f[5], f[6], 180.0, 'E', 'W', dLon)) {
        s.bHasPosition = true;
        s.dLatitude = dLat;
        s.dLongitude = dLon;
    }
    int d = 0, m = 0, y = 0;
    if (f[9].size() == 6 && ToInt(f[9].left(2), d) && ToInt(f[9].mid(2, 2), m) && ToInt(f[9].mid(4, 2), y)) {
        // Two-digit years: 80..99 are 1980..1999 (GPS began in 1980), the rest 20xx.
        const QDate date(y >= 80 ? 1900 + y : 2000 + y, m, d);
        if (date.isValid()) {
            s.bHasDate = true;
            s.date = date;
        }
    }
    return true;
}

bool ParseZDA(const QList<QByteArray>& f, NMEA_SENTENCE& s)
{
    if (f.size() < 5)
        return false;
    s.bHasTime = ToSecondOfDay(f[1], s.nSecondOfDay);
    int d = 0, m = 0, y = 0;
    if (ToInt(f[2], d) && ToInt(f[3], m) && ToInt(f[4], y)) {
        const QDate date(y, m, d);
        if (date.isValid() && y >= 1980) {
            s.bHasDate = true;
            s.date = date;
        }
    }
    return true;
}

bool ParseGSA(const QList<QByteArray>& f, NMEA_SENTENCE& s)
{
    if (f.size() < 15)
        return false;
    // NMEA 4.10 adds a system id after the three DOP values.
    int nSystem = s.nSystem;
    int nSystemId = 0;
    if (f.size() >= 19 && ToInt(f[18], nSystemId) && nSystemId >= 1 && nSystemId <= 5)
        nSystem = nSystemId;
    for (int i = 3; i <= 14; ++i) {
        int nPRN = 0;
        if (f[i].isEmpty())
            continue;
        if (!ToInt(f[i], nPRN))
            return false;
        if (nPRN > 0)
            s.usedPRNs.append(CNmeaParser::GlobalPRN(nSystem, nPRN));
    }
    return true;
}

bool ParseGSV(const QList<QByteArray>& f, NMEA_SENTENCE& s)
{
    if (f.size() < 4)
        return false;
    if (!ToInt(f[1], s.nGsvMessages) || !ToInt(f[2], s.nGsvMessage) || !ToInt(f[3], s.nGsvInView))
        return false;
    const int nRest = f.size() - 4;
    const int nGroups = nRest / 4;
    if (nRest % 4 == 1) {
        int nSignal = 0;
        if (ToInt(f.last(), nSignal))
            s.nGsvSignalId = nSignal;
    } else if (nRest % 4 != 0) {
        return false;
    }
    for (int g = 0; g < nGroups; ++g) {
        const int i = 4 + g * 4;
        int nPRN = 0;
        if (f[i].isEmpty())
            continue; // an empty slot of a short last message
        if (!ToInt(f[i], nPRN))
            return false;
        if (nPRN <= 0)
            continue;
        NMEA_SATELLITE sat;
        sat.nPRN = CNmeaParser::GlobalPRN(s.nSystem, nPRN);
        int n = 0;
        if (ToInt(f[i + 1], n) && n <= 90)
            sat.nElevation = n;
        if (ToInt(f[i + 2], n) && n < 360)
            sat.nAzimuth = n;
        if (ToInt(f[i + 3], n) && n <= 99) {
            sat.nSNR = n;
            sat.bHasSNR = true;
        }
        s.satellites.append(sat);
    }
    return true;
}

} // namespace

quint8 CNmeaParser::Checksum(const QByteArray& body)
{
    quint8 n = 0;
    for (char c : body)
        n ^= quint8(c);
    return n;
}

QByteArray CNmeaParser::Finish(const QByteArray& sentence)
{
    const QByteArray body = sentence.startsWith('$') ? sentence.mid(1) : sentence;
    return "$" + body + "*" + QByteArray::number(Checksum(body), 16).toUpper().rightJustified(2, '0') +
           "\r\n";
}

int CNmeaParser::SystemOfTalker(const QByteArray& talker)
{
    if (talker == "GP")
        return NMEA_SYSTEM_GPS;
    if (talker == "GL")
        return NMEA_SYSTEM_GLONASS;
    if (talker == "GA")
        return NMEA_SYSTEM_GALILEO;
    if (talker == "GB" || talker == "BD")
        return NMEA_SYSTEM_BEIDOU;
    if (talker == "GQ" || talker == "QZ")
        return NMEA_SYSTEM_QZSS;
    if (talker == "GN")
        return NMEA_SYSTEM_MIXED;
    return NMEA_SYSTEM_UNKNOWN;
}

int CNmeaParser::GlobalPRN(int nSystem, int nPRN)
{
    switch (nSystem) {
    case NMEA_SYSTEM_GLONASS:
        return nPRN <= 32 ? nPRN + 64 : nPRN;
    case NMEA_SYSTEM_GALILEO:
        return nPRN <= 36 ? nPRN + 300 : nPRN;
    case NMEA_SYSTEM_BEIDOU:
        return nPRN <= 63 ? nPRN + 200 : nPRN;
    case NMEA_SYSTEM_QZSS:
        return nPRN <= 10 ? nPRN + 192 : nPRN;
    default:
        return nPRN;
    }
}

CNmeaParser::Result CNmeaParser::ParseLine(const QByteArray& rawLine, NMEA_SENTENCE& s, bool* pbNoise)
{
    s = NMEA_SENTENCE();
    if (pbNoise)
        *pbNoise = false;
    const QByteArray line = rawLine.trimmed();
    if (line.isEmpty())
        return RESULT_EMPTY;
    const int nStart = line.lastIndexOf('$');
    if (nStart < 0)
        return RESULT_MALFORMED;
    if (nStart > 0 && pbNoise)
        *pbNoise = true;
    const int nStar = line.indexOf('*', nStart);
    if (nStar < 0 || nStar - nStart > MAX_LINE_LENGTH || line.size() != nStar + 3)
        return RESULT_MALFORMED;
    const int nHigh = HexDigit(line.at(nStar + 1));
    const int nLow = HexDigit(line.at(nStar + 2));
    if (nHigh < 0 || nLow < 0)
        return RESULT_MALFORMED;
    const QByteArray body = line.mid(nStart + 1, nStar - nStart - 1);
    for (char c : body) {
        if (c < 0x20 || c > 0x7E)
            return RESULT_MALFORMED;
    }
    if (Checksum(body) != quint8(nHigh * 16 + nLow))
        return RESULT_BAD_CHECKSUM;

    const QList<QByteArray> fields = body.split(',');
    const QByteArray& address = fields.first();
    if (address.size() < 4 || address.size() > 10)
        return RESULT_MALFORMED;
    for (char c : address) {
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return RESULT_MALFORMED;
    }
    s.typeName = address.right(3);
    s.talker = address.left(address.size() - 3);
    s.nSystem = SystemOfTalker(s.talker);
    // Proprietary sentences ("$P...") carry a maker's layout under any name.
    const bool bProprietary = address.startsWith('P');

    bool bOk = true;
    if (bProprietary) {
        s.eType = NMEA_SENTENCE::TYPE_OTHER;
    } else if (s.typeName == "GGA") {
        s.eType = NMEA_SENTENCE::TYPE_GGA;
        bOk = ParseGGA(fields, s);
    } else if (s.typeName == "RMC") {
        s.eType = NMEA_SENTENCE::TYPE_RMC;
        bOk = ParseRMC(fields, s);
    } else if (s.typeName == "GSA") {
        s.eType = NMEA_SENTENCE::TYPE_GSA;
        bOk = ParseGSA(fields, s);
    } else if (s.typeName == "GSV") {
        s.eType = NMEA_SENTENCE::TYPE_GSV;
        bOk = ParseGSV(fields, s);
    } else if (s.typeName == "ZDA") {
        s.eType = NMEA_SENTENCE::TYPE_ZDA;
        bOk = ParseZDA(fields, s);
    } else {
        s.eType = NMEA_SENTENCE::TYPE_OTHER;
    }
    if (!bOk) {
        s = NMEA_SENTENCE();
        return RESULT_MALFORMED;
    }
    return s.eType == NMEA_SENTENCE::TYPE_OTHER ? RESULT_OTHER : RESULT_OK;
}

#include "cnavconversions.h"

#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {
// Feet in one metre, exactly as written (not 1 / 0.3048).
constexpr double kFeetPerMetre = 3.28083989501;

// printf into a string: a 64-byte buffer first, and one allocation of the
// exact length when the text does not fit.
__attribute__((format(printf, 1, 2))) std::string FormatString(const char* pszFormat, ...)
{
    char szShort[64];
    va_list args;
    va_start(args, pszFormat);
    // The list is walked twice when the text is long: the second walk needs
    // its own copy.
    va_list argsAgain;
    va_copy(argsAgain, args);
    const int nLength = std::vsnprintf(szShort, sizeof(szShort), pszFormat, args);
    va_end(args);
    std::string strText;
    if (nLength < 0) {
        // An encoding error: nothing sensible to show.
    } else if (nLength < int(sizeof(szShort))) {
        strText.assign(szShort, size_t(nLength));
    } else {
        std::vector<char> long_(size_t(nLength) + 1);
        std::vsnprintf(long_.data(), long_.size(), pszFormat, argsAgain);
        strText.assign(long_.data(), size_t(nLength));
    }
    va_end(argsAgain);
    return strText;
}
} // namespace

CNavConversions::CNavConversions(unsigned int nPositionFormat, unsigned int nAltitudeUnits)
    : m_nPositionFormat(nPositionFormat), m_nAltitudeUnits(nAltitudeUnits)
{}

void CNavConversions::SetPositionFormat(unsigned int nPositionFormat)
{
    m_nPositionFormat = nPositionFormat;
}

void CNavConversions::SetAltitudeUnits(unsigned int nAltitudeUnits)
{
    m_nAltitudeUnits = nAltitudeUnits;
}

unsigned int CNavConversions::GetPositionFormat() const
{
    return m_nPositionFormat;
}

unsigned int CNavConversions::GetAltitudeUnits() const
{
    return m_nAltitudeUnits;
}

int CNavConversions::TruncInt(double d)
{
    // A NaN latitude from the wire must not reach an undefined cast.
    if (std::isnan(d))
        return 0;
    if (d >= 2147483647.0)
        return INT_MAX;
    if (d <= -2147483648.0)
        return INT_MIN;
    return int(d);
}

std::string CNavConversions::FormatAngle(double dValue, char cPositive, char cNegative, bool bLongitude) const
{
    // -0 compares equal to 0, so it counts as north or east.
    const char cLetter = dValue < 0.0 ? cNegative : cPositive;
    const double dAbs = std::fabs(dValue);
    const int nDegrees = TruncInt(dAbs);
    const unsigned long nDegreesOut = static_cast<unsigned long>(nDegrees);
    // Ten-thousandths of a minute, rounded half up. Not carried into the
    // degrees: 59.99999' shows as 60.0000'.
    const int nTenThousandths = TruncInt((dAbs - nDegrees) * 60.0 * 10000.0 + 0.5);

    switch (m_nPositionFormat) {
    case PosFormatDD_MM_MMMM: {
        const double dMinutes = nTenThousandths / 10000.0;
        return bLongitude ? FormatString("%c %03lu\xC2\xB0 %07.04f'", cLetter, nDegreesOut, dMinutes)
                          : FormatString("%c %02lu\xC2\xB0 %07.04f'", cLetter, nDegreesOut, dMinutes);
    }
    case PosFormatDD_MM_SS_SSS: {
        // The seconds come from the minutes rounded to 1/10000', not from the raw value.
        const int nMinutes = nTenThousandths / 10000;
        const double dSeconds = (nTenThousandths % 10000) / 10000.0 * 60.0;
        return bLongitude ? FormatString("%c %03lu\xC2\xB0 %02d' %06.03f\"", cLetter, nDegreesOut, nMinutes,
                                         dSeconds)
                          : FormatString("%c %02lu\xC2\xB0 %02d' %06.03f\"", cLetter, nDegreesOut, nMinutes,
                                         dSeconds);
    }
    case PosFormatDD_DDDD:
        return bLongitude ? FormatString("%c %010.06f\xC2\xB0", cLetter, dAbs)
                          : FormatString("%c %09.06f\xC2\xB0", cLetter, dAbs);
    default:
        return bLongitude ? "fail" : "ERROR";
    }
}

std::string CNavConversions::FormatLatitude(double dLatitude) const
{
    return FormatAngle(dLatitude, 'N', 'S', false);
}

std::string CNavConversions::FormatLongitude(double dLongitude) const
{
    return FormatAngle(dLongitude, 'E', 'W', true);
}

std::string CNavConversions::FormatAltitude(double dAltitude) const
{
    switch (m_nAltitudeUnits) {
    case AltitudeEnglish:
        return FormatString("%.01f %s", dAltitude * kFeetPerMetre, "ft");
    case AltitudeMetric:
        return FormatString("%.01f %s", dAltitude, "m");
    default:
        return FormatString("%.01f %s", -1.0, "err");
    }
}

std::string CNavConversions::GridSquare(double dLatitude, double dLongitude) const
{
    // Longitude: 20° fields, 2° squares, 5' subsquares (24 to a square) and
    // extended squares of a tenth of that. The extended squares take the
    // rounded decimals 0.083333 and 0.008333 (latitude: 0.0416665 and
    // 0.004166), not 1/12, 1/120, 1/24 and 1/240: near an extended-square
    // border the two disagree ((-52.3999095, -105.2250009) is DD77jo34 here,
    // DD77jo24 with exact fractions), and the locator shown is the one these
    // constants give.
    const double dL = dLongitude + 180.0;
    const int nField = TruncInt(dL / 20.0);
    const double dR = dL - 20.0 * nField;
    const int nSquare = TruncInt(dR * 0.5);
    const double dR2 = dR - 2.0 * nSquare;
    const int nSub = TruncInt(dR2 * 12.0);
    const int nExt = TruncInt(std::fmod(dR2, 0.083333) / 0.008333);

    // Latitude: 10° fields, 1° squares, 2.5' subsquares, tenths of those.
    const double dA = dLatitude + 90.0;
    const int nFieldLat = TruncInt(dA / 10.0);
    const double dRLat = dA - 10.0 * nFieldLat;
    const int nSquareLat = TruncInt(dRLat);
    const double dR2Lat = dRLat - nSquareLat;
    const int nSubLat = TruncInt(dR2Lat * 24.0);
    const int nExtLat = TruncInt(std::fmod(dR2Lat, 0.0416665) / 0.004166);

    // Out-of-range positions are not clamped; each character keeps the low
    // eight bits of its code.
    auto ch = [](char cBase, int n) { return char((unsigned(cBase) + unsigned(n)) & 0xFFu); };
    const char aGrid[8] = {ch('A', nField), ch('A', nFieldLat), ch('0', nSquare), ch('0', nSquareLat),
                           ch('a', nSub),   ch('a', nSubLat),   ch('0', nExt),    ch('0', nExtLat)};
    return std::string(aGrid, sizeof(aGrid));
}

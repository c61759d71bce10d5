#ifndef CNAVCONVERSIONS_H
#define CNAVCONVERSIONS_H

// Position notation and altitude units in force, as chosen in the main
// window's menus and kept in its settings, and the texts the position panel
// shows: latitude, longitude, altitude and the Maidenhead grid square.
//
// Plain C++ with no Qt: every operation works on plain numbers and returns a
// byte string in UTF-8 (the degree sign is C2 B0); callers make a QString of
// it. Every input gives a text, never a crash: NaN degrees read as 0, values
// beyond the range of a 32-bit integer saturate, unknown settings give the
// fixed error texts "ERROR", "fail" and "-1.0 err".

#include <string>

class CNavConversions
{
public:
    // The numbers are stored in the settings, so they never change.
    enum PositionFormat : unsigned int
    {
        PosFormatDD_MM_MMMM = 0,
        PosFormatDD_MM_SS_SSS = 1,
        PosFormatDD_DDDD = 2,
    };
    enum AltitudeUnits : unsigned int
    {
        AltitudeEnglish = 0, // feet
        AltitudeMetric = 1,  // metres
    };

    CNavConversions(unsigned int nPositionFormat, unsigned int nAltitudeUnits);

    // No setter validates: a value outside the known ones is kept as it is and
    // each operation handles it.
    void SetPositionFormat(unsigned int nPositionFormat);
    void SetAltitudeUnits(unsigned int nAltitudeUnits);
    unsigned int GetPositionFormat() const;
    unsigned int GetAltitudeUnits() const;

    // "N 45° 30.0000'", "N 45° 30' 00.000\"" or "N 45.500000°" by position
    // format; "S" below 0 (-0 is north). Minutes that round up to 60 stay
    // 60 (no carry into the degrees). Unknown format: "ERROR".
    std::string FormatLatitude(double dLatitude) const;
    // As FormatLatitude with three-digit degrees and "E"/"W". Unknown format: "fail".
    std::string FormatLongitude(double dLongitude) const;
    // "5280.0 ft" or "1609.3 m"; unknown units: "-1.0 err".
    std::string FormatAltitude(double dAltitude) const;
    // Eight characters: field, square, subsquare and extended square, each as
    // a longitude/latitude pair; (0, 0) -> "JJ00aa00".
    std::string GridSquare(double dLatitude, double dLongitude) const;

    // Truncation toward zero into a 32-bit integer: NaN gives 0, values beyond
    // the integer's range give its nearest end.
    static int TruncInt(double d);

private:
    std::string FormatAngle(double dValue, char cPositive, char cNegative, bool bLongitude) const;

    unsigned int m_nPositionFormat;
    unsigned int m_nAltitudeUnits;
};

#endif // CNAVCONVERSIONS_H

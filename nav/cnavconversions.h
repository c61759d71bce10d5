#ifndef CNAVCONVERSIONS_H
#define CNAVCONVERSIONS_H

// Position notation and altitude units in force, as chosen in the main
// window's menus and kept in its settings.
//
// Still to come: the text formatting of latitude, longitude and altitude and
// the grid square (FormatLatitude, FormatLongitude, FormatAltitude,
// GridSquare).
class CNavConversions
{
public:
    // The numbers are stored in the settings, so they never change.
    enum PositionFormat : unsigned int {
        PosFormatDD_MM_MMMM = 0,
        PosFormatDD_MM_SS_SSS = 1,
        PosFormatDD_DDDD = 2,
    };
    enum AltitudeUnits : unsigned int {
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

private:
    unsigned int m_nPositionFormat;
    unsigned int m_nAltitudeUnits;
};

#endif // CNAVCONVERSIONS_H

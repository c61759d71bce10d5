#ifndef CGPSDISPLAYDATA_H
#define CGPSDISPLAYDATA_H

#include <cstddef>
#include <cstdint>

// The receiver's state in the form the GPS displays read: a fixed-size record
// of plain data, copied whole, holding no pointers. The main window fills it
// from every GPS status the service sends; the displays get copies.
class CGPSDisplayData
{
public:
    enum : int
    {
        MAX_SATELLITES = 96
    };

    struct SAT_DATA
    {
        int32_t nPRN = 0; // 0 marks an empty slot
        int32_t nSNR = 0; // signal-to-noise ratio; the bars scale it against 55
        bool bUsed = false;
        int32_t nAzimuth = 0;   // degrees clockwise from north
        int32_t nElevation = 0; // degrees above the horizon
        int32_t nStatus = 0;    // state code 0..3; others are carried as they come
    };

    SAT_DATA aSats[MAX_SATELLITES];
    int32_t nSatsTracked = 0;
    int32_t nSatsInView = 0;  // also the number of signal bars
    double dLatitude = 0.0;   // degrees, north positive
    double dLongitude = 0.0;  // degrees, east positive
    double dAltitude = 0.0;   // metres
    int32_t nGPSTime = 0;     // seconds since 1970-01-01 00:00:00 UTC
    int32_t nGPSTimeFlag = 0; // non-zero when the GPS time is valid

    CGPSDisplayData() = default;

    // Copies the whole record in.
    void SetData(const CGPSDisplayData& source);
    // Copies the whole record to pDest when nSize is the record's size;
    // any other size copies nothing and returns false.
    bool GetData(CGPSDisplayData* pDest, size_t nSize) const;
};

#endif // CGPSDISPLAYDATA_H

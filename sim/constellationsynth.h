#ifndef CONSTELLATIONSYNTH_H
#define CONSTELLATIONSYNTH_H

// A made-up GPS receiver for when no capture is replayed: a fixed position
// and a dozen satellites that rise, cross the sky and set, written as the
// NMEA sentences of one second (GGA, RMC, GSA, GSV, ZDA). The service reads
// these lines exactly as it reads a real receiver's.

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <random>

class CConstellationSynth
{
public:
    enum : int
    {
        SATELLITES = 14,
        MAX_USED = 12,
        MIN_ELEVATION = 5,
        USED_ELEVATION = 15
    };
    static constexpr double LATITUDE = 47.2530;    // degrees north
    static constexpr double LONGITUDE = -122.4443; // degrees east
    static constexpr double ALTITUDE = 96.4;       // metres

    explicit CConstellationSynth(quint32 nSeed = 1);

    // Fix loss: every nEvery seconds the fix drops for nLength seconds
    // (nEvery 0: never).
    void SetFixLoss(int nEvery, int nLength);

    // The sentences of second nSecond after the start, for the UTC time utc.
    QList<QByteArray> Sentences(int nSecond, const QDateTime& utc);

private:
    struct ORBIT
    {
        int nPRN;
        double dAzimuth0;     // degrees at the start
        double dAzimuthRate;  // degrees per second
        double dPhase;        // radians
        double dMaxElevation; // degrees
    };
    static void Position(const ORBIT& o, int nSecond, double& dAzimuth, double& dElevation);

    ORBIT m_aOrbits[SATELLITES];
    std::mt19937 m_Random;
    int m_nFixLossEvery = 0;
    int m_nFixLossLength = 0;
};

#endif // CONSTELLATIONSYNTH_H

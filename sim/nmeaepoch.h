#ifndef NMEAEPOCH_H
#define NMEAEPOCH_H

// Groups NMEA lines into the receiver's one-second output cycles ("epochs")
// and folds each epoch into the GPS record that the service pushes.
//
// A receiver writes one burst of sentences per second, but the order inside a
// burst, the sentence mix and even the presence of a time differ between
// makers. An epoch therefore ends when
//  - a timed GGA, RMC or ZDA names another second than the epoch holds, or
//  - a GGA or RMC arrives while the epoch already has one of its kind and the
//    two cannot be told apart by their time (no time in either), or
//  - the input ends (Flush).
// Two GGAs of the same second (a receiver that repeats the sentence with
// another fraction) stay in one epoch; the later one wins.

#include "brfncodec.h"
#include "nmeaparser.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QSet>
#include <QVector>

struct NMEA_EPOCH
{
    bool bHasTime = false;
    int nSecondOfDay = 0;
    bool bHasDate = false;
    QDate date;
    bool bTimeFromZDA = false; // a ZDA with a valid time was part of the epoch

    bool bHasGGA = false;
    bool bHasRMC = false;
    bool bRMCValid = false;
    bool bHasPosition = false;
    double dLatitude = 0.0;
    double dLongitude = 0.0;
    bool bHasAltitude = false;
    double dAltitude = 0.0;
    int nQuality = 0;
    int nGGASatsUsed = 0;

    bool bHasGSV = false;
    QVector<NMEA_SATELLITE> satellites; // one entry per global PRN, best SNR of all signals
    bool bHasGSA = false;
    QVector<int> usedPRNs; // global PRNs, each once

    QList<QByteArray> sentences; // every checked line, in order, ending in CR LF

    // GGA decides when present; a receiver without GGA is judged by RMC.
    bool FixValid() const { return bHasGGA ? nQuality > 0 : (bHasRMC && bRMCValid); }
    bool IsEmpty() const { return sentences.isEmpty(); }
};

struct NMEA_COUNTERS
{
    int nLines = 0;       // lines offered, empty ones included
    int nDecoded = 0;     // GGA, RMC, GSA, GSV, ZDA with a good checksum
    int nOther = 0;       // checked sentences of other types (skipped)
    int nMalformed = 0;   // skipped: no "$", no "*hh", bad fields
    int nBadChecksum = 0; // skipped: checksum mismatch
    int nNoise = 0;       // decoded after dropping noise in front of the "$"
    int nEpochs = 0;      // epochs completed
};

class CNmeaEpochAssembler
{
public:
    // Feeds one line. Returns true when the line began a new epoch; the
    // completed one is then in rCompleted.
    bool AddLine(const QByteArray& line, NMEA_EPOCH& rCompleted);
    // Ends the input: returns the last epoch if it holds anything.
    bool Flush(NMEA_EPOCH& rCompleted);
    void Reset();

    const NMEA_COUNTERS& Counters() const { return m_Counters; }

private:
    void Merge(const NMEA_SENTENCE& s);
    bool StartsNewEpoch(const NMEA_SENTENCE& s) const;

    NMEA_EPOCH m_Current;
    NMEA_COUNTERS m_Counters;
};

// The service's view of the receiver, updated once per epoch. Satellite
// tables and used flags carry over epochs without GSV / GSA (many receivers
// send them only every few seconds); the date carries over epochs without RMC
// or ZDA; the position is that of the last epoch with a fix.
//
// Satellite state codes sent to the panel:
//   0 SAT_IN_VIEW  in view, no signal (the receiver gives no SNR)
//   1 SAT_USED     used in the solution
//   2 SAT_TRACKED  signal received, not used in the solution
//   3 SAT_WEAK     used in the solution with a weak signal (SNR below 25)
// The panel greys every satellite outside the solution, so 1 shows green,
// 3 yellow, and 0 and 2 grey.
//
// nSatsInView counts the satellites the GSV sentences list (each satellite
// once, however many signals it is reported on; at most 96), nSatsTracked
// those of them with a signal (SNR above 0). The time counts as valid
// (nGPSTimeFlag 1) only in an epoch with a fix, a time and a known date;
// nTimeSource is 1 when a ZDA gave the epoch's time, else 0 (GGA and RMC).
class CNmeaGpsState
{
public:
    enum SatelliteStatus
    {
        SAT_IN_VIEW = 0,
        SAT_USED = 1,
        SAT_TRACKED = 2,
        SAT_WEAK = 3
    };
    enum : int
    {
        WEAK_SNR = 25
    };

    // Folds one epoch in and returns the record to push for it.
    BRFN::CMD_DATA_GPS_STATUS Apply(const NMEA_EPOCH& epoch);
    void Reset();

    bool HasFix() const { return m_bFix; }
    bool TimeValid() const { return m_bTimeValid; }

private:
    QVector<NMEA_SATELLITE> m_Satellites;
    QSet<int> m_Used;
    QDate m_Date;
    int m_nLastSecond = -1;
    bool m_bFix = false;
    bool m_bTimeValid = false;
    double m_dLatitude = 0.0;
    double m_dLongitude = 0.0;
    double m_dAltitude = 0.0;
};

#endif // NMEAEPOCH_H

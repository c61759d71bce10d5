#ifndef CLOCKLOOPMODEL_H
#define CLOCKLOOPMODEL_H

// The stand-in service's clock: a system clock that runs a little fast, an
// NMEA feed that arrives late, and a proportional-integral loop that slews
// the clock towards GPS time. One Step is one second of the service.
//
// State codes of the loop (as the panel names them):
//   0 Off         the loop is disabled
//   1 No Disc     not used by this service
//   2 NO GPS      no receiver, or no fix since the loop (re)started
//   3 Starting... the first seconds after the loop is enabled or reset
//   4 Searching   a fix, collecting the first measurements (a large
//                 difference is then removed with one clock step)
//   5 Synching    slewing towards GPS time
//   6 Locked      the spread and the fitted difference are small and the
//                 GPS lock delay (when enabled) has passed
//   7 Holdover    the fix was lost after the loop had synchronised; the clock
//                 free-runs at its last correction
//   8 Recovery    the first seconds with a fix again after a holdover
//
// Noise: every measured difference carries white phase noise (the jitter of
// the NMEA data's arrival), and the free clock's fractional frequency takes a
// Gaussian step every second (random-walk frequency noise of the PC crystal),
// reflected so that it stays within FREQUENCY_RANGE of CLOCK_DRIFT. With the
// defaults the Allan deviations of the two, sqrt(3) * sigma / tau and
// q * sqrt(tau / 3), cross near tau = 1000 s.

#include "brfncodec.h"

#include <QVector>

#include <deque>
#include <random>

struct LINE_FIT
{
    double dSlope = 0.0;
    double dIntercept = 0.0;
    double dStdDev = 0.0; // sample standard deviation of the values (n - 1)
    int nSamples = 0;
};

class CClockLoopModel
{
public:
    enum LoopState
    {
        LOOP_OFF = 0,
        LOOP_NO_DISC = 1,
        LOOP_NO_GPS = 2,
        LOOP_STARTING = 3,
        LOOP_SEARCHING = 4,
        LOOP_SYNCHING = 5,
        LOOP_LOCKED = 6,
        LOOP_HOLDOVER = 7,
        LOOP_RECOVERY = 8,
    };
    enum : int
    {
        STARTING_SECONDS = 3,
        SEARCHING_SECONDS = 5,
        RECOVERY_SECONDS = 5,
        FIT_SAMPLES = 60,   // first fit: the last minute
        FIT2_SAMPLES = 600, // second fit: the last ten minutes
        LOCK_SAMPLES = 20,
    };
    static constexpr double STEP_THRESHOLD = 0.128;      // seconds: larger differences are stepped
    static constexpr double LOCK_SPREAD = 0.002;         // seconds
    static constexpr double LOCK_OFFSET = 0.001;         // seconds
    static constexpr double UNLOCK_OFFSET = 0.010;       // seconds
    static constexpr double NMEA_DELAY = 0.120;          // seconds the NMEA data arrives after the GPS second
    static constexpr double CLOCK_DRIFT = 25e-6;         // nominal seconds per second the free clock gains
    static constexpr double FREQUENCY_RANGE = 200e-6;    // the free clock's rate: CLOCK_DRIFT +- this
    static constexpr double PHASE_NOISE = 0.0003;        // seconds, one standard deviation
    static constexpr double RWFM_NOISE = 3e-8;           // fractional frequency per sqrt(second)
    static constexpr double HOLDOVER_ERROR_RATE = 50e-6; // seconds of estimated error per holdover second

    // dPhaseNoise: standard deviation of the white phase noise of each
    // measurement, seconds. dRwfm: standard deviation of the free clock's
    // frequency step each second (fractional frequency per sqrt(second)).
    explicit CClockLoopModel(quint32 nSeed = 1, double dPhaseNoise = PHASE_NOISE, double dRwfm = RWFM_NOISE);

    BRFN::CMD_DATA_LOOP_PARAMETERS Parameters() const;
    // Takes the four loop values; the enable flag is switched by SetEnabled.
    void SetParameters(const BRFN::CMD_DATA_LOOP_PARAMETERS& params);
    void SetEnabled(bool bEnabled);
    bool Enabled() const { return m_bEnabled; }
    // Restarts the loop: Starting, samples and integrator cleared.
    void Reset();

    double TimeDiffOffset() const { return m_dTimeDiffOffset; }
    void SetTimeDiffOffset(double dOffset) { m_dTimeDiffOffset = dOffset; }

    BRFN::CMD_DATA_GPS_LOCK_CONFIG LockConfig() const { return m_LockConfig; }
    void SetLockConfig(const BRFN::CMD_DATA_GPS_LOCK_CONFIG& config) { m_LockConfig = config; }

    // One second. bReceiver: the service reads a receiver at all; bFix: the
    // receiver has a valid fix and time this second.
    BRFN::CMD_DATA_CONTROL_LOOP_STATUS Step(bool bReceiver, bool bFix);

    int State() const { return m_nState; }
    // The clock's true difference to GPS time (what a perfect NTP
    // calibration would measure), seconds.
    double TrueTimeDiff() const { return m_dTrueDiff; }
    // The rate the free clock gains at this second (seconds per second).
    double ClockDrift() const { return m_dDrift; }

    // The last (at most 10) status records, oldest first.
    const BRFN::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY& History() const { return m_History; }
    void EraseHistory();

    // Least-squares line through (1, y0), (2, y1) ... (n, y[n-1]): the line's
    // value at x = n is the fitted value of the newest sample.
    static LINE_FIT Fit(const std::deque<double>& values, int nLast);

private:
    double Noise();
    void WalkFrequency();
    void AddToHistory(const BRFN::CMD_DATA_CONTROL_LOOP_STATUS& status);

    std::mt19937 m_Random;
    std::normal_distribution<double> m_Normal{0.0, 1.0};
    // The frequency walk has a generator of its own, so that a seed gives the
    // same phase noise whatever the size of the walk.
    std::mt19937 m_WalkRandom;
    std::normal_distribution<double> m_WalkNormal{0.0, 1.0};
    double m_dPhaseNoise = PHASE_NOISE;
    double m_dRwfm = RWFM_NOISE;
    double m_dDrift = CLOCK_DRIFT;

    double m_dTimeConstant = 30.0;
    double m_dGain = 1.0;
    double m_dDamping = 0.707;
    double m_dDetectorGain = 1.0;
    bool m_bEnabled = true;
    double m_dTimeDiffOffset = NMEA_DELAY;
    BRFN::CMD_DATA_GPS_LOCK_CONFIG m_LockConfig;

    int m_nState = LOOP_STARTING;
    int m_nStateSeconds = 0;      // seconds spent in the current state
    int m_nFixSeconds = 0;        // seconds with a fix without a break
    bool m_bSynchronised = false; // reached Synching since the last reset
    double m_dTrueDiff = 0.0;     // GPS time minus the system clock
    double m_dIntegral = 0.0;
    double m_dControl = 0.0; // slew, seconds per second
    double m_dLastMeasured = 0.0;
    double m_dEstError = 0.0;
    std::deque<double> m_Samples;
    BRFN::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY m_History;
};

#endif // CLOCKLOOPMODEL_H

#ifndef TELLURIX_PHASERECORDER_H
#define TELLURIX_PHASERECORDER_H

// The latest unbroken run of time differences the service reported, for the
// stability analysis. A record that arrives more than 1.5 record intervals
// after the previous one, a non-finite value or Break() (link loss, erased
// history) starts a new run. The interval tau0 is measured from the arrival
// times of the run's records.

#include <cstddef>
#include <cstdint>
#include <vector>

class CPhaseRecorder
{
public:
    // At most nMaxPoints are kept; older points of a longer run are dropped
    // (the run's start moves on).
    explicit CPhaseRecorder(std::size_t nMaxPoints = std::size_t(1) << 22);

    // One status record: its arrival time (seconds on a monotonic clock) and
    // the time difference it carries (seconds).
    void Add(double dArrivalSeconds, double dPhase);
    // The next record starts a new run.
    void Break();

    std::size_t Size() const { return m_Phase.size(); }
    // Mean interval between the arrivals of the run; 0 with fewer than two.
    double Tau0() const;
    const std::vector<double>& Phase() const { return m_Phase; }
    // Changes with every Add and Break, so a viewer knows whether to look again.
    std::uint64_t Generation() const { return m_nGeneration; }

private:
    std::size_t m_nMaxPoints;
    std::vector<double> m_Phase;
    double m_dFirstArrival = 0.0;
    double m_dLastArrival = 0.0;
    std::size_t m_nArrivals = 0; // arrivals the interval is measured over
    bool m_bBroken = true;
    std::uint64_t m_nGeneration = 0;
};

#endif // TELLURIX_PHASERECORDER_H

#include "phaserecorder.h"

#include <cmath>

CPhaseRecorder::CPhaseRecorder(std::size_t nMaxPoints) : m_nMaxPoints(nMaxPoints < 3 ? 3 : nMaxPoints) {}

double CPhaseRecorder::Tau0() const
{
    if (m_nArrivals < 2)
        return 0.0;
    return (m_dLastArrival - m_dFirstArrival) / double(m_nArrivals - 1);
}

void CPhaseRecorder::Break()
{
    m_bBroken = true;
    ++m_nGeneration;
}

void CPhaseRecorder::Add(double dArrivalSeconds, double dPhase)
{
    ++m_nGeneration;
    if (!std::isfinite(dPhase) || !std::isfinite(dArrivalSeconds)) {
        m_bBroken = true;
        return;
    }
    // A gap is measured against the run's interval; the second record of a
    // run sets it. A clock that went backwards breaks the run too.
    if (!m_bBroken) {
        const double dGap = dArrivalSeconds - m_dLastArrival;
        const double dTau0 = Tau0();
        if (dGap < 0.0 || (dTau0 > 0.0 && dGap > 1.5 * dTau0))
            m_bBroken = true;
    }
    if (m_bBroken) {
        m_Phase.clear();
        m_dFirstArrival = dArrivalSeconds;
        m_nArrivals = 0;
        m_bBroken = false;
    }
    if (m_Phase.size() >= m_nMaxPoints) {
        // Drop the oldest eighth at once, so that a full recorder does not
        // move every point on every record.
        m_Phase.erase(m_Phase.begin(), m_Phase.begin() + std::ptrdiff_t(m_nMaxPoints / 8 + 1));
    }
    m_Phase.push_back(dPhase);
    m_dLastArrival = dArrivalSeconds;
    ++m_nArrivals;
}

#include "clockloopmodel.h"

#include <algorithm>
#include <cmath>

namespace {

// A parameter from the wire may be anything; the loop keeps a sane value.
double SaneOr(double dValue, double dFallback)
{
    return std::isfinite(dValue) ? dValue : dFallback;
}

// The clock is slewed at most 500 ppm, as adjtime() does.
constexpr double MAX_SLEW = 500e-6;

} // namespace

CClockLoopModel::CClockLoopModel(quint32 nSeed, double dPhaseNoise, double dRwfm)
    : m_Random(nSeed), m_dPhaseNoise(SaneOr(dPhaseNoise, 0.0)), m_dRwfm(SaneOr(dRwfm, 0.0))
{
    std::seed_seq walkSeed{nSeed, 0x57414c4bu};
    m_WalkRandom.seed(walkSeed);
    // The system clock starts a few hundred milliseconds off GPS time.
    std::uniform_real_distribution<double> start(0.2, 0.6);
    m_dTrueDiff = start(m_Random);
}

BRFN::CMD_DATA_LOOP_PARAMETERS CClockLoopModel::Parameters() const
{
    BRFN::CMD_DATA_LOOP_PARAMETERS p;
    p.dTimeConstant = m_dTimeConstant;
    p.dGain = m_dGain;
    p.dDamping = m_dDamping;
    p.dDetectorGain = m_dDetectorGain;
    p.bLoopEnabled = m_bEnabled ? 1 : 0;
    return p;
}

void CClockLoopModel::SetParameters(const BRFN::CMD_DATA_LOOP_PARAMETERS& params)
{
    m_dTimeConstant = params.dTimeConstant;
    m_dGain = params.dGain;
    m_dDamping = params.dDamping;
    m_dDetectorGain = params.dDetectorGain;
}

void CClockLoopModel::SetEnabled(bool bEnabled)
{
    if (bEnabled == m_bEnabled)
        return;
    m_bEnabled = bEnabled;
    if (bEnabled)
        Reset();
    else {
        m_nState = LOOP_OFF;
        m_nStateSeconds = 0;
        m_dControl = 0.0;
    }
}

void CClockLoopModel::Reset()
{
    m_nState = m_bEnabled ? LOOP_STARTING : LOOP_OFF;
    m_nStateSeconds = 0;
    m_bSynchronised = false;
    m_dIntegral = 0.0;
    m_dControl = 0.0;
    m_Samples.clear();
}

void CClockLoopModel::EraseHistory()
{
    m_History = BRFN::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY();
}

double CClockLoopModel::Noise()
{
    return m_dPhaseNoise * m_Normal(m_Random);
}

void CClockLoopModel::WalkFrequency()
{
    // A step beyond either bound comes back by the amount it went beyond (a
    // reflecting wall), folded over the range's double width so that even an
    // absurd step lands inside.
    const double dLow = CLOCK_DRIFT - FREQUENCY_RANGE, dWidth = 2.0 * FREQUENCY_RANGE;
    const double dDrift = m_dDrift + m_dRwfm * m_WalkNormal(m_WalkRandom);
    if (!std::isfinite(dDrift))
        return;
    double dFolded = std::fmod(dDrift - dLow, 2.0 * dWidth);
    if (dFolded < 0.0)
        dFolded += 2.0 * dWidth;
    if (dFolded > dWidth)
        dFolded = 2.0 * dWidth - dFolded;
    m_dDrift = dLow + dFolded;
}

LINE_FIT CClockLoopModel::Fit(const std::deque<double>& values, int nLast)
{
    LINE_FIT fit;
    const int n = std::min<int>(nLast, int(values.size()));
    fit.nSamples = n;
    if (n <= 0)
        return fit;
    const auto first = values.end() - n;
    if (n == 1) {
        fit.dIntercept = *first;
        return fit;
    }
    double sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
    int x = 1;
    for (auto it = first; it != values.end(); ++it, ++x) {
        sx += x;
        sy += *it;
        sxx += double(x) * x;
        sxy += x * *it;
    }
    fit.dSlope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    fit.dIntercept = (sy - fit.dSlope * sx) / n;
    const double dMean = sy / n;
    double dSquares = 0.0;
    for (auto it = first; it != values.end(); ++it)
        dSquares += (*it - dMean) * (*it - dMean);
    fit.dStdDev = std::sqrt(dSquares / (n - 1));
    return fit;
}

void CClockLoopModel::AddToHistory(const BRFN::CMD_DATA_CONTROL_LOOP_STATUS& status)
{
    BRFN::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY& h = m_History;
    if (h.nCount < BRFN::MAX_HISTORY_ENTRIES) {
        h.aEntries[h.nCount++] = status;
        return;
    }
    std::move(h.aEntries + 1, h.aEntries + BRFN::MAX_HISTORY_ENTRIES, h.aEntries);
    h.aEntries[BRFN::MAX_HISTORY_ENTRIES - 1] = status;
}

BRFN::CMD_DATA_CONTROL_LOOP_STATUS CClockLoopModel::Step(bool bReceiver, bool bFix)
{
    const bool bMeasured = bReceiver && bFix;
    m_nFixSeconds = bMeasured ? m_nFixSeconds + 1 : 0;
    ++m_nStateSeconds;

    double dMeasured = m_dLastMeasured;
    if (bMeasured) {
        // The NMEA data of a second arrives NMEA_DELAY late; the configured
        // offset takes that delay out again.
        dMeasured = m_dTrueDiff - NMEA_DELAY + m_dTimeDiffOffset + Noise();
        m_dLastMeasured = dMeasured;
        m_Samples.push_back(dMeasured);
        while (int(m_Samples.size()) > FIT2_SAMPLES)
            m_Samples.pop_front();
    }

    int nNext = m_nState;
    if (!m_bEnabled) {
        nNext = LOOP_OFF;
    } else {
        switch (m_nState) {
        case LOOP_OFF:
        case LOOP_STARTING:
            if (m_nState == LOOP_OFF || m_nStateSeconds >= STARTING_SECONDS)
                nNext = bMeasured ? LOOP_SEARCHING : LOOP_NO_GPS;
            break;
        case LOOP_NO_DISC:
        case LOOP_NO_GPS:
            if (bMeasured)
                nNext = LOOP_SEARCHING;
            break;
        case LOOP_SEARCHING:
            if (!bMeasured) {
                nNext = LOOP_NO_GPS;
            } else if (m_nStateSeconds >= SEARCHING_SECONDS) {
                const LINE_FIT fit = Fit(m_Samples, SEARCHING_SECONDS);
                double dMean = 0.0;
                for (auto it = m_Samples.end() - fit.nSamples; it != m_Samples.end(); ++it)
                    dMean += *it / fit.nSamples;
                if (std::fabs(dMean) > STEP_THRESHOLD) {
                    // Too far off to slew in reasonable time: step the clock.
                    m_dTrueDiff -= dMean;
                    m_Samples.clear();
                }
                m_bSynchronised = true;
                nNext = LOOP_SYNCHING;
            }
            break;
        case LOOP_SYNCHING:
        case LOOP_LOCKED: {
            if (!bMeasured) {
                nNext = LOOP_HOLDOVER;
                break;
            }
            const LINE_FIT fit = Fit(m_Samples, LOCK_SAMPLES);
            const double dFitted = fit.dSlope * fit.nSamples + fit.dIntercept;
            const bool bDelayPassed = !m_LockConfig.bEnable || m_nFixSeconds >= qint64(m_LockConfig.nDelay);
            if (m_nState == LOOP_SYNCHING && fit.nSamples >= LOCK_SAMPLES && fit.dStdDev < LOCK_SPREAD &&
                std::fabs(dFitted) < LOCK_OFFSET && bDelayPassed)
                nNext = LOOP_LOCKED;
            else if (m_nState == LOOP_LOCKED && (std::fabs(dMeasured) > UNLOCK_OFFSET || !bDelayPassed))
                nNext = LOOP_SYNCHING;
            break;
        }
        case LOOP_HOLDOVER:
            if (bMeasured)
                nNext = LOOP_RECOVERY;
            break;
        case LOOP_RECOVERY:
            if (!bMeasured)
                nNext = LOOP_HOLDOVER;
            else if (m_nStateSeconds >= RECOVERY_SECONDS)
                nNext = LOOP_SYNCHING;
            break;
        default:
            nNext = LOOP_STARTING;
            break;
        }
        // Without a fix since the start there is nothing to hold over.
        if (nNext == LOOP_HOLDOVER && !m_bSynchronised)
            nNext = LOOP_NO_GPS;
    }
    if (nNext != m_nState) {
        m_nState = nNext;
        m_nStateSeconds = 0;
    }

    // Proportional-integral control of the clock's rate.
    const bool bSteering = m_nState == LOOP_SYNCHING || m_nState == LOOP_LOCKED || m_nState == LOOP_RECOVERY;
    if (bSteering && bMeasured) {
        const double dT = SaneOr(m_dTimeConstant, 0.0) > 0.0 ? m_dTimeConstant : 30.0;
        const double dK = SaneOr(m_dGain, 0.0) * SaneOr(m_dDetectorGain, 0.0);
        m_dIntegral = std::clamp(m_dIntegral + dMeasured, -1e3, 1e3);
        const double dControl =
            dK * (2.0 * SaneOr(m_dDamping, 0.0) / dT * dMeasured + m_dIntegral / (dT * dT));
        m_dControl = std::clamp(SaneOr(dControl, 0.0), -MAX_SLEW, MAX_SLEW);
    } else if (m_nState != LOOP_HOLDOVER) {
        m_dControl = 0.0; // holdover keeps the last correction, other states free-run
    }
    if (!m_bEnabled)
        m_dControl = 0.0;
    m_dTrueDiff = m_dTrueDiff - m_dDrift - m_dControl;
    WalkFrequency();

    const LINE_FIT fit = Fit(m_Samples, FIT_SAMPLES);
    const LINE_FIT fit2 = Fit(m_Samples, FIT2_SAMPLES);
    const double dFitted = fit.dSlope * fit.nSamples + fit.dIntercept;
    switch (m_nState) {
    case LOOP_SYNCHING:
    case LOOP_LOCKED:
    case LOOP_RECOVERY:
        m_dEstError = std::sqrt(fit.dStdDev * fit.dStdDev + dFitted * dFitted);
        break;
    case LOOP_HOLDOVER:
        m_dEstError += HOLDOVER_ERROR_RATE;
        break;
    default:
        m_dEstError = bMeasured ? std::fabs(dMeasured) : 0.0;
        break;
    }

    BRFN::CMD_DATA_CONTROL_LOOP_STATUS s;
    s.dTimeDiff = dMeasured;
    s.dEstTimeError = m_dEstError;
    s.dControlValue = m_dControl * 1e6; // ppm
    s.dFitSlope = fit.dSlope;
    s.dFitIntercept = fit.dIntercept;
    s.dStdDev = fit.dStdDev;
    s.nSamples = fit.nSamples;
    s.nAuxFlag = 0;
    s.dFit2Slope = fit2.dSlope;
    s.dFit2Intercept = fit2.dIntercept;
    s.dStdDev2 = fit2.dStdDev;
    s.nSamples2 = fit2.nSamples;
    s.nLoopState = m_nState;
    AddToHistory(s);
    return s;
}

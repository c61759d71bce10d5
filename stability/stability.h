#ifndef TELLURIX_STABILITY_H
#define TELLURIX_STABILITY_H

// Time-domain stability of a clock from its phase (time-difference) data:
// the Allan family of deviations, the Hadamard and total deviations, and the
// time-interval error measures, each at a set of averaging factors, with the
// dominant power-law noise type and 68.3 % confidence bounds of every row.
//
// Phase data x[i] are seconds, sampled every tau0 seconds. An averaging factor
// m gives tau = m * tau0. Nothing here uses Qt: the panel, the command-line
// tool, the stand-in service's tests and the benchmarks all link it.

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

namespace Stability {

enum class Kind
{
    Adev,   // Allan deviation, non-overlapping
    Oadev,  // overlapping Allan deviation
    Mdev,   // modified Allan deviation
    Tdev,   // time deviation, tau / sqrt(3) * mdev (seconds)
    Hdev,   // Hadamard deviation, non-overlapping
    Ohdev,  // overlapping Hadamard deviation
    Totdev, // total deviation (reflected about both end points)
    Mtie,   // maximum time-interval error (seconds)
    TieRms, // rms time-interval error (seconds)
};

enum class TauSet
{
    Octave, // 1, 2, 4, 8, ...
    Decade, // 1, 2, 4, 10, 20, 40, 100, ...
    All,    // every factor
};

// The short lower-case name ("adev", "oadev", ..., "mtie", "tierms").
const char* KindName(Kind kind);
bool ParseKind(const std::string& strName, Kind& rKind);
const char* TauSetName(TauSet set);
bool ParseTauSet(const std::string& strName, TauSet& rSet);
// The readable name ("Overlapping Allan deviation", ..., "MTIE", "TIE rms").
const char* KindTitle(Kind kind);
// True for the kinds whose values are seconds (tdev, mtie, tierms); the
// other deviations are fractional frequency.
bool InSeconds(Kind kind);
// True for the deviations (which carry a noise type and bounds); false for
// mtie and tierms.
bool HasBounds(Kind kind);

// A noise type alpha is the exponent of the power law of the fractional
// frequency's spectrum: +2 white PM, +1 flicker PM, 0 white FM, -1 flicker FM,
// -2 random-walk FM. kNoAlpha where it could not be told.
constexpr int kNoAlpha = -99;
// "White PM", "Flicker PM", "White FM", "Flicker FM", "Random-walk FM" or "".
const char* NoiseName(int nAlpha);
// "WPM", "FPM", "WFM", "FFM", "RWFM" or "".
const char* NoiseAbbreviation(int nAlpha);

struct Row
{
    long long nFactor = 0; // m
    double dTau = 0.0;     // m * tau0, seconds
    long long nTerms = 0;  // the number of terms the estimate sums
    double dValue = 0.0;   // the deviation (or MTIE, TIE rms)
    int nAlpha = kNoAlpha; // dominant noise type
    double dEdf = 0.0;     // equivalent degrees of freedom; NaN without bounds
    double dMin = 0.0;     // 68.3 % confidence bounds; NaN without bounds
    double dMax = 0.0;
};

struct Analysis
{
    bool bOk = false;
    std::string strError; // why nothing was computed
    std::vector<Row> rows;
};

// Frequency data (fractional, dimensionless) to phase by a running sum:
// x[0] = 0, x[i + 1] = x[i] + y[i] * tau0. N values give N + 1 phase points.
std::vector<double> FrequencyToPhase(const std::vector<double>& y, double dTau0);

// The largest averaging factor of a kind over nPhase points that still has at
// least one term (0 when none has).
long long MaxFactor(Kind kind, std::size_t nPhase);
// The factors of a set for a kind, ascending, stopping where the deviation
// runs out of terms.
std::vector<long long> Factors(TauSet set, Kind kind, std::size_t nPhase);

// One value at one factor: the deviation and its number of terms. Returns
// NaN (and 0 terms) when the factor leaves no term. pX must hold nPhase points.
double Deviation(Kind kind, const double* pX, std::size_t nPhase, long long m, double dTau0,
                 long long* pnTerms = nullptr);

// The whole table. Refuses (bOk false, strError set) fewer than three points,
// non-finite values or a tau0 that is not a positive finite number. When
// pCancel becomes true the work stops early and bOk is false.
Analysis Analyse(const std::vector<double>& x, double dTau0, Kind kind, TauSet set,
                 const std::atomic_bool* pCancel = nullptr);

// Noise identification at factor m: the lag-1 autocorrelation method on the
// phase data decimated by m while at least 30 points remain, the B1 ratio (with
// the ratio of modified to ordinary Allan variance between white and flicker
// PM) beyond that. kNoAlpha when fewer than four averages remain.
int IdentifyNoise(const double* pX, std::size_t nPhase, long long m);

// Equivalent degrees of freedom of a deviation at factor m over nPhase points
// for noise type nAlpha; NaN when not defined (mtie, tierms, an alpha the
// estimator cannot see).
double Edf(Kind kind, int nAlpha, long long m, std::size_t nPhase);

// The EDF of a variance of d-th differences of the phase (d = 2: Allan, d = 3:
// Hadamard) at factor m over nPhase points, after Greenhall and Riley. With
// bExactSums the autocovariance is summed over every lag instead of taking
// the asymptotic tables beyond 100 lags (slow for large factors; the tests
// hold the tables against it).
double GreenhallEdf(int nAlpha, int d, long long m, long long nPhase, bool bOverlapping, bool bModified,
                    bool bExactSums = false);

// The 68.3 % confidence bounds of a deviation with edf degrees of freedom.
void Bounds(double dValue, double dEdf, double& rdMin, double& rdMax);

} // namespace Stability

#endif // TELLURIX_STABILITY_H

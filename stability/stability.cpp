#include "stability.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace Stability {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct KindName_
{
    Kind kind;
    const char* pszName;
};
constexpr KindName_ kKindNames[] = {
    {Kind::Adev, "adev"},     {Kind::Oadev, "oadev"}, {Kind::Mdev, "mdev"},
    {Kind::Tdev, "tdev"},     {Kind::Hdev, "hdev"},   {Kind::Ohdev, "ohdev"},
    {Kind::Totdev, "totdev"}, {Kind::Mtie, "mtie"},   {Kind::TieRms, "tierms"},
};

// The sums below are over at most a few million squares of small numbers:
// double accumulation loses nothing that matters against the 1e-6 a user
// reads. The modified deviation's moving sum is the exception (it adds and
// subtracts for every term), so it runs in long double.

// Non-overlapping (stride m) or overlapping (stride 1) second differences of
// the phase at lag m: the Allan variance's sum.
double AllanSum(const double* x, long long n, long long m, long long stride)
{
    double s = 0.0;
    for (long long k = 0; k < n; ++k) {
        const long long i = k * stride;
        const double v = x[i + 2 * m] - 2.0 * x[i + m] + x[i];
        s += v * v;
    }
    return s;
}

// Third differences at lag m: the Hadamard variance's sum.
double HadamardSum(const double* x, long long n, long long m, long long stride)
{
    double s = 0.0;
    for (long long k = 0; k < n; ++k) {
        const long long i = k * stride;
        const double v = x[i + 3 * m] - 3.0 * x[i + 2 * m] + 3.0 * x[i + m] - x[i];
        s += v * v;
    }
    return s;
}

// Modified Allan variance: the inner sum of m second differences is kept as a
// moving sum, so every factor costs one pass over the data.
double ModifiedAllanVariance(const double* x, long long nPhase, long long m, double dTau, long long& rnTerms)
{
    const long long n = nPhase - 3 * m + 1;
    rnTerms = n;
    auto d = [x, m](long long i) { return (long double)x[i + 2 * m] - 2.0L * x[i + m] + x[i]; };
    long double v = 0.0L;
    for (long long i = 0; i < m; ++i)
        v += d(i);
    long double s = v * v;
    for (long long j = 1; j < n; ++j) {
        v += d(j + m - 1) - d(j - 1);
        s += v * v;
    }
    return double(s / (2.0L * (long double)m * m * dTau * dTau * n));
}

// Total variance: the phase is extended by reflection about both end points,
// x*[-j] = 2 x[0] - x[j] and x*[N-1+j] = 2 x[N-1] - x[N-1-j] for j = 1 ... N-2,
// and the second differences at lag m are summed at every inner point.
double TotalVariance(const double* x, long long nPhase, long long m, double dTau, long long& rnTerms)
{
    const long long last = nPhase - 1;
    auto at = [x, last](long long k) {
        if (k < 0)
            return 2.0 * x[0] - x[-k];
        if (k > last)
            return 2.0 * x[last] - x[2 * last - k];
        return x[k];
    };
    double s = 0.0;
    for (long long i = 1; i < last; ++i) {
        const double v = at(i - m) - 2.0 * x[i] + at(i + m);
        s += v * v;
    }
    rnTerms = nPhase - 2;
    return s / (2.0 * dTau * dTau * double(nPhase - 2));
}

// Largest peak-to-peak phase over every window of m + 1 samples, exactly, in
// one pass: the windows are cut into blocks of w = m + 1 samples; a window
// that starts inside a block is the block's suffix from its start plus the
// next block's prefix (the van Herk / Gil-Werman scheme). Only one block's
// suffix extremes are held at a time.
double Mtie(const double* x, long long nPhase, long long m, long long& rnTerms)
{
    const long long w = m + 1;
    const long long nWindows = nPhase - m;
    rnTerms = nWindows;
    std::vector<double> sufMax(static_cast<std::size_t>(w)), sufMin(static_cast<std::size_t>(w));
    double dWorst = 0.0;
    for (long long s = 0; s < nWindows; s += w) {
        const long long e = std::min(s + w, nPhase); // this block is [s, e)
        double hi = x[e - 1], lo = x[e - 1];
        for (long long i = e - 1; i >= s; --i) {
            hi = std::max(hi, x[i]);
            lo = std::min(lo, x[i]);
            sufMax[std::size_t(i - s)] = hi;
            sufMin[std::size_t(i - s)] = lo;
        }
        // Window [s, s + w - 1] is the block itself.
        dWorst = std::max(dWorst, sufMax[0] - sufMin[0]);
        double preMax = -std::numeric_limits<double>::infinity();
        double preMin = std::numeric_limits<double>::infinity();
        const long long iEnd = std::min(s + w, nWindows);
        for (long long i = s + 1; i < iEnd; ++i) {
            const double v = x[i + w - 1]; // the next block's prefix grows by one
            preMax = std::max(preMax, v);
            preMin = std::min(preMin, v);
            const long long k = i - s;
            dWorst = std::max(dWorst, std::max(sufMax[std::size_t(k)], preMax) -
                                          std::min(sufMin[std::size_t(k)], preMin));
        }
    }
    return dWorst;
}

double TieRms(const double* x, long long nPhase, long long m, long long& rnTerms)
{
    const long long n = nPhase - m;
    rnTerms = n;
    double s = 0.0;
    for (long long i = 0; i < n; ++i) {
        const double v = x[i + m] - x[i];
        s += v * v;
    }
    return std::sqrt(s / double(n));
}

} // namespace

const char* KindName(Kind kind)
{
    for (const KindName_& k : kKindNames)
        if (k.kind == kind)
            return k.pszName;
    return "";
}

bool ParseKind(const std::string& strName, Kind& rKind)
{
    for (const KindName_& k : kKindNames)
        if (strName == k.pszName) {
            rKind = k.kind;
            return true;
        }
    return false;
}

const char* TauSetName(TauSet set)
{
    switch (set) {
    case TauSet::Octave:
        return "octave";
    case TauSet::Decade:
        return "decade";
    case TauSet::All:
        return "all";
    }
    return "";
}

bool ParseTauSet(const std::string& strName, TauSet& rSet)
{
    for (TauSet s : {TauSet::Octave, TauSet::Decade, TauSet::All})
        if (strName == TauSetName(s)) {
            rSet = s;
            return true;
        }
    return false;
}

const char* KindTitle(Kind kind)
{
    switch (kind) {
    case Kind::Adev:
        return "Allan deviation";
    case Kind::Oadev:
        return "Overlapping Allan deviation";
    case Kind::Mdev:
        return "Modified Allan deviation";
    case Kind::Tdev:
        return "Time deviation";
    case Kind::Hdev:
        return "Hadamard deviation";
    case Kind::Ohdev:
        return "Overlapping Hadamard deviation";
    case Kind::Totdev:
        return "Total deviation";
    case Kind::Mtie:
        return "MTIE";
    case Kind::TieRms:
        return "TIE rms";
    }
    return "";
}

bool InSeconds(Kind kind)
{
    return kind == Kind::Tdev || kind == Kind::Mtie || kind == Kind::TieRms;
}

bool HasBounds(Kind kind)
{
    return kind != Kind::Mtie && kind != Kind::TieRms;
}

const char* NoiseName(int nAlpha)
{
    switch (nAlpha) {
    case 2:
        return "White PM";
    case 1:
        return "Flicker PM";
    case 0:
        return "White FM";
    case -1:
        return "Flicker FM";
    case -2:
        return "Random-walk FM";
    default:
        return "";
    }
}

const char* NoiseAbbreviation(int nAlpha)
{
    switch (nAlpha) {
    case 2:
        return "WPM";
    case 1:
        return "FPM";
    case 0:
        return "WFM";
    case -1:
        return "FFM";
    case -2:
        return "RWFM";
    default:
        return "";
    }
}

std::vector<double> FrequencyToPhase(const std::vector<double>& y, double dTau0)
{
    std::vector<double> x;
    x.reserve(y.size() + 1);
    // The running sum is kept in long double so that a long record of small
    // frequencies does not lose its last digits.
    long double sum = 0.0L;
    x.push_back(0.0);
    for (double v : y) {
        sum += (long double)v * dTau0;
        x.push_back(double(sum));
    }
    return x;
}

long long MaxFactor(Kind kind, std::size_t nPhase)
{
    const long long n = (long long)nPhase;
    if (n < 3)
        return 0;
    switch (kind) {
    case Kind::Adev:
    case Kind::Oadev:
    case Kind::Totdev:
        return (n - 1) / 2;
    case Kind::Mdev:
    case Kind::Tdev:
        return n / 3;
    case Kind::Hdev:
    case Kind::Ohdev:
        return (n - 1) / 3;
    case Kind::Mtie:
    case Kind::TieRms:
        return n - 1;
    }
    return 0;
}

std::vector<long long> Factors(TauSet set, Kind kind, std::size_t nPhase)
{
    const long long nMax = MaxFactor(kind, nPhase);
    std::vector<long long> factors;
    switch (set) {
    case TauSet::Octave:
        for (long long m = 1; m <= nMax; m *= 2)
            factors.push_back(m);
        break;
    case TauSet::Decade:
        for (long long decade = 1; decade <= nMax; decade *= 10)
            for (long long step : {1, 2, 4})
                if (decade * step <= nMax)
                    factors.push_back(decade * step);
        break;
    case TauSet::All:
        factors.reserve(std::size_t(std::max(0LL, nMax)));
        for (long long m = 1; m <= nMax; ++m)
            factors.push_back(m);
        break;
    }
    return factors;
}

double Deviation(Kind kind, const double* pX, std::size_t nPhase, long long m, double dTau0,
                 long long* pnTerms)
{
    long long nTerms = 0;
    double dValue = kNaN;
    const long long n = (long long)nPhase;
    if (pX && m >= 1 && m <= MaxFactor(kind, nPhase)) {
        const double dTau = double(m) * dTau0;
        switch (kind) {
        case Kind::Adev:
            nTerms = (n - 1) / m - 1;
            dValue = std::sqrt(AllanSum(pX, nTerms, m, m) / (2.0 * double(nTerms))) / dTau;
            break;
        case Kind::Oadev:
            nTerms = n - 2 * m;
            dValue = std::sqrt(AllanSum(pX, nTerms, m, 1) / (2.0 * double(nTerms))) / dTau;
            break;
        case Kind::Mdev:
            dValue = std::sqrt(ModifiedAllanVariance(pX, n, m, dTau, nTerms));
            break;
        case Kind::Tdev:
            dValue = dTau / std::sqrt(3.0) * std::sqrt(ModifiedAllanVariance(pX, n, m, dTau, nTerms));
            break;
        case Kind::Hdev:
            nTerms = (n - 1) / m - 2;
            dValue = std::sqrt(HadamardSum(pX, nTerms, m, m) / (6.0 * double(nTerms))) / dTau;
            break;
        case Kind::Ohdev:
            nTerms = n - 3 * m;
            dValue = std::sqrt(HadamardSum(pX, nTerms, m, 1) / (6.0 * double(nTerms))) / dTau;
            break;
        case Kind::Totdev:
            dValue = std::sqrt(TotalVariance(pX, n, m, dTau, nTerms));
            break;
        case Kind::Mtie:
            dValue = Mtie(pX, n, m, nTerms);
            break;
        case Kind::TieRms:
            dValue = TieRms(pX, n, m, nTerms);
            break;
        }
    }
    if (pnTerms)
        *pnTerms = nTerms;
    return dValue;
}

Analysis Analyse(const std::vector<double>& x, double dTau0, Kind kind, TauSet set,
                 const std::atomic_bool* pCancel)
{
    Analysis result;
    if (!(std::isfinite(dTau0) && dTau0 > 0.0)) {
        result.strError = "the sampling interval must be a positive number of seconds";
        return result;
    }
    if (x.size() < 3) {
        result.strError = "at least three points are needed, there are " + std::to_string(x.size());
        return result;
    }
    for (std::size_t i = 0; i < x.size(); ++i)
        if (!std::isfinite(x[i])) {
            result.strError = "point " + std::to_string(i + 1) + " is not a finite number";
            return result;
        }
    const bool bBounds = HasBounds(kind);
    int nLastAlpha = kNoAlpha;
    for (long long m : Factors(set, kind, x.size())) {
        if (pCancel && pCancel->load(std::memory_order_relaxed)) {
            result.strError = "cancelled";
            result.rows.clear();
            return result;
        }
        Row row;
        row.nFactor = m;
        row.dTau = double(m) * dTau0;
        row.dValue = Deviation(kind, x.data(), x.size(), m, dTau0, &row.nTerms);
        row.dEdf = kNaN;
        row.dMin = kNaN;
        row.dMax = kNaN;
        if (bBounds) {
            // The last factors have too few averages to tell the noise by
            // themselves; they take the type found at the factor before.
            row.nAlpha = IdentifyNoise(x.data(), x.size(), m);
            if (row.nAlpha == kNoAlpha)
                row.nAlpha = nLastAlpha;
            nLastAlpha = row.nAlpha;
            if (row.nAlpha != kNoAlpha) {
                row.dEdf = Edf(kind, row.nAlpha, m, x.size());
                Bounds(row.dValue, row.dEdf, row.dMin, row.dMax);
            }
        }
        result.rows.push_back(row);
    }
    result.bOk = true;
    return result;
}

} // namespace Stability

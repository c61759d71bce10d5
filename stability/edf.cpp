// Equivalent degrees of freedom and confidence bounds of the deviations.
//
// The Allan and Hadamard families follow Greenhall and Riley, "Uncertainty of
// stability variances based on finite differences" (2003): the estimator is a
// sum of squared d-th differences of the phase, filtered by F (F = m for the
// ordinary variances, 1 for the modified) and taken at stride tau/S (S = 1 for
// the non-overlapping estimators, m for the overlapping). Its EDF comes from
// the generalised autocovariance of the filtered differences, summed exactly
// over at most 100 lags and from the paper's asymptotic tables beyond.
// The total deviation follows the handbook (NIST SP 1065): b N/m - c for the
// frequency noises; for the phase noises, where it hardly differs from the
// overlapping Allan deviation, that estimator's EDF.

#include "stability.h"

#include <boost/math/distributions/chi_squared.hpp>

#include <cmath>
#include <limits>

namespace Stability {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kMaxLags = 100;

// The generalised autocovariance of the phase's power-law noise, up to a
// factor that cancels in the EDF.
double Sw(double t, int nAlpha)
{
    const double a = std::fabs(t);
    switch (nAlpha) {
    case 2:
        return -a;
    case 1:
        return a == 0.0 ? 0.0 : t * t * std::log(a);
    case 0:
        return a * a * a;
    case -1:
        return a == 0.0 ? 0.0 : t * t * t * t * std::log(a);
    case -2:
        return a * a * a * a * a;
    case -3:
        return a == 0.0 ? 0.0 : std::pow(t, 6) * std::log(a);
    case -4:
        return std::pow(a, 7);
    }
    return kNaN;
}

// After the filter F (an infinite F is the limit of a long filter).
double Sx(double t, double F, int nAlpha)
{
    if (std::isinf(F))
        return Sw(t, nAlpha + 2);
    return F * F * (2.0 * Sw(t, nAlpha) - Sw(t - 1.0 / F, nAlpha) - Sw(t + 1.0 / F, nAlpha));
}

// After the d-th difference.
double Sz(double t, double F, int nAlpha, int d)
{
    switch (d) {
    case 1:
        return 2.0 * Sx(t, F, nAlpha) - Sx(t - 1.0, F, nAlpha) - Sx(t + 1.0, F, nAlpha);
    case 2:
        return 6.0 * Sx(t, F, nAlpha) - 4.0 * (Sx(t - 1.0, F, nAlpha) + Sx(t + 1.0, F, nAlpha)) +
               Sx(t - 2.0, F, nAlpha) + Sx(t + 2.0, F, nAlpha);
    case 3:
        return 20.0 * Sx(t, F, nAlpha) - 15.0 * (Sx(t - 1.0, F, nAlpha) + Sx(t + 1.0, F, nAlpha)) +
               6.0 * (Sx(t - 2.0, F, nAlpha) + Sx(t + 2.0, F, nAlpha)) -
               (Sx(t - 3.0, F, nAlpha) + Sx(t + 3.0, F, nAlpha));
    }
    return kNaN;
}

double BasicSum(double J, double M, double S, double F, int nAlpha, int d)
{
    const double z0 = Sz(0.0, F, nAlpha, d);
    const double zJ = Sz(J / S, F, nAlpha, d);
    double sum = z0 * z0 + (1.0 - J / M) * zJ * zJ;
    for (int j = 1; j < int(J); ++j) {
        const double z = Sz(double(j) / S, F, nAlpha, d);
        sum += 2.0 * (1.0 - double(j) / M) * z * z;
    }
    return sum;
}

struct Pair
{
    double a0, a1;
};
constexpr Pair kNone{kNaN, kNaN};

// Rows alpha = +2 ... -4, columns d = 1, 2, 3.
// Modified variances (F = 1).
constexpr Pair kTable1[7][3] = {
    {{2.0 / 3.0, 1.0 / 3.0}, {7.0 / 9.0, 1.0 / 2.0}, {22.0 / 25.0, 2.0 / 3.0}},
    {{0.840, 0.345}, {0.997, 0.616}, {1.141, 0.843}},
    {{1.079, 0.368}, {1.033, 0.607}, {1.184, 0.848}},
    {kNone, {1.048, 0.534}, {1.180, 0.816}},
    {kNone, {1.302, 0.535}, {1.175, 0.777}},
    {kNone, kNone, {1.194, 0.703}},
    {kNone, kNone, {1.489, 0.702}},
};
// Ordinary variances (F = m, in the limit of a long filter).
constexpr Pair kTable2[7][3] = {
    {{3.0 / 2.0, 1.0 / 2.0}, {35.0 / 18.0, 1.0}, {231.0 / 100.0, 3.0 / 2.0}},
    {{78.6, 25.2}, {790.0, 410.0}, {9950.0, 6520.0}},
    {{2.0 / 3.0, 1.0 / 6.0}, {2.0 / 3.0, 1.0 / 3.0}, {7.0 / 9.0, 1.0 / 2.0}},
    {kNone, {0.852, 0.375}, {0.997, 0.617}},
    {kNone, {1.079, 0.368}, {1.033, 0.607}},
    {kNone, kNone, {1.053, 0.553}},
    {kNone, kNone, {1.302, 0.535}},
};
// Flicker PM, ordinary variances: Sz(0) ~ b0 + b1 ln m.
constexpr Pair kTable3[3] = {{6.0, 4.0}, {15.23, 12.0}, {47.8, 40.0}};

Pair TableEntry(const Pair (&table)[7][3], int nAlpha, int d)
{
    if (nAlpha > 2 || nAlpha < -4 || d < 1 || d > 3)
        return kNone;
    return table[2 - nAlpha][d - 1];
}

double FromInverse(double dInverse)
{
    return dInverse > 0.0 && std::isfinite(dInverse) ? 1.0 / dInverse : kNaN;
}

} // namespace

// The EDF of a variance of d-th differences (d = 2 Allan, d = 3 Hadamard) at
// factor m over N phase points. Exposed for the tests of the tables.
double GreenhallEdf(int nAlpha, int d, long long m, long long nPhase, bool bOverlapping, bool bModified,
                    bool bExactSums)
{
    if (nAlpha + 2 * d <= 1 || nAlpha > 2 || m < 1)
        return kNaN;
    const double dm = double(m);
    const double F = bModified ? 1.0 : dm;
    const double S = bOverlapping ? dm : 1.0;
    const double L = dm / F + dm * d; // the filter's length in phase samples
    if (double(nPhase) < L)
        return kNaN;
    const double M = 1.0 + std::floor(S * (double(nPhase) - L) / dm);
    const double J = std::min(M, (d + 1) * S);
    const double r = M / S;
    if (bExactSums) {
        const double z0 = Sz(0.0, F, nAlpha, d);
        return FromInverse(BasicSum(J, M, S, F, nAlpha, d) / (z0 * z0 * M));
    }
    if (bModified) {
        if (J <= kMaxLags) {
            const double z0 = Sz(0.0, 1.0, nAlpha, d);
            return FromInverse(BasicSum(J, M, S, 1.0, nAlpha, d) / (z0 * z0 * M));
        }
        if (r > d + 1) {
            const Pair p = TableEntry(kTable1, nAlpha, d);
            return FromInverse((p.a0 - p.a1 / r) / r);
        }
        const double mPrime = kMaxLags / r;
        const double z0 = Sz(0.0, 1.0, nAlpha, d);
        return FromInverse(BasicSum(kMaxLags, kMaxLags, mPrime, 1.0, nAlpha, d) / (z0 * z0 * kMaxLags));
    }
    if (nAlpha <= 0) {
        if (J <= kMaxLags) {
            const double mPrime = dm * (d + 1) <= kMaxLags ? dm : kInf;
            const double z0 = Sz(0.0, mPrime, nAlpha, d);
            return FromInverse(BasicSum(J, M, S, mPrime, nAlpha, d) / (z0 * z0 * M));
        }
        if (r > d + 1) {
            const Pair p = TableEntry(kTable2, nAlpha, d);
            return FromInverse((p.a0 - p.a1 / r) / r);
        }
        const double mPrime = kMaxLags / r;
        const double z0 = Sz(0.0, kInf, nAlpha, d);
        return FromInverse(BasicSum(kMaxLags, kMaxLags, mPrime, kInf, nAlpha, d) / (z0 * z0 * kMaxLags));
    }
    if (nAlpha == 1) {
        if (J <= kMaxLags) {
            const double z0 = Sz(0.0, dm, 1, d);
            return FromInverse(BasicSum(J, M, S, dm, 1, d) / (z0 * z0 * M));
        }
        const Pair b = kTable3[d - 1];
        const double z0 = b.a0 + b.a1 * std::log(dm);
        if (r > d + 1) {
            const Pair p = TableEntry(kTable2, 1, d);
            return FromInverse((p.a0 - p.a1 / r) / (z0 * z0 * r));
        }
        const double mPrime = kMaxLags / r;
        return FromInverse(BasicSum(kMaxLags, kMaxLags, mPrime, mPrime, 1, d) / (z0 * z0 * kMaxLags));
    }
    // White PM, ordinary variances.
    if (std::ceil(r) > d) {
        const Pair p = TableEntry(kTable2, 2, d);
        return FromInverse((p.a0 - p.a1 / r) / M);
    }
    // Too few terms for the closed form: the exact sum (its lags are few).
    const double Jx = std::min(J, double(kMaxLags));
    const double z0 = Sz(0.0, dm, 2, d);
    return FromInverse(BasicSum(Jx, M, S, dm, 2, d) / (z0 * z0 * M));
}

double Edf(Kind kind, int nAlpha, long long m, std::size_t nPhase)
{
    if (nAlpha == kNoAlpha || m < 1)
        return kNaN;
    const long long n = (long long)nPhase;
    switch (kind) {
    case Kind::Adev:
        return GreenhallEdf(nAlpha, 2, m, n, false, false);
    case Kind::Oadev:
        return GreenhallEdf(nAlpha, 2, m, n, true, false);
    case Kind::Mdev:
    case Kind::Tdev:
        return GreenhallEdf(nAlpha, 2, m, n, true, true);
    case Kind::Hdev:
        return GreenhallEdf(nAlpha, 3, m, n, false, false);
    case Kind::Ohdev:
        return GreenhallEdf(nAlpha, 3, m, n, true, false);
    case Kind::Totdev: {
        // b and c of white, flicker and random-walk FM.
        static constexpr Pair kTotal[3] = {{1.50, 0.0}, {1.17, 0.22}, {0.93, 0.36}};
        if (nAlpha <= 0 && nAlpha >= -2) {
            const Pair p = kTotal[-nAlpha];
            const double edf = p.a0 * double(n) / double(m) - p.a1;
            return edf > 0.0 ? edf : kNaN;
        }
        return GreenhallEdf(nAlpha, 2, m, n, true, false);
    }
    case Kind::Mtie:
    case Kind::TieRms:
        return kNaN;
    }
    return kNaN;
}

void Bounds(double dValue, double dEdf, double& rdMin, double& rdMax)
{
    rdMin = rdMax = kNaN;
    if (!(std::isfinite(dValue) && std::isfinite(dEdf) && dEdf > 0.0))
        return;
    // 68.3 %: 15.85 % in each tail of the chi-squared distribution.
    constexpr double kTail = (1.0 - 0.683) / 2.0;
    const boost::math::chi_squared chi2(dEdf);
    rdMin = dValue * std::sqrt(dEdf / boost::math::quantile(chi2, 1.0 - kTail));
    rdMax = dValue * std::sqrt(dEdf / boost::math::quantile(chi2, kTail));
}

} // namespace Stability

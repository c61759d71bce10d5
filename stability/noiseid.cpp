// Which power-law noise dominates the phase data at an averaging factor.
//
// With at least 30 points left after decimating the phase by m, the lag-1
// autocorrelation method (Riley and Greenhall, 2004): the quadratic trend is
// removed, then the series is differenced until the estimate
// delta = r1 / (1 + r1) of its lag-1 autocorrelation r1 falls below 0.25 (at
// most twice); alpha = 2 - round(2 delta) - 2 d after d differences.
//
// With fewer points, the B1 ratio (the standard variance of the m-averaged
// frequencies over their Allan variance) is set against its value for each
// frequency noise; the two phase noises, which B1 cannot tell apart, are told
// by the ratio of the modified to the ordinary Allan variance: 1/m for white PM,
// about 3.37 / (1.038 + 3 ln(pi m)) for flicker PM (the handbook's asymptotic
// forms with the bandwidth at half the sampling rate).

#include "stability.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace Stability {

namespace {

constexpr std::size_t kAcfPoints = 30;
constexpr double kPi = 3.14159265358979323846;

// Removes the least-squares parabola. The abscissa is centred, so the odd
// moments vanish and the normal equations split.
void RemoveQuadratic(std::vector<double>& z)
{
    const std::size_t n = z.size();
    if (n < 3)
        return;
    const double c = 0.5 * double(n - 1);
    double s2 = 0.0, s4 = 0.0, sz = 0.0, stz = 0.0, st2z = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = double(i) - c, t2 = t * t;
        s2 += t2;
        s4 += t2 * t2;
        sz += z[i];
        stz += t * z[i];
        st2z += t2 * z[i];
    }
    const double b = stz / s2;
    // [n s2; s2 s4] [a; q] = [sz; st2z]
    const double det = double(n) * s4 - s2 * s2;
    const double a = (sz * s4 - s2 * st2z) / det;
    const double q = (double(n) * st2z - s2 * sz) / det;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = double(i) - c;
        z[i] -= a + b * t + q * t * t;
    }
}

double Lag1Autocorrelation(const std::vector<double>& z)
{
    double mean = 0.0;
    for (double v : z)
        mean += v;
    mean /= double(z.size());
    double num = 0.0, den = 0.0;
    for (std::size_t i = 0; i < z.size(); ++i) {
        const double d = z[i] - mean;
        den += d * d;
        if (i + 1 < z.size())
            num += d * (z[i + 1] - mean);
    }
    return den > 0.0 ? num / den : 0.0;
}

int Lag1Noise(std::vector<double> z)
{
    RemoveQuadratic(z);
    for (int d = 0;; ++d) {
        const double r1 = Lag1Autocorrelation(z);
        const double delta = r1 / (1.0 + r1);
        if (delta < 0.25 || d >= 2 || !std::isfinite(delta)) {
            const int nAlpha = 2 - int(std::lround(2.0 * (std::isfinite(delta) ? delta : 0.0))) - 2 * d;
            return std::max(-2, std::min(2, nAlpha));
        }
        for (std::size_t i = 0; i + 1 < z.size(); ++i)
            z[i] = z[i + 1] - z[i];
        z.pop_back();
    }
}

// B1 of n frequency averages for the noise whose Allan variance goes as
// tau^mu.
double TheoreticalB1(double n, int mu)
{
    if (mu == 0)
        return n * std::log(n) / (2.0 * (n - 1.0) * std::log(2.0));
    return n * (1.0 - std::pow(n, mu)) / (2.0 * (n - 1.0) * (1.0 - std::pow(2.0, mu)));
}

int B1Noise(const double* pX, std::size_t nPhase, long long m)
{
    const std::size_t nAverages = std::size_t((nPhase - 1) / std::size_t(m));
    if (nAverages < 4)
        return kNoAlpha;
    std::vector<double> y(nAverages);
    for (std::size_t k = 0; k < nAverages; ++k)
        y[k] = pX[(k + 1) * std::size_t(m)] - pX[k * std::size_t(m)];
    double mean = 0.0;
    for (double v : y)
        mean += v;
    mean /= double(nAverages);
    double s2 = 0.0, a2 = 0.0;
    for (std::size_t k = 0; k < nAverages; ++k) {
        s2 += (y[k] - mean) * (y[k] - mean);
        if (k + 1 < nAverages)
            a2 += (y[k + 1] - y[k]) * (y[k + 1] - y[k]);
    }
    if (!(a2 > 0.0))
        return kNoAlpha;
    const double n = double(nAverages);
    const double b1 = (s2 / (n - 1.0)) / (a2 / (2.0 * (n - 1.0)));
    // mu = -2 (phase noise), -1 (white FM), 0 (flicker FM), 1 (random-walk FM):
    // the one whose B1 is nearest on a logarithmic scale.
    int mu = 1;
    for (int candidate = -2; candidate < 1; ++candidate) {
        const double boundary = std::sqrt(TheoreticalB1(n, candidate) * TheoreticalB1(n, candidate + 1));
        if (b1 < boundary) {
            mu = candidate;
            break;
        }
    }
    if (mu > -2)
        return -mu - 1;
    // White or flicker PM. A factor of 1 cannot tell them apart (the two
    // variances are the same there); white PM is then the answer.
    if (m < 2)
        return 2;
    long long nTerms = 0;
    const double mod = Deviation(Kind::Mdev, pX, nPhase, m, 1.0, &nTerms);
    const double allan = Deviation(Kind::Oadev, pX, nPhase, m, 1.0, &nTerms);
    if (!(std::isfinite(mod) && std::isfinite(allan) && allan > 0.0))
        return 2;
    const double r = (mod * mod) / (allan * allan);
    const double rWhite = 1.0 / double(m);
    const double rFlicker = 3.37 / (1.038 + 3.0 * std::log(kPi * double(m)));
    return r < std::sqrt(rWhite * rFlicker) ? 2 : 1;
}

} // namespace

int IdentifyNoise(const double* pX, std::size_t nPhase, long long m)
{
    if (!pX || m < 1 || nPhase < 3)
        return kNoAlpha;
    const std::size_t nPoints = (nPhase - 1) / std::size_t(m) + 1;
    if (nPoints >= kAcfPoints) {
        std::vector<double> z(nPoints);
        for (std::size_t k = 0; k < nPoints; ++k)
            z[k] = pX[k * std::size_t(m)];
        return Lag1Noise(std::move(z));
    }
    return B1Noise(pX, nPhase, m);
}

} // namespace Stability

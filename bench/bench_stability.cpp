// Every kind of the stability analysis at octave factors, as the window and
// the tool compute it: over 241,218 points (2.8 days at one record a second)
// and over 2.6 million (30 days). Each iteration is the whole table of one
// kind, with the noise types and the confidence bounds.

#include "stability.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

// White phase noise on a random walk of frequency, like the stand-in
// service's free-running clock.
const std::vector<double>& Phase(std::size_t n)
{
    static std::vector<double> x;
    if (x.size() != n) {
        std::mt19937_64 random(1);
        std::normal_distribution<double> normal;
        x.resize(n);
        double y = 0.0, phase = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            y += 3e-8 * normal(random);
            phase += y;
            x[i] = phase + 3e-4 * normal(random);
        }
    }
    return x;
}

void BM_Table(benchmark::State& state)
{
    const auto kind = Stability::Kind(state.range(0));
    const std::vector<double>& x = Phase(std::size_t(state.range(1)));
    for (auto _ : state) {
        const Stability::Analysis a = Stability::Analyse(x, 1.0, kind, Stability::TauSet::Octave);
        benchmark::DoNotOptimize(a.rows.data());
        if (!a.bOk)
            state.SkipWithError(a.strError.c_str());
    }
    state.SetLabel(Stability::KindName(kind));
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(1));
}

void Kinds(benchmark::internal::Benchmark* b)
{
    for (long n : {241218L, 2600000L})
        for (int k = int(Stability::Kind::Adev); k <= int(Stability::Kind::TieRms); ++k)
            b->Args({k, n});
}

} // namespace

BENCHMARK(BM_Table)->Apply(Kinds)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

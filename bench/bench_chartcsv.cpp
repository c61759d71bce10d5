// Export All Data of the time-difference chart: ten million records (the
// chart's two lines and two bands, seven columns) written as CSV to a file in
// the temporary folder, the way the export's worker thread writes them
// (temporary file, renamed when complete). One iteration is the whole file.

#include "chartcsv.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <random>

namespace {

ChartCsv::Table TimeDiffTable(int nRecords)
{
    std::mt19937_64 random(1);
    std::normal_distribution<double> normal;
    ChartCsv::Table table;
    table.strXName = QStringLiteral("Sample");
    table.series = {{QStringLiteral("Time Difference"), false, {}},
                    {QStringLiteral("Estimated Error"), false, {}},
                    {QStringLiteral("Fit 1"), true, {}},
                    {QStringLiteral("Fit 2"), true, {}}};
    for (ChartCsv::Series& series : table.series)
        series.points.reserve(nRecords);
    for (int i = 0; i < nRecords; ++i) {
        const double dX = i;
        const double dDiff = 2e-4 * normal(random);
        table.series[0].points.append({dX, dDiff, 0.0});
        table.series[1].points.append({dX, 1e-5 * normal(random), 0.0});
        table.series[2].points.append({dX, 3e-4 + 1e-6 * normal(random), 1e-5 * normal(random)});
        table.series[3].points.append({dX, 5e-4 + 1e-6 * normal(random), 1e-5 * normal(random)});
    }
    return table;
}

void BM_ExportAll(benchmark::State& state)
{
    static const ChartCsv::Table table = TimeDiffTable(int(state.range(0)));
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("time-difference.csv"));
    const std::atomic<bool> bCancel{false};
    std::atomic<qint64> nDone{0};
    for (auto _ : state) {
        QString strError;
        if (ChartCsv::Save(table, strPath, bCancel, nDone, &strError) != ChartCsv::Result::Written)
            state.SkipWithError(qPrintable(strError));
    }
    state.counters["rows"] = double(state.range(0));
    state.counters["MB"] = double(QFileInfo(strPath).size()) / 1e6;
}
BENCHMARK(BM_ExportAll)->Arg(10000000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();

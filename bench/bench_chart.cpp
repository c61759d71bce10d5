// Cost of a strip chart paint as the history grows, and the memory a chart
// keeps per control-loop status record.
//
// BM_ChartPaint renders a 900 x 300 chart into a QImage with 1,000 to
// 10,000,000 points in each of five data sets, set up as the main window uses
// them: two standard-deviation bands (sets 0 and 1), the time difference and
// the estimated error as tagged lines (sets 2 and 3), and the control value
// as a line (set 4). The second argument is the scale mode (3 window, 0
// extent). A paint visits only the points that fit the plot, thinned to about
// two per pixel column, so its cost should not depend on the history.
//
// BM_MemoryPerRecord adds status records the way the window does (five points
// across two charts) and reports the bytes held per record: "capacity_B" from
// the charts' vectors, "rss_B" from the process's resident memory.
#include "benchutil.h"
#include "cstripchartwidget.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

using Chart = CStripChartWidget;

// One record's worth of values at sample i: a slow wander with noise.
struct Sample
{
    double dTimeDiff, dEstError, dControl, dStdDev, dCentre;
};
Sample SampleAt(int64_t i)
{
    const double dT = double(i);
    const double dNoise = std::sin(dT * 12.9898) * 0.5;
    return Sample{0.002 * std::sin(dT * 1e-3) + 0.0005 * dNoise, 0.001 + 0.0002 * dNoise,
                  40.0 * std::sin(dT * 3e-4), 0.0004 + 0.0001 * dNoise, 0.001 * std::cos(dT * 1e-3)};
}

void SetUpLikeTimeDifference(Chart& chart)
{
    chart.m_strTitle = QStringLiteral("Time Difference");
    chart.m_strYLabel = QStringLiteral("Seconds");
    chart.SetYRangeAndMinimum(-0.025, 0.025, false);
    chart.SetXRange(0, 300, false);
    chart.SetDataSetStyle(0, Chart::STYLE_BAND);
    chart.SetDataSetColor(0, QColor(255, 192, 192, 128));
    chart.SetDataSetStyle(1, Chart::STYLE_BAND);
    chart.SetDataSetColor(1, QColor(192, 192, 255, 128));
    chart.SetDataSetColor(2, QColor(0, 0, 255));
    chart.SetDataSetColor(3, QColor(192, 0, 0));
    chart.SetValueTag(2, true, false);
    chart.SetValueTag(3, true, false);
}

// Charts are filled once per size and kept: filling 50 M points takes longer
// than the measurement.
Chart& FilledChart(int64_t nPoints)
{
    static std::unique_ptr<Chart> s_pChart;
    static int64_t s_nPoints = -1;
    if (s_nPoints != nPoints) {
        s_pChart.reset();
        s_pChart = std::make_unique<Chart>(nullptr);
        s_pChart->resize(900, 300);
        SetUpLikeTimeDifference(*s_pChart);
        for (int64_t i = 0; i < nPoints; ++i) {
            const Sample s = SampleAt(i);
            s_pChart->AddPoint(2, double(i), s.dTimeDiff, 0.0, false);
            s_pChart->AddPoint(3, double(i), s.dEstError, 0.0, false);
            // The control value, scaled into this chart's seconds.
            s_pChart->AddPoint(4, double(i), s.dControl / 10000.0, 0.0, false);
            s_pChart->AddPoint(0, double(i), s.dStdDev, s.dCentre, false);
            s_pChart->AddPoint(1, double(i), s.dStdDev * 1.5, s.dCentre, false);
        }
        s_nPoints = nPoints;
    }
    return *s_pChart;
}

void BM_ChartPaint(benchmark::State& state)
{
    Chart& chart = FilledChart(state.range(0));
    chart.SetScaleMode(int(state.range(1)), false);
    QImage image(chart.size(), QImage::Format_RGB32);
    chart.render(&image); // settles the window-mode range on the drawn points
    for (auto _ : state) {
        chart.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["points_per_set"] = double(state.range(0));
}
// Size by size, so that each history is filled once for both modes.
void ChartPaintArgs(benchmark::internal::Benchmark* pBenchmark)
{
    for (int64_t nPoints : {1000, 100000, 1000000, 10000000})
        for (int64_t nMode : {Chart::SCALE_WINDOW, Chart::SCALE_EXTENT})
            pBenchmark->Args({nPoints, nMode});
}
BENCHMARK(BM_ChartPaint)->Apply(ChartPaintArgs)->Unit(benchmark::kMillisecond);

int64_t CapacityBytes(const Chart& chart)
{
    int64_t nBytes = 0;
    for (int i = 0; i < Chart::NUM_DATA_SETS; ++i)
        nBytes += int64_t(chart.DataSet(i).arrayPoints.capacity()) * int64_t(sizeof(Chart::DATA_POINT));
    return nBytes;
}

void BM_MemoryPerRecord(benchmark::State& state)
{
    const int64_t nRecords = state.range(0);
    double dCapacity = 0.0, dResident = 0.0;
    for (auto _ : state) {
        Chart timeDiff(nullptr), control(nullptr);
        SetUpLikeTimeDifference(timeDiff);
        const int64_t nBefore = ResidentBytes();
        for (int64_t i = 0; i < nRecords; ++i) {
            const Sample s = SampleAt(i);
            timeDiff.AddPoint(2, double(i), s.dTimeDiff, 0.0, false);
            timeDiff.AddPoint(3, double(i), s.dEstError, 0.0, false);
            control.AddPoint(0, double(i), s.dControl, 0.0, false);
            timeDiff.AddPoint(0, double(i), s.dStdDev, s.dCentre, false);
            timeDiff.AddPoint(1, double(i), s.dStdDev * 1.5, s.dCentre, false);
        }
        dResident = double(ResidentBytes() - nBefore) / double(nRecords);
        dCapacity = double(CapacityBytes(timeDiff) + CapacityBytes(control)) / double(nRecords);
    }
    state.counters["capacity_B"] = dCapacity;
    state.counters["rss_B"] = dResident;
}
BENCHMARK(BM_MemoryPerRecord)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(3000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    // Paints need a QApplication; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The chart traces its construction to the debug log; keep the table clean.
    qInstallMessageHandler([](QtMsgType nType, const QMessageLogContext&, const QString& strMessage) {
        if (nType != QtDebugMsg)
            fprintf(stderr, "%s\n", qPrintable(strMessage));
    });
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

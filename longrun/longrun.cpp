// Long-run driver: the panel's main window against a running service for a
// given time, with the Loop Status and GPS pages shown in turn. Reports the
// CPU it used, its resident memory growth per record and the time to paint
// the strip charts near the start and at the end (it must not grow with the
// history the charts hold). scripts/long-run starts the stand-in service and
// this driver.
//   tellurix-longrun <seconds> <seconds per page>

#include "cmainwindow.h"
#include "cstripchartwidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTimer>

#include <clocale>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

struct Sample
{
    double dSeconds = 0;  // since the start
    double dCpu = 0;      // user + system seconds of this process
    qint64 nResident = 0; // bytes
    qint64 nRecords = 0;  // status and GPS records received
    double dPaintMs = 0;  // mean time to paint both charts once
    qint64 nPoints = 0;   // points the charts hold
};

double CpuSeconds()
{
    rusage u = {};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

qint64 ResidentBytes()
{
    long nPages = 0, nResident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &nPages, &nResident) != 2)
            nResident = 0;
        std::fclose(f);
    }
    return qint64(nResident) * sysconf(_SC_PAGESIZE);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    setlocale(LC_NUMERIC, "C");
    const int nSeconds = argc > 1 ? std::atoi(argv[1]) : 600;
    const int nPageSeconds = argc > 2 ? std::atoi(argv[2]) : 10;

    CMainWindow window;
    window.resize(1000, 700);
    window.show();
    auto* pTabs = window.findChild<QTabWidget*>("tabWidget");
    const QList<CStripChartWidget*> charts = window.findChildren<CStripChartWidget*>();
    qint64 nRecords = 0;
    QObject::connect(&window, &CMainWindow::SignalControlLoopStatus, [&] { ++nRecords; });
    QObject::connect(&window, &CMainWindow::SignalGPSStatus, [&] { ++nRecords; });

    QElapsedTimer clock;
    clock.start();
    // Paint time is taken with the charts' page showing: 20 paints of each chart.
    auto sample = [&] {
        Sample s;
        const int nPage = pTabs->currentIndex();
        pTabs->setCurrentIndex(2);
        QElapsedTimer paint;
        paint.start();
        for (int i = 0; i < 20; ++i) {
            for (CStripChartWidget* pChart : charts)
                pChart->grab();
        }
        s.dPaintMs = double(paint.nsecsElapsed()) / 1e6 / 20;
        pTabs->setCurrentIndex(nPage);
        for (CStripChartWidget* pChart : charts) {
            for (int n = 0; n < CStripChartWidget::NUM_DATA_SETS; ++n)
                s.nPoints += pChart->DataSet(n).arrayPoints.size();
        }
        s.dSeconds = clock.elapsed() / 1000.0;
        s.dCpu = CpuSeconds();
        s.nResident = ResidentBytes();
        s.nRecords = nRecords;
        return s;
    };

    QTimer pages;
    QObject::connect(&pages, &QTimer::timeout,
                     [&] { pTabs->setCurrentIndex(pTabs->currentIndex() == 2 ? 1 : 2); });
    pTabs->setCurrentIndex(2);
    pages.start(nPageSeconds * 1000);

    // The first sample after a short warm-up, so that start-up costs (fonts,
    // first paints, socket buffers) do not count as growth.
    Sample first, last;
    const int nWarmUp = qMin(30, nSeconds / 10);
    QTimer::singleShot(nWarmUp * 1000, [&] { first = sample(); });
    QTimer::singleShot(nSeconds * 1000, [&] {
        last = sample();
        app.quit();
    });
    app.exec();

    const double dSpan = last.dSeconds - first.dSeconds;
    const qint64 nNew = last.nRecords - first.nRecords;
    std::printf("long run: %.0f s measured after %d s of warm-up, %lld records (%.1f a second), "
                "connected at the end: %s\n",
                dSpan, nWarmUp, (long long)nNew, nNew / dSpan,
                window.Protocol()->m_bConnected ? "yes" : "no");
    std::printf("CPU: %.1f %% of one core\n", 100.0 * (last.dCpu - first.dCpu) / dSpan);
    std::printf("resident: %.1f MB -> %.1f MB, %+.1f bytes per record\n", first.nResident / 1048576.0,
                last.nResident / 1048576.0, double(last.nResident - first.nResident) / qMax<qint64>(1, nNew));
    std::printf("chart paint (both charts): %.2f ms with %lld points, %.2f ms with %lld points\n",
                first.dPaintMs, (long long)first.nPoints, last.dPaintMs, (long long)last.nPoints);
    return nNew > 0 ? 0 : 1;
}

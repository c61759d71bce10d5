// A flood of control-loop status records against the real main window.
//
// A peer thread plays the service on 127.0.0.1:51501 and, once the panel has
// connected, produces 10,000 status records a second for 10 seconds (the
// rate and length can be given as arguments). Records the socket cannot take
// at once wait in the peer's own buffer, as they would in a service's, so the
// flood ends on time however slowly the panel reads. The window shows its
// Loop Status page, so both charts paint.
//
// Printed: when the peer stopped producing and finished writing, when the
// window had handled the last record (its event loop answering again), the
// longest the event loop was unable to run a 10 ms timer during the run, and
// the memory the process gained per record, resident and as chart capacity.
//
// Run it on a display (Xvfb will do); it uses the service's fixed ports:
//   flock /tmp/tellurix-ports.lock env DISPLAY=:11 build-dev/bench/flood_status [rate] [seconds] [page]
// (page 0 Status, 2 Loop Status, the default).
#include "benchutil.h"
#include "cmainwindow.h"
#include "cstripchartwidget.h"

#include "brfncodec.h"
#include "cbrfnframer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTimer>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>

namespace {

using Chart = CStripChartWidget;

QElapsedTimer g_clock; // every time below is milliseconds on this clock

QByteArray StatusPacket(int64_t i)
{
    BRFN::CMD_DATA_CONTROL_LOOP_STATUS s;
    const double dNoise = std::sin(double(i) * 12.9898);
    s.dTimeDiff = 0.002 * std::sin(double(i) * 1e-3) + 0.0005 * dNoise;
    s.dEstTimeError = 0.001;
    s.dControlValue = 40.0 * std::sin(double(i) * 3e-4);
    s.dStdDev = 0.0004;
    s.dStdDev2 = 0.0006;
    s.nSamples = int32_t(i);
    s.nSamples2 = int32_t(i);
    s.nLoopState = 6;
    return FramePacket(BRFN::CMD_CONTROL_LOOP_STATUS, BRFN::EncodeControlLoopStatus(s));
}

// The service's side: listen, take the panel, produce records at the rate for
// the given time, keep writing until everything is out; read and drop
// whatever the panel sends.
struct Peer
{
    int nRate = 10000;
    int nSeconds = 10;
    std::atomic<int64_t> nProduced{0};
    std::atomic<qint64> tFirst{-1}, tProducedAll{-1}, tWrittenAll{-1};
    std::atomic<bool> bFailed{false};
    int nListen = -1;

    bool Listen()
    {
        nListen = socket(AF_INET, SOCK_STREAM, 0);
        const int nOn = 1;
        setsockopt(nListen, SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof nOn);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(51501);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return bind(nListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && listen(nListen, 1) == 0;
    }

    void Run()
    {
        const int nPeer = accept(nListen, nullptr, nullptr);
        if (nPeer < 0) {
            bFailed = true;
            return;
        }
        fcntl(nPeer, F_SETFL, fcntl(nPeer, F_GETFL) | O_NONBLOCK);
        const int64_t nTotal = int64_t(nRate) * nSeconds;
        std::string pending;
        char drain[4096];
        tFirst = g_clock.elapsed();
        while (tWrittenAll < 0) {
            const qint64 tNow = g_clock.elapsed();
            const int64_t nOwed = std::min<int64_t>(nTotal, (tNow - tFirst) * nRate / 1000);
            for (; nProduced < nOwed; ++nProduced) {
                const QByteArray packet = StatusPacket(nProduced);
                pending.append(packet.constData(), size_t(packet.size()));
            }
            if (nProduced == nTotal && tProducedAll < 0)
                tProducedAll = tNow;
            while (!pending.empty()) {
                const ssize_t n = send(nPeer, pending.data(), pending.size(), MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                pending.erase(0, size_t(n));
            }
            while (recv(nPeer, drain, sizeof drain, 0) > 0) {
            }
            if (nProduced == nTotal && pending.empty())
                tWrittenAll = g_clock.elapsed();
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        // Stay connected until the process ends: a closed link would send the
        // window an all-zero record.
        while (true) {
            if (recv(nPeer, drain, sizeof drain, 0) == 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler([](QtMsgType nType, const QMessageLogContext&, const QString& strMessage) {
        if (nType != QtDebugMsg)
            fprintf(stderr, "%s\n", qPrintable(strMessage));
    });
    QApplication app(argc, argv);
    g_clock.start();
    Peer peer;
    if (argc > 1)
        peer.nRate = qBound(1, atoi(argv[1]), 1000000);
    if (argc > 2)
        peer.nSeconds = qBound(1, atoi(argv[2]), 3600);
    if (!peer.Listen()) {
        fprintf(stderr, "port 51501 is taken\n");
        return 1;
    }
    std::thread sender([&peer] { peer.Run(); });
    sender.detach();

    CMainWindow window;
    window.show();
    const int nPage = argc > 3 ? qBound(0, atoi(argv[3]), 3) : 2; // Loop Status unless told
    window.findChild<QTabWidget*>(QStringLiteral("tabWidget"))->setCurrentIndex(nPage);
    const Chart* pTimeDiff =
        window.findChild<QWidget*>(QStringLiteral("widgetTimeDiff"))->findChild<Chart*>();
    const Chart* pControl =
        window.findChild<QWidget*>(QStringLiteral("widgetControlValue"))->findChild<Chart*>();
    int64_t nHandled = 0;
    QObject::connect(&window, &CMainWindow::SignalControlLoopStatus, [&nHandled] { ++nHandled; });
    QCoreApplication::processEvents();
    const int64_t nResidentBefore = ResidentBytes();

    const int64_t nTotal = int64_t(peer.nRate) * peer.nSeconds;
    qint64 tLastTick = g_clock.elapsed(), nWorstGap = 0, tCaughtUp = -1;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 tNow = g_clock.elapsed();
        nWorstGap = std::max(nWorstGap, tNow - tLastTick);
        tLastTick = tNow;
        if (peer.bFailed || tNow > 600000)
            app.exit(1);
        if (nHandled >= nTotal && tCaughtUp < 0) {
            tCaughtUp = tNow; // the last record is handled and the loop runs timers again
            QTimer::singleShot(500, &app, [&app] { app.exit(0); });
        }
    });
    tick.start(10);
    const int nResult = app.exec();

    int64_t nCapacity = 0, nPoints = 0;
    for (const Chart* pChart : {pTimeDiff, pControl})
        for (int i = 0; i < Chart::NUM_DATA_SETS; ++i) {
            nCapacity +=
                int64_t(pChart->DataSet(i).arrayPoints.capacity()) * int64_t(sizeof(Chart::DATA_POINT));
            nPoints += pChart->DataSet(i).arrayPoints.size();
        }
    const double dResidentPerRecord =
        double(ResidentBytes() - nResidentBefore) / double(std::max<int64_t>(1, nHandled));
    printf("platform %s, page %d, %d records/s for %d s = %lld records\n",
           qPrintable(QGuiApplication::platformName()), nPage, peer.nRate, peer.nSeconds,
           static_cast<long long>(nTotal));
    printf("peer: produced all %.2f s after the first, written all at %.2f s\n",
           (peer.tProducedAll - peer.tFirst) / 1000.0, (peer.tWrittenAll - peer.tFirst) / 1000.0);
    printf("window: handled %lld records, %lld points kept; caught up %.2f s after the flood ended\n",
           static_cast<long long>(nHandled), static_cast<long long>(nPoints),
           tCaughtUp < 0 ? -1.0 : (tCaughtUp - peer.tProducedAll) / 1000.0);
    printf("event loop: longest gap between 10 ms ticks %.2f s\n", nWorstGap / 1000.0);
    printf("memory per record: resident %.1f B, chart capacity %.1f B (points alone %.1f B)\n",
           dResidentPerRecord, double(nCapacity) / double(std::max<int64_t>(1, nHandled)),
           double(nPoints) * double(sizeof(Chart::DATA_POINT)) / double(std::max<int64_t>(1, nHandled)));
    fflush(stdout);
    _exit(nResult); // the peer thread still holds its socket
}

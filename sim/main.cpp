// tellurix-sim: a stand-in for the Tellurix2 time-synchronisation service,
// so that the panel can be run and tested without a GPS receiver.

#include "simservice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_aSignalPipe[2] = {-1, -1};

// Only async-signal-safe work here: the event loop does the rest.
void OnSignal(int nSignal)
{
    const char c = char(nSignal);
    [[maybe_unused]] const ssize_t n = ::write(g_aSignalPipe[1], &c, 1);
}

bool InstallSignalHandlers(QCoreApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_aSignalPipe) != 0)
        return false;
    auto* pNotifier = new QSocketNotifier(g_aSignalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(pNotifier, &QSocketNotifier::activated, &app, [&app]() {
        char c = 0;
        [[maybe_unused]] const ssize_t n = ::read(g_aSignalPipe[0], &c, 1);
        app.quit();
    });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

bool ParseInt(const QCommandLineParser& parser, const QString& strName, int nMin, int nMax, int& nValue)
{
    if (!parser.isSet(strName))
        return true;
    bool bOk = false;
    const int n = parser.value(strName).toInt(&bOk);
    if (!bOk || n < nMin || n > nMax) {
        std::fprintf(stderr, "tellurix-sim: --%s needs a whole number from %d to %d\n", qPrintable(strName),
                     nMin, nMax);
        return false;
    }
    nValue = n;
    return true;
}

// A finite number from dMin to dMax; the default stays when the option is not given.
bool ParseDouble(const QCommandLineParser& parser, const QString& strName, double dMin, double dMax,
                 double& dValue)
{
    if (!parser.isSet(strName))
        return true;
    bool bOk = false;
    const double d = parser.value(strName).toDouble(&bOk);
    if (!bOk || !std::isfinite(d) || d < dMin || d > dMax) {
        std::fprintf(stderr, "tellurix-sim: --%s needs a number from %g to %g\n", qPrintable(strName), dMin,
                     dMax);
        return false;
    }
    dValue = d;
    return true;
}

// The largest noise sizes the options take, far beyond any PC clock or
// receiver; larger values are taken for typing errors.
constexpr double MAX_PHASE_NOISE = 0.1; // seconds
constexpr double MAX_RWFM = 1e-6;       // per sqrt(second)

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("tellurix-sim");
    QCoreApplication::setApplicationVersion("1.0");

    QCommandLineParser parser;
    parser.setApplicationDescription("Stand-in for the Tellurix2 time-synchronisation service. Listens for "
                                     "the panel on TCP, answers every "
                                     "request, applies every setting, pushes the control-loop status and the "
                                     "GPS status once a service second "
                                     "and sends that second's NMEA sentences as UDP datagrams. Without "
                                     "--replay it synthesises a constellation "
                                     "that moves across the sky. Stops cleanly on SIGINT or SIGTERM.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {"port", "TCP port to listen on for the panel (default 51501).", "port", "51501"},
        {"address",
         "IP address to listen on (default 127.0.0.1). A panel can make the service write log files wherever "
         "it names, so keep it on a loopback address.",
         "address", "127.0.0.1"},
        {"nmea-port", "UDP port on 127.0.0.1 that receives the NMEA sentences (default 51502).", "port",
         "51502"},
        {"rate",
         "Service seconds per real second: each one pushes one control-loop status and one GPS status "
         "(default 1; 10 runs ten times as fast).",
         "rate", "1"},
        {"replay",
         "Replay an NMEA 0183 capture of a real receiver, one epoch per service second, over and over. "
         "Bad lines are skipped and counted.",
         "file"},
        {"drop-every", "Fault mode: close every panel connection every N service seconds.", "N"},
        {"cut-packet",
         "Fault mode: send the first half of a packet before each drop (with --drop-every; alone it "
         "drops every 10 seconds)."},
        {"garbage", "Fault mode: send random bytes between packets."},
        {"flood", "Fault mode: send extra control-loop status packets at this many packets per second.",
         "rate"},
        {"message-every",
         "Send a status text (CMD_MESSAGE) every N service seconds; 0 only on loop state changes "
         "(default 60).",
         "N", "60"},
        {"fix-loss-every", "Synthesised GPS: lose the fix every N service seconds (default 0: never).", "N",
         "0"},
        {"fix-loss-length", "Synthesised GPS: service seconds each fix loss lasts (default 8).", "N", "8"},
        {"calibration-delay",
         "Milliseconds before a forced NTP calibration is reported ready (default 1500).", "ms", "1500"},
        {"phase-noise",
         QString("White phase noise of each measured time difference: the jitter of the NMEA data's arrival, "
                 "one standard deviation in seconds, 0 to %1 (default %2).")
             .arg(MAX_PHASE_NOISE)
             .arg(CClockLoopModel::PHASE_NOISE),
         "seconds"},
        {"rwfm",
         QString(
             "Random-walk frequency noise of the PC clock's crystal: every service second the free clock's "
             "fractional frequency takes a Gaussian step of this standard deviation, in fractional "
             "frequency per square root of a second, 0 to %1 (default %2). The rate stays within %3 ppm "
             "of its nominal %4 ppm.")
             .arg(MAX_RWFM)
             .arg(CClockLoopModel::RWFM_NOISE)
             .arg(CClockLoopModel::FREQUENCY_RANGE * 1e6)
             .arg(CClockLoopModel::CLOCK_DRIFT * 1e6),
         "Q"},
        {"seed", "Seed of the random numbers (noise, sky, garbage), for repeatable runs (default 1).", "n",
         "1"},
    });
    parser.process(app);

    SIM_OPTIONS options;
    int nPort = options.nPort, nNmeaPort = options.nNmeaPort, nSeed = 1;
    if (!ParseInt(parser, "port", 0, 65535, nPort) || !ParseInt(parser, "nmea-port", 1, 65535, nNmeaPort) ||
        !ParseInt(parser, "drop-every", 0, 1 << 30, options.nDropEvery) ||
        !ParseInt(parser, "flood", 0, 1000000, options.nFloodRate) ||
        !ParseInt(parser, "message-every", 0, 1 << 30, options.nMessageEvery) ||
        !ParseInt(parser, "fix-loss-every", 0, 1 << 30, options.nFixLossEvery) ||
        !ParseInt(parser, "fix-loss-length", 0, 1 << 30, options.nFixLossLength) ||
        !ParseInt(parser, "calibration-delay", 0, 3600 * 1000, options.nCalibrationDelayMs) ||
        !ParseInt(parser, "seed", 0, 0x7FFFFFFF, nSeed) ||
        !ParseDouble(parser, "rate", 0.001, 1000.0, options.dRate) ||
        !ParseDouble(parser, "phase-noise", 0.0, MAX_PHASE_NOISE, options.dPhaseNoise) ||
        !ParseDouble(parser, "rwfm", 0.0, MAX_RWFM, options.dRwfm))
        return 2;
    options.nPort = quint16(nPort);
    options.nNmeaPort = quint16(nNmeaPort);
    options.nSeed = quint32(nSeed);
    options.strAddress = parser.value("address");
    options.strReplayFile = parser.value("replay");
    options.bGarbage = parser.isSet("garbage");
    options.bCutPacket = parser.isSet("cut-packet");
    if (options.bCutPacket && options.nDropEvery == 0)
        options.nDropEvery = 10;

    if (!InstallSignalHandlers(app)) {
        std::fprintf(stderr, "tellurix-sim: cannot install the signal handlers\n");
        return 1;
    }
    CSimService service(options);
    QString strError;
    if (!service.Start(&strError)) {
        std::fprintf(stderr, "tellurix-sim: %s\n", qPrintable(strError));
        return 1;
    }
    std::fprintf(stderr,
                 "tellurix-sim: listening on %s:%u, NMEA to UDP 127.0.0.1:%u, %g pushes per second%s%s\n",
                 qPrintable(options.strAddress), unsigned(service.ServerPort()), unsigned(options.nNmeaPort),
                 options.dRate, options.strReplayFile.isEmpty() ? ", synthesised sky" : ", replaying ",
                 qPrintable(options.strReplayFile));
    if (service.Replaying()) {
        const NMEA_COUNTERS& c = service.Replay().Counters();
        std::fprintf(
            stderr,
            "tellurix-sim: %d epochs from %d lines: %d sentences used, %d of other types skipped, %d "
            "malformed, %d bad checksums, %d with noise in front\n",
            service.Replay().EpochCount(), c.nLines, c.nDecoded, c.nOther, c.nMalformed, c.nBadChecksum,
            c.nNoise);
    }
    if (!QHostAddress(options.strAddress).isLoopback())
        std::fprintf(stderr,
                     "tellurix-sim: warning: %s is reachable from other computers, and a panel "
                     "names the files the service writes\n",
                     qPrintable(options.strAddress));
    std::fflush(stderr);
    const int nResult = app.exec();
    std::fprintf(stderr, "tellurix-sim: stopped after %d service seconds\n", service.Second());
    return nResult;
}

// The stand-in service: its NMEA reader and clock loop without a socket, the
// service against a real socket client, and the built program. The service
// listens on a free port and sends NMEA to a free UDP port; the tests drive its
// seconds by hand (a slow clock plus OnTick) so they never wait.

#include "packetlog.h"
#include "simservice.h"
#include "stability.h"

#include <QtTest>

#include <QNetworkDatagram>
#include <QProcess>
#include <QTcpSocket>
#include <QUdpSocket>

#include <cmath>
#include <csignal>
#include <memory>

using namespace BRFN;

namespace {

QByteArray Line(const char* pszBody)
{
    return CNmeaParser::Finish(pszBody).trimmed();
}

// A bare panel: a real TCP socket, the link's framing, and a log of every packet.
class Client : public PacketLog
{
public:
    Client() { Attach(&m_Socket); }
    QTcpSocket m_Socket;
};

QByteArray Sub(int nSub)
{
    return EncodeSubCommand(uint8_t(nSub));
}

CMD_DATA_CONTROL_LOOP_STATUS Status(const QByteArray& payload)
{
    return DecodeControlLoopStatus(reinterpret_cast<const uint8_t*>(payload.constData()), payload.size());
}

const CMD_DATA_LOOP_PARAMETERS PARAMS{64.5, 0.25, 0.9, 2.0, 0};

// The time differences of 2^17 seconds of the free clock (loop disabled).
std::vector<double> FreeClock()
{
    CClockLoopModel loop(7);
    loop.SetEnabled(false);
    std::vector<double> x(1 << 17);
    for (double& d : x)
        d = loop.Step(true, true).dTimeDiff;
    return x;
}

} // namespace

class tst_Sim : public QObject
{
    Q_OBJECT

    QUdpSocket m_Nmea; // takes the sentences instead of the fixed port
    std::unique_ptr<CSimService> m_pService;
    std::unique_ptr<Client> m_pClient;

    SIM_OPTIONS Options() const
    {
        SIM_OPTIONS o;
        o.nPort = 0;
        o.nNmeaPort = m_Nmea.localPort();
        o.dRate = 0.001; // one service second per 1000 s: the tests tick by hand
        o.nMessageEvery = 0;
        o.nCalibrationDelayMs = 50;
        return o;
    }

    // Starts the service and connects m_pClient to it.
    bool Start(const SIM_OPTIONS& options)
    {
        m_pService.reset(new CSimService(options));
        m_pClient.reset(new Client);
        if (!m_pService->Start())
            return false;
        m_pClient->m_Socket.connectToHost(QHostAddress::LocalHost, m_pService->ServerPort());
        return m_pClient->m_Socket.waitForConnected(5000) &&
               QTest::qWaitFor([this]() { return m_pService->ClientCount() == 1; }, 5000);
    }

    void Tick(int n)
    {
        for (int i = 0; i < n; ++i)
            m_pService->OnTick();
    }

    QByteArrayList ReadDatagrams()
    {
        QByteArrayList datagrams;
        while (m_Nmea.hasPendingDatagrams())
            datagrams.append(m_Nmea.receiveDatagram().data());
        return datagrams;
    }

private slots:
    void initTestCase() { QVERIFY(m_Nmea.bind(QHostAddress(QHostAddress::LocalHost), 0)); }

    void cleanup()
    {
        m_pClient.reset();
        m_pService.reset();
        ReadDatagrams(); // what the test left unread
    }

    // The NMEA reader: lines and epochs that the captures do not hold, then real
    // receiver captures replayed whole and compared with values read from the
    // capture files by hand.
    void parse_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("parsed"); // the result, then any second of the day and date

        QTest::newRow("lower-case checksum")
            << QByteArray("$GNGSA,A,3,29,20,18,16,51,13,44,26,,,,,0.99,0.54,0.83,1*0e") << "ok";
        QTest::newRow("checksum one off")
            << QByteArray("$GNZDA,000941.00,10,01,2017,00,00*71") << "bad checksum";
        QTest::newRow("control byte inside") << QByteArray("$GPGGA,\x01,,,,,0,,,,M,,M,,*66") << "malformed";
        // The synthesiser's checksum keeps its leading zero (02 here).
        QTest::newRow("checksum below 0x10") << Line("GPTXT,a") << "other";
        QTest::newRow("GSV with a broken group") << Line("GPGSV,1,1,02,05,45,347,45,07,45") << "malformed";
        QTest::newRow("GSA letter as PRN") << Line("GPGSA,A,3,X5,,,,,,,,,,,,1.0,1.0,1.0") << "malformed";
        QTest::newRow("GGA, hour 25 and minute 60")
            << Line("GPGGA,250000,4860.000,N,01131.000,E,1,05,1.0,5.0,M,,M,,") << "ok";
        QTest::newRow("RMC of 1999") << Line("GPRMC,120000,A,4807.038,N,01131.000,E,0.0,0.0,311299,,,A")
                                     << "ok 43200 1999-12-31";
        QTest::newRow("ZDA before GPS") << Line("GPZDA,235960,01,01,1979,,") << "ok 86399";
    }
    void parse()
    {
        QFETCH(QByteArray, line);
        const char* const RESULTS[] = {"ok", "other", "empty", "malformed", "bad checksum"};
        NMEA_SENTENCE s;
        QString strParsed = RESULTS[CNmeaParser::ParseLine(line, s)];
        if (s.bHasTime)
            strParsed += QString(" %1").arg(s.nSecondOfDay);
        if (s.bHasDate)
            strParsed += s.date.toString(" yyyy-MM-dd");
        QTEST(strParsed, "parsed");
    }

    // Without a time an epoch ends where its first sentence type comes again.
    void epochsWithoutATime()
    {
        const QByteArray gga = "$GPGGA,,,,,,0,,,,M,,M,,*66", gsa = "$GPGSA,A,1,,,,,,,,,,,,,,,*1E",
                         rmc = "$GPRMC,,V,,,,,,,,,,N*53";
        CNmeaEpochAssembler assembler;
        NMEA_EPOCH epoch;
        for (const QByteArray& line : {gga, gsa, rmc, gga, gsa, rmc, gga, gsa, rmc})
            assembler.AddLine(line, epoch);
        QVERIFY(assembler.Flush(epoch));
        QCOMPARE(assembler.Counters().nEpochs, 3);
        QCOMPARE(epoch.sentences.size(), 3);
    }

    // The capture file is the row's name.
    void capture_data()
    {
        // Epochs with a time; lines skipped (malformed or with a bad checksum) and lines with noise in front;
        // sentences forwarded: every line but the skipped ones.
        QTest::addColumn<QString>("counts");
        QTest::addColumn<QString>("noFix");
        QTest::addColumn<QString>("firstFix"); // latitude, longitude, altitude, time
        // Status: 0 in view, 1 used, 2 tracked but not used, 3 used with a weak signal.
        QTest::addColumn<QStringList>("satellites");

        using S = QStringList;
        // clang-format off
        QTest::newRow("hi305n-sirf2")
            << "74 epochs, 12 in view at most, 0 by ZDA, 0 skipped, 0 noisy, 325 sentences"
            << "09:52:55 09:52:57 09:52:58 09:53:00 09:53:01 09:53:03"
            << "-27.21086667 153.05232833 3.0 1176025984"
            << S{"09:53:16 PRN 5 at 45/347, SNR 45, status 1; 8 tracked"};
        // The noisy first line is forwarded without its noise, the cut last one not at all.
        QTest::newRow("max-m8q-truncated")
            << "72 epochs, 25 in view at most, 72 by ZDA, 1 skipped, 1 noisy, 1008 sentences"
            << "" << "44.06889783 -121.31427133 1144.8 1484006981"
            << S{"00:10:00 PRN 70 at 76/297, SNR 16, status 3; 17 tracked"};
        // Without a fix no satellite is used; one without a place is still listed.
        QTest::newRow("um621-fixloss")
            << "20 epochs, 44 in view at most, 0 by ZDA, 0 skipped, 0 noisy, 882 sentences"
            << "00:07:06 00:07:07 00:07:08 00:07:09" << "44.06883233 -121.31410217 1109.2 1717891613"
            << S{"00:07:07 PRN 244 at 59/199, SNR 13, status 2; 4 tracked",
                 "00:07:12 PRN 89 at 0/0, SNR 41, status 2; 28 tracked"};
        // PRN 27 comes twice with its best signal; 201 has no signal.
        QTest::newRow("zed-f9p-dunedin")
            << "29 epochs, 41 in view at most, 29 by ZDA, 0 skipped, 0 noisy, 1015 sentences"
            << "" << "-45.87756717 170.50011133 14.2 1555029596"
            << S{"00:40:10 PRN 27 at 16/218, SNR 31, status 1; 22 tracked",
                 "00:40:10 PRN 201 at 29/321, SNR 0, status 0; 22 tracked"};
        // clang-format on
    }
    void capture()
    {
        CNmeaReplay replay;
        QVERIFY(replay.Load(qEnvironmentVariable("TELLURIX_SOURCE_DIR") + "/tests/data/" +
                            QTest::currentDataTag() + ".nmea"));
        CNmeaGpsState state;
        QMap<QString, CMD_DATA_GPS_STATUS> records; // of the epochs with a time, by "hh:mm:ss"
        int nSentences = 0;
        for (int i = 0; i < replay.EpochCount(); ++i) {
            const NMEA_EPOCH& epoch = replay.Epoch(i);
            for (const QByteArray& sentence : epoch.sentences) {
                NMEA_SENTENCE parsed;
                bool bNoise = true;
                const CNmeaParser::Result result = CNmeaParser::ParseLine(sentence, parsed, &bNoise);
                QVERIFY(result == CNmeaParser::RESULT_OK || result == CNmeaParser::RESULT_OTHER);
                QVERIFY(!bNoise && sentence.endsWith("\r\n"));
                ++nSentences;
            }
            const CMD_DATA_GPS_STATUS gps = state.Apply(epoch);
            if (epoch.bHasTime)
                records.insert(QTime(0, 0).addSecs(epoch.nSecondOfDay).toString("hh:mm:ss"), gps);
        }
        int nMaxInView = 0, nZda = 0;
        QStringList noFix; // no time flag: the displays show no fix
        const CMD_DATA_GPS_STATUS* pFirstFix = nullptr;
        for (auto it = records.begin(); it != records.end(); ++it) {
            const CMD_DATA_GPS_STATUS& gps = it.value();
            for (int i = gps.nSatsInView; i < MAX_SATELLITES; ++i)
                QCOMPARE(gps.aSats[i].nPRN, 0);
            if (gps.nGPSTimeFlag == 0)
                noFix << it.key();
            else if (!pFirstFix)
                pFirstFix = &gps;
            nMaxInView = std::max(nMaxInView, gps.nSatsInView);
            nZda += gps.nTimeSource == 1;
        }
        const NMEA_COUNTERS& n = replay.Counters();
        QTEST(QString::asprintf(
                  "%d epochs, %d in view at most, %d by ZDA, %d skipped, %d noisy, %d sentences",
                  int(records.size()), nMaxInView, nZda, n.nMalformed + n.nBadChecksum, n.nNoise, nSentences),
              "counts");
        QTEST(noFix.join(' '), "noFix");
        QVERIFY(pFirstFix);
        const CMD_DATA_GPS_STATUS& first = *pFirstFix;
        QTEST(QString::asprintf("%.8f %.8f %.1f %d", first.dLatitude, first.dLongitude, first.dAltitude,
                                first.nGPSTime),
              "firstFix");
        QFETCH(QStringList, satellites);
        for (const QString& expected : satellites) {
            const CMD_DATA_GPS_STATUS g = records.value(expected.left(8));
            const int nPRN = expected.section(' ', 2, 2).toInt();
            const SATELLITE_DATA* pEnd = g.aSats + g.nSatsInView;
            const SATELLITE_DATA* pSat =
                std::find_if(g.aSats, pEnd, [nPRN](const SATELLITE_DATA& s) { return s.nPRN == nPRN; });
            QVERIFY2(pSat != pEnd, qPrintable(expected));
            QCOMPARE(QString::asprintf("%s PRN %d at %d/%d, SNR %d, status %d; %d tracked",
                                       qPrintable(expected.left(8)), nPRN, pSat->nElevation, pSat->nAzimuth,
                                       pSat->nSNR, pSat->nStatus, g.nSatsTracked),
                     expected);
        }
    }

    // The clock loop: fits, spreads and states.
    void fit_data()
    {
        QTest::addColumn<QVector<double>>("values");
        QTest::addColumn<int>("last");
        QTest::addColumn<QString>("fit"); // slope, intercept, spread, samples

        QTest::newRow("one value") << QVector<double>{0.25} << 60 << "0 0.25 0 1";
        // Only the last four count: 1, 3, 2, 4 at x = 1..4 give slope 0.8, intercept 0.5,
        // mean 2.5 and spread sqrt(5/3).
        QTest::newRow("window") << QVector<double>{-50, 99, 1, 3, 2, 4} << 4 << "0.8 0.5 1.29099445 4";
    }
    void fit()
    {
        QFETCH(QVector<double>, values);
        QFETCH(int, last);
        const LINE_FIT f = CClockLoopModel::Fit(std::deque<double>(values.begin(), values.end()), last);
        QTEST(QString::asprintf("%.9g %.9g %.9g %d", f.dSlope, f.dIntercept, f.dStdDev, f.nSamples), "fit");
    }

    void startsAndLocksWithFix()
    {
        CClockLoopModel loop(3);
        QVector<int> states;
        CMD_DATA_CONTROL_LOOP_STATUS s;
        for (int i = 0; i < 600 && loop.State() != CClockLoopModel::LOOP_LOCKED; ++i) {
            s = loop.Step(true, true);
            if (states.isEmpty() || states.last() != s.nLoopState)
                states.append(s.nLoopState);
        }
        QCOMPARE(states, (QVector<int>{CClockLoopModel::LOOP_STARTING, CClockLoopModel::LOOP_SEARCHING,
                                       CClockLoopModel::LOOP_SYNCHING, CClockLoopModel::LOOP_LOCKED}));
        // Locked: the difference has converged to well under a millisecond.
        QVERIFY(qAbs(loop.TrueTimeDiff()) < 0.002);
        QVERIFY(s.dStdDev > 0.0 && s.dStdDev < CClockLoopModel::LOCK_SPREAD);
        QVERIFY(s.dEstTimeError > 0.0 && s.dEstTimeError < 0.003);
        // The loop holds the clock against its drift (about 25 ppm) with its
        // control value: on average, since each value carries the phase noise
        // of its measurement.
        double dControl = 0.0, dDrift = 0.0;
        for (int i = 0; i < 300; ++i) {
            s = loop.Step(true, true);
            dControl += s.dControlValue / 300.0;
            dDrift += loop.ClockDrift() * 1e6 / 300.0;
        }
        QCOMPARE(s.nLoopState, int(CClockLoopModel::LOOP_LOCKED));
        QVERIFY2(qAbs(dControl + dDrift) < 5.0, qPrintable(QString::number(dControl)));
    }

    void states_data()
    {
        // Seconds with a fix (F), without one (N), without a receiver (R); a lock delay (L).
        QTest::addColumn<QString>("seconds");
        QTest::addColumn<int>("state");
        QTest::newRow("no fix") << "20N" << int(CClockLoopModel::LOOP_NO_GPS);
        QTest::newRow("no receiver") << "5R" << int(CClockLoopModel::LOOP_NO_GPS);
        QTest::newRow("fix lost before synchronising") << "4F 1N" << int(CClockLoopModel::LOOP_NO_GPS);
        QTest::newRow("fix lost after synchronising") << "40F 11N" << int(CClockLoopModel::LOOP_HOLDOVER);
        QTest::newRow("fix back") << "40F 11N 1F" << int(CClockLoopModel::LOOP_RECOVERY);
        QTest::newRow("recovered") << "40F 11N 6F" << int(CClockLoopModel::LOOP_SYNCHING);
        QTest::newRow("lock delay, 399 s") << "400L 399F" << int(CClockLoopModel::LOOP_SYNCHING);
        QTest::newRow("lock delay, 400 s") << "400L 400F" << int(CClockLoopModel::LOOP_LOCKED);
    }
    void states()
    {
        QFETCH(QString, seconds);
        CClockLoopModel loop(5);
        CMD_DATA_CONTROL_LOOP_STATUS s;
        for (const QString& run : seconds.split(' ')) {
            if (run.back() == 'L')
                loop.SetLockConfig(CMD_DATA_GPS_LOCK_CONFIG{true, run.chopped(1).toUInt()});
            for (int i = run.chopped(1).toInt(); i > 0 && run.back() != 'L'; --i)
                s = loop.Step(run.back() != 'R', run.back() == 'F');
        }
        QTEST(s.nLoopState, "state");
    }

    void offsetShiftsTheMeasurement()
    {
        CClockLoopModel a(9), b(9);
        b.SetTimeDiffOffset(a.TimeDiffOffset() + 0.5);
        QVERIFY(qAbs(b.Step(true, true).dTimeDiff - a.Step(true, true).dTimeDiff - 0.5) < 1e-12);
    }

    // The free clock's noise: white PM below the crossover near 1000 s, random-walk FM well beyond it.
    void freeClockNoise_data()
    {
        QTest::addColumn<qlonglong>("factor");
        QTest::addColumn<int>("alpha");
        QTest::newRow("16 s") << 16LL << 2;
        QTest::newRow("2048 s") << 2048LL << -2;
    }
    void freeClockNoise()
    {
        QFETCH(qlonglong, factor);
        static const std::vector<double> x = FreeClock();
        QTEST(Stability::IdentifyNoise(x.data(), x.size(), factor), "alpha");
    }

    // White phase noise of deviation s gives an Allan deviation of sqrt(3) s at 1 s.
    void whitePhaseNoiseLevel()
    {
        const std::vector<double> x = FreeClock();
        const double d = Stability::Deviation(Stability::Kind::Oadev, x.data(), x.size(), 1, 1.0);
        QVERIFY2(qAbs(d / (std::sqrt(3.0) * CClockLoopModel::PHASE_NOISE) - 1.0) < 0.1,
                 qPrintable(QString::number(d)));
    }

    // A set is applied by the time the reply to the next request leaves, gets no reply of its own
    // and reaches the pushes of the next second.
    void setting_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArrayList>("sets"); // sent once the loop is synchronising
        QTest::addColumn<QByteArray>("reply");    // to the request after them
        QTest::addColumn<int>("state");           // of the next second

        const QByteArray nan = QByteArray::fromHex("017ff8000000000000");
        const CMD_DATA_GPS_LOCK_CONFIG lock{true, 0x12345678};
        using L = QByteArrayList;
        using M = CClockLoopModel;
        const int LOOP = CMD_LOOP_PARAMETERS;
        // Serial port 0: no receiver, so no sentences and an empty GPS record.
        QTest::newRow("no serial port") << int(CMD_COMM_PORT) << L{EncodeCommPort(1, 0, 9600)}
                                        << EncodeCommPort(0, 0, 9600) << int(M::LOOP_HOLDOVER);
        // Not a number would poison every later measurement: it is ignored.
        QTest::newRow("time offset") << int(CMD_TIME_DIFF_OFFSET) << L{EncodeTimeDiffOffset(1, -0.03125), nan}
                                     << EncodeTimeDiffOffset(0, -0.03125) << int(M::LOOP_SYNCHING);
        QTest::newRow("loop, without reset") << LOOP << L{EncodeLoopParameters(1, PARAMS, 0)}
                                             << EncodeLoopParameters(0, PARAMS, 1) << int(M::LOOP_SYNCHING);
        QTest::newRow("loop, with reset") << LOOP << L{EncodeLoopParameters(1, PARAMS, 1)}
                                          << EncodeLoopParameters(0, PARAMS, 1) << int(M::LOOP_STARTING);
        QTest::newRow("loop disabled")
            << LOOP << L{EncodeLoopParameters(1, PARAMS, 0), EncodeEnableControlLoop(false)}
            << EncodeLoopParameters(0, PARAMS, 0) << int(M::LOOP_OFF);
        QTest::newRow("GPS lock") << int(CMD_GPS_LOCK_CONFIG) << L{EncodeGPSLockConfig(1, lock)}
                                  << EncodeGPSLockConfig(0, lock) << int(M::LOOP_SYNCHING);
        // The NTP address is asked with sub-command 2; its reply must fit a packet.
        QTest::newRow("NTP address cut to 510")
            << int(CMD_NTP_CALIBRATION) << L{"\x01" + QByteArray(4000, 'n') + '\0'}
            << EncodeNTPAddressReply(QString(MAX_NTP_ADDRESS, 'n')) << int(M::LOOP_SYNCHING);
    }
    void setting()
    {
        QFETCH(int, command);
        QFETCH(QByteArrayList, sets);
        QVERIFY(Start(Options()));
        Client& c = *m_pClient;
        Tick(20);
        QTRY_COMPARE(c.Incoming(CMD_CONTROL_LOOP_STATUS).size(), 20);
        for (const QByteArray& set : sets)
            c.Send(uint16_t(command), set);
        QTEST(c.Ask(uint16_t(command), Sub(command == CMD_NTP_CALIBRATION ? 2 : 0)), "reply");
        QCOMPARE(c.Incoming(command).size(), 1); // the sets got none
        ReadDatagrams();
        Tick(1);
        QTRY_COMPARE(c.Incoming(CMD_GPS_STATUS).size(), 21);
        QTEST(Status(c.LastIncoming(CMD_CONTROL_LOOP_STATUS)).nLoopState, "state");
        const bool bReceiver = command != CMD_COMM_PORT;
        QCOMPARE(ReadDatagrams().isEmpty(), !bReceiver);
        QCOMPARE(c.LastIncoming(CMD_GPS_STATUS) == EncodeGPSStatus(CMD_DATA_GPS_STATUS()), !bReceiver);
    }

    // The history holds the last ten records pushed, oldest first, without their state.
    void historyAndErase()
    {
        QVERIFY(Start(Options()));
        Client& c = *m_pClient;
        Tick(12);
        QTRY_COMPARE(c.Incoming(CMD_CONTROL_LOOP_STATUS).size(), 12);
        CMD_DATA_CONTROL_LOOP_STATUS_HISTORY expected;
        expected.nCount = 10;
        for (int i = 0; i < 10; ++i) {
            expected.aEntries[i] = Status(c.Incoming(CMD_CONTROL_LOOP_STATUS)[i + 2]);
            expected.aEntries[i].nLoopState = 0;
        }
        QCOMPARE(c.Ask(CMD_CONTROL_LOOP_STATUS_HISTORY, Sub(0)), EncodeHistory(expected));
        c.Send(CMD_CONTROL_LOOP_STATUS_HISTORY, Sub(1));
        QCOMPARE(c.Ask(CMD_CONTROL_LOOP_STATUS_HISTORY, Sub(0)), QByteArray(SIZE_HISTORY_HEADER, '\0'));
    }

    void forcedCalibration()
    {
        QVERIFY(Start(Options()));
        Client& c = *m_pClient;
        // A second request while one runs is answered by the same result.
        c.Send(CMD_NTP_CALIBRATION, Sub(3));
        QCOMPARE(c.Ask(CMD_NTP_CALIBRATION, Sub(3)), Sub(3));
        double dAux = 0.0, dEst = 0.0;
        const QByteArray r = c.Ask(CMD_NTP_CALIBRATION, Sub(0));
        DecodeNTPValues(reinterpret_cast<const uint8_t*>(r.constData()), r.size(), dAux, dEst);
        QCOMPARE(c.Incoming(CMD_NTP_CALIBRATION, 3).size(), 1);
        QVERIFY2(qAbs(dEst - CClockLoopModel::NMEA_DELAY) < 0.005, qPrintable(QString::number(dEst)));
    }

    void log_data()
    {
        QTest::addColumn<int>("command");
        QTest::newRow("control loop log") << int(CMD_CONTROL_LOOP_STATUS_LOG);
        QTest::newRow("GPS data log") << int(CMD_RECORD_GPS_DATA);
    }
    void log()
    {
        QFETCH(int, command);
        const uint16_t nLog = uint16_t(command);
        QTemporaryDir dir;
        const QString strName = dir.filePath("a log.txt");
        QVERIFY(Start(Options()));
        Client& c = *m_pClient;
        // A folder is no log file: refused, and none runs.
        QCOMPARE(c.Ask(nLog, EncodeLogStart(dir.path())), QByteArray::fromHex("0101"));
        QCOMPARE(c.Ask(nLog, Sub(0)), QByteArray(3, '\0'));
        QCOMPARE(c.Ask(nLog, EncodeLogStart(strName)), QByteArray::fromHex("0100"));
        // A second start while it runs is refused and the log keeps running.
        QCOMPARE(c.Ask(nLog, EncodeLogStart(dir.filePath("other"))), QByteArray::fromHex("0102"));
        QCOMPARE(c.Ask(nLog, Sub(0)), EncodeLogStatusReply(1, strName));
        Tick(4);
        QCOMPARE(c.Ask(nLog, Sub(2)), QByteArray::fromHex("0200"));
        QCOMPARE(c.Ask(nLog, Sub(2)), QByteArray::fromHex("0203")); // nothing left to stop
        const QByteArray sent = ReadDatagrams().join();
        Tick(1); // after the stop: not written

        QFile file(strName);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        if (nLog == CMD_RECORD_GPS_DATA) {
            // Exactly the sentences sent over UDP, four seconds of them.
            QCOMPARE(text, sent);
            QCOMPARE(text.count("GGA,"), 4);
            return;
        }
        const QByteArrayList lines = text.split('\n');
        QCOMPARE(lines.size(), 1 + 4 + 1); // header, 4 rows, nothing after the last line end
        QVERIFY(lines[0].startsWith("UTC,TimeDiff,EstTimeError"));
        // The rows are the records pushed, digit for digit.
        for (int i = 0; i < 4; ++i) {
            const QByteArrayList fields = lines[i + 1].trimmed().split(',');
            const auto s = Status(c.Incoming(CMD_CONTROL_LOOP_STATUS)[i]);
            QCOMPARE(fields.size(), 14);
            QCOMPARE(fields[1].toDouble(), s.dTimeDiff);
            QCOMPARE(fields[13].toInt(), s.nLoopState);
        }
    }

    // A second's NMEA goes out one sentence per datagram, and the GPS record
    // pushed is what those sentences say. After the capture's last epoch the
    // replay starts again from its first, and says so.
    void replay()
    {
        SIM_OPTIONS o = Options();
        o.strReplayFile = qEnvironmentVariable("TELLURIX_SOURCE_DIR") + "/tests/data/zed-f9p-dunedin.nmea";
        QVERIFY(Start(o));
        Client& c = *m_pClient;
        Tick(1);
        QTRY_COMPARE(c.Incoming(CMD_GPS_STATUS).size(), 1);
        const NMEA_EPOCH& first = m_pService->Replay().Epoch(0);
        QCOMPARE(ReadDatagrams(), first.sentences);
        QCOMPARE(c.LastIncoming(CMD_GPS_STATUS), EncodeGPSStatus(CNmeaGpsState().Apply(first)));
        Tick(29);
        QTRY_COMPARE(c.Incoming(CMD_GPS_STATUS).size(), 30);
        QCOMPARE(c.LastIncoming(CMD_GPS_STATUS), c.Incoming(CMD_GPS_STATUS).first());
        int nRestarts = 0;
        for (const QByteArray& m : c.Incoming(CMD_MESSAGE))
            nRestarts += m.mid(1).startsWith("Replay restarted (pass 2): 29 epochs");
        QCOMPARE(nRestarts, 1);
    }

    // A missing capture, or a host name (which would listen on every interface).
    void refusedStart()
    {
        SIM_OPTIONS o = Options();
        o.strReplayFile = "/nonexistent/capture.nmea";
        QVERIFY(!CSimService(o).Start());
        o = Options();
        o.strAddress = "localhost";
        QVERIFY(!CSimService(o).Start());
    }

    // Noise sizes that are negative, not finite or not numbers are refused before the program serves.
    void refusedOption_data()
    {
        QTest::addColumn<QStringList>("arguments");
        for (const char* psz : {"--rwfm -1", "--rwfm nan", "--phase-noise x"})
            QTest::newRow(psz) << QString(psz).split(' ');
    }
    void refusedOption()
    {
        QFETCH(QStringList, arguments);
        QProcess process;
        const auto stop = qScopeGuard([&process] { process.kill(), process.waitForFinished(); });
        process.start(qEnvironmentVariable("TELLURIX_BIN_DIR") + "/tellurix-sim",
                      arguments +
                          QStringList{"--port", "0", "--nmea-port", QString::number(m_Nmea.localPort())});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().contains(arguments[0].toUtf8() + " needs a number"));
    }

    // The built tellurix-sim program ends cleanly on SIGINT and SIGTERM.
    void stopsOnSignal_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void stopsOnSignal()
    {
        QFETCH(int, signal);
        QProcess process;
        process.start(qEnvironmentVariable("TELLURIX_BIN_DIR") + "/tellurix-sim",
                      {"--port", "0", "--nmea-port", QString::number(m_Nmea.localPort()), "--rate", "20"});
        // A failed check must not leave the program running.
        const auto stop = qScopeGuard([&process] { process.kill(), process.waitForFinished(); });
        QByteArray error;
        QTRY_VERIFY_WITH_TIMEOUT((error += process.readAllStandardError()).contains("listening on"), 10000);
        QTRY_VERIFY(m_Nmea.hasPendingDatagrams()); // it serves

        ::kill(pid_t(process.processId()), signal);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        error += process.readAllStandardError();
        QVERIFY2(error.contains("stopped after"), error.constData());
    }
};

QTEST_MAIN(tst_Sim)
#include "tst_sim.moc"

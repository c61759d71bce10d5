// The stand-in service against a real socket client: replies, settings,
// pushes, logs, the NMEA feed, replay and the fault modes. The service
// listens on a free port and sends NMEA to a free UDP port; most tests drive
// its seconds by hand (a slow clock plus OnTick) so they never wait.

#include "simservice.h"
#include "simtestclient.h"

#include <QtTest>

#include <QUdpSocket>

#include <cmath>
#include <memory>
#include <random>

namespace {

using C = CSimTestClient;

QByteArray Sub(int nSub)
{
    return BRFN::EncodeSubCommand(uint8_t(nSub));
}

const BRFN::CMD_DATA_LOOP_PARAMETERS PARAMS{64.5, 0.25, 0.9, 2.0, 0};

const int PUSH_BYTES = BRFN::SIZE_CONTROL_LOOP_STATUS + 9 + BRFN::SIZE_GPS_STATUS + 9; // one second, framed

} // namespace

class tst_SimService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void reply_data();
    void reply();
    void settingReachesThePushes_data();
    void settingReachesThePushes();
    void historyAndErase();
    void forcedCalibration_data();
    void forcedCalibration();
    void logWritten_data();
    void logWritten();
    void logThatCannotOpen_data();
    void logThatCannotOpen();
    void severalClients();
    void nmeaOverUdp();
    void replayPushesTheCapture();
    void badInputNeverStopsTheService();
    void drop_data();
    void drop();
    void garbageBetweenPackets();
    void floodAndPanelThatNeverReads();

private:
    SIM_OPTIONS Options() const;
    // Starts the service and connects m_pClient to it.
    bool Start(const SIM_OPTIONS& options);
    void Tick(int n);
    QList<QByteArray> ReadDatagrams();

    QUdpSocket m_Nmea;
    std::unique_ptr<CSimService> m_pService;
    std::unique_ptr<CSimTestClient> m_pClient;
};

void tst_SimService::initTestCase()
{
    QVERIFY(m_Nmea.bind(QHostAddress(QHostAddress::LocalHost), 0));
}

void tst_SimService::cleanup()
{
    m_pClient.reset();
    m_pService.reset();
    ReadDatagrams(); // what the test left unread
}

SIM_OPTIONS tst_SimService::Options() const
{
    SIM_OPTIONS o;
    o.nPort = 0;
    o.nNmeaPort = m_Nmea.localPort();
    o.dRate = 0.001; // one service second per 1000 s: the tests tick by hand
    o.nMessageEvery = 0;
    o.nCalibrationDelayMs = 50;
    return o;
}

bool tst_SimService::Start(const SIM_OPTIONS& options)
{
    m_pService.reset(new CSimService(options));
    m_pClient.reset(new CSimTestClient);
    return m_pService->Start() && m_pClient->Connect(m_pService->ServerPort()) &&
           QTest::qWaitFor([this]() { return m_pService->ClientCount() == 1; }, 5000);
}

void tst_SimService::Tick(int n)
{
    for (int i = 0; i < n; ++i)
        m_pService->OnTick();
}

QList<QByteArray> tst_SimService::ReadDatagrams()
{
    QList<QByteArray> datagrams;
    while (m_Nmea.hasPendingDatagrams()) {
        QByteArray d(int(m_Nmea.pendingDatagramSize()), '\0');
        if (m_Nmea.readDatagram(d.data(), d.size()) < 0)
            break;
        datagrams.append(d);
    }
    return datagrams;
}

void tst_SimService::reply_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArrayList>("sets"); // sent before the request
    QTest::addColumn<int>("sub");
    QTest::addColumn<QByteArray>("expected");

    using namespace BRFN;
    const QByteArray params = EncodeLoopParameters(1, PARAMS, 0);
    const QByteArray nan = QByteArray::fromHex("017ff8000000000000");
    const CMD_DATA_GPS_LOCK_CONFIG lock{true, 0x12345678};
    using L = QByteArrayList;
    // clang-format off
#define ROW(tag, cmd, sets, sub, reply) QTest::newRow(tag) << int(cmd) << L(sets) << sub << QByteArray(reply)
    ROW("comm port set", CMD_COMM_PORT, {EncodeCommPort(1, 7, 115200)}, 0, EncodeCommPort(0, 7, 115200));
    ROW("time offset set", CMD_TIME_DIFF_OFFSET, {EncodeTimeDiffOffset(1, -0.03125)}, 0,
        EncodeTimeDiffOffset(0, -0.03125));
    ROW("time offset not a number", CMD_TIME_DIFF_OFFSET, {nan}, 0,
        EncodeTimeDiffOffset(0, CClockLoopModel::NMEA_DELAY));
    ROW("loop parameters set", CMD_LOOP_PARAMETERS, {params}, 0, EncodeLoopParameters(0, PARAMS, 1));
    ROW("loop switch without its byte", CMD_LOOP_PARAMETERS, (L{params, Sub(2)}), 0,
        EncodeLoopParameters(0, PARAMS, 0));
    ROW("NTP value", CMD_NTP_CALIBRATION, {}, 0, EncodeNTPValues(0.0, CSimService::NO_NTP_RESPONSE));
    ROW("NTP address", CMD_NTP_CALIBRATION, {}, 2, EncodeNTPAddressReply(CSimService::DEFAULT_NTP_ADDRESS));
    ROW("NTP address cut to 510", CMD_NTP_CALIBRATION, {"\x01" + QByteArray(4000, 'n') + '\0'}, 2,
        EncodeNTPAddressReply(QString(MAX_NTP_ADDRESS, 'n')));
    ROW("GPS lock set", CMD_GPS_LOCK_CONFIG, {EncodeGPSLockConfig(1, lock)}, 0, EncodeGPSLockConfig(0, lock));
#undef ROW
    // clang-format on
}

void tst_SimService::reply()
{
    QFETCH(int, command);
    QFETCH(QByteArrayList, sets);
    QFETCH(int, sub);
    QVERIFY(Start(Options()));
    for (const QByteArray& set : sets)
        m_pClient->Send(uint16_t(command), set);
    QTEST(m_pClient->Ask(uint16_t(command), Sub(sub)), "expected");
    // Sets get no reply: the request's is the only packet.
    QCOMPARE(m_pClient->m_Packets.size(), 1);
}

void tst_SimService::settingReachesThePushes_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArrayList>("sets"); // sent once the loop is synchronising
    QTest::addColumn<int>("state");           // of the next second
    using namespace BRFN;
    using L = QByteArrayList;
    using M = CClockLoopModel;
    const int LOOP = CMD_LOOP_PARAMETERS;
    // clang-format off
    QTest::newRow("loop disabled") << LOOP << L{EncodeEnableControlLoop(false)} << int(M::LOOP_OFF);
    QTest::newRow("loop enabled again")
        << LOOP << L{EncodeEnableControlLoop(false), EncodeEnableControlLoop(true)} << int(M::LOOP_STARTING);
    QTest::newRow("with reset") << LOOP << L{EncodeLoopParameters(1, PARAMS, 1)} << int(M::LOOP_STARTING);
    QTest::newRow("without reset") << LOOP << L{EncodeLoopParameters(1, PARAMS, 0)} << int(M::LOOP_SYNCHING);
    // Serial port 0: no receiver, so no sentences and an empty GPS record.
    QTest::newRow("no serial port") << int(CMD_COMM_PORT) << L{EncodeCommPort(1, 0, 9600)}
                                    << int(M::LOOP_HOLDOVER);
    // clang-format on
}

void tst_SimService::settingReachesThePushes()
{
    QFETCH(int, command);
    QFETCH(QByteArrayList, sets);
    QVERIFY(Start(Options()));
    C& c = *m_pClient;
    Tick(20);
    QTRY_COMPARE(c.Count(BRFN::CMD_CONTROL_LOOP_STATUS), 20);
    for (const QByteArray& set : sets)
        c.Send(uint16_t(command), set);
    c.Ask(uint16_t(command), Sub(0)); // the sets are applied by the time the reply leaves
    ReadDatagrams();
    Tick(1);
    QTRY_COMPARE(c.Count(BRFN::CMD_GPS_STATUS), 21);
    const BRFN::CMD_DATA_CONTROL_LOOP_STATUS s =
        C::Decode(BRFN::DecodeControlLoopStatus, c.Last(BRFN::CMD_CONTROL_LOOP_STATUS));
    QTEST(s.nLoopState, "state");
    const bool bReceiver = command != BRFN::CMD_COMM_PORT;
    QCOMPARE(ReadDatagrams().isEmpty(), !bReceiver);
    QCOMPARE(c.Last(BRFN::CMD_GPS_STATUS) == BRFN::EncodeGPSStatus(BRFN::CMD_DATA_GPS_STATUS()), !bReceiver);
}

void tst_SimService::historyAndErase()
{
    QVERIFY(Start(Options()));
    C& c = *m_pClient;
    Tick(12);
    const QByteArray r = c.Ask(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, Sub(0));
    QCOMPARE(r.size(), BRFN::SIZE_HISTORY_HEADER + 10 * BRFN::SIZE_HISTORY_ENTRY);
    BRFN::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY h;
    BRFN::DecodeHistory(C::Data(r), r.size(), h);
    QCOMPARE(h.nCount, 10);
    // The last ten records pushed, oldest first, without their state.
    const QList<QByteArray> pushes = c.All(BRFN::CMD_CONTROL_LOOP_STATUS);
    QCOMPARE(pushes.size(), 12);
    for (int i = 0; i < 10; ++i) {
        BRFN::CMD_DATA_CONTROL_LOOP_STATUS s = C::Decode(BRFN::DecodeControlLoopStatus, pushes[i + 2]);
        s.nLoopState = 0;
        QCOMPARE(BRFN::EncodeControlLoopStatus(h.aEntries[i]), BRFN::EncodeControlLoopStatus(s));
    }
    c.Send(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, Sub(1));
    QCOMPARE(c.Ask(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, Sub(0)),
             QByteArray(BRFN::SIZE_HISTORY_HEADER, '\0'));
}

void tst_SimService::forcedCalibration_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("server") << "time.example.org";
    QTest::newRow("no server") << "";
}

void tst_SimService::forcedCalibration()
{
    QFETCH(QString, address);
    QVERIFY(Start(Options()));
    C& c = *m_pClient;
    c.Send(BRFN::CMD_NTP_CALIBRATION, BRFN::EncodeNTPAddressSet(address));
    // A second request while one runs is answered by the same result.
    c.Send(BRFN::CMD_NTP_CALIBRATION, Sub(3));
    c.Send(BRFN::CMD_NTP_CALIBRATION, Sub(3));
    QTRY_COMPARE(c.Count(BRFN::CMD_NTP_CALIBRATION, 3), 1);
    QCOMPARE(c.Last(BRFN::CMD_NTP_CALIBRATION), Sub(3));
    double dAux = 0.0, dEst = 0.0;
    const QByteArray r = c.Ask(BRFN::CMD_NTP_CALIBRATION, Sub(0));
    BRFN::DecodeNTPValues(C::Data(r), r.size(), dAux, dEst);
    QCOMPARE(c.Count(BRFN::CMD_NTP_CALIBRATION, 3), 1);
    if (address.isEmpty())
        QCOMPARE(dEst, CSimService::NO_NTP_RESPONSE);
    else
        QVERIFY2(qAbs(dEst - CClockLoopModel::NMEA_DELAY) < 0.005, qPrintable(QString::number(dEst)));
}

void tst_SimService::logWritten_data()
{
    QTest::addColumn<int>("command");
    QTest::newRow("control loop log") << int(BRFN::CMD_CONTROL_LOOP_STATUS_LOG);
    QTest::newRow("GPS data log") << int(BRFN::CMD_RECORD_GPS_DATA);
}

void tst_SimService::logWritten()
{
    QFETCH(int, command);
    const uint16_t nLog = uint16_t(command);
    QTemporaryDir dir;
    const QString strName = dir.filePath("a log.txt");
    QVERIFY(Start(Options()));
    C& c = *m_pClient;
    QCOMPARE(c.Ask(nLog, BRFN::EncodeLogStart(strName)), QByteArray::fromHex("0100"));
    // A second start while it runs is refused and the log keeps running.
    QCOMPARE(c.Ask(nLog, BRFN::EncodeLogStart(dir.filePath("other"))), QByteArray::fromHex("0102"));
    QCOMPARE(c.Ask(nLog, Sub(0)), BRFN::EncodeLogStatusReply(1, strName));
    Tick(4);
    QCOMPARE(c.Ask(nLog, Sub(2)), QByteArray::fromHex("0200"));
    QCOMPARE(c.Ask(nLog, Sub(2)), QByteArray::fromHex("0203")); // nothing left to stop
    QCOMPARE(c.Ask(nLog, Sub(0)), QByteArray(3, '\0'));
    QByteArray sent;
    for (const QByteArray& d : ReadDatagrams())
        sent += d;
    Tick(1); // after the stop: not written

    QFile file(strName);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    if (nLog == BRFN::CMD_RECORD_GPS_DATA) {
        // Exactly the sentences sent over UDP, four seconds of them.
        QCOMPARE(text, sent);
        QCOMPARE(text.count("GGA,"), 4);
        return;
    }
    const QList<QByteArray> lines = text.split('\n');
    QCOMPARE(lines.size(), 1 + 4 + 1); // header, 4 rows, nothing after the last line end
    QVERIFY(lines[0].startsWith("UTC,TimeDiff,EstTimeError"));
    // The rows are the records pushed, digit for digit.
    const QList<QByteArray> pushes = c.All(BRFN::CMD_CONTROL_LOOP_STATUS);
    for (int i = 0; i < 4; ++i) {
        const QList<QByteArray> fields = lines[i + 1].trimmed().split(',');
        const BRFN::CMD_DATA_CONTROL_LOOP_STATUS s = C::Decode(BRFN::DecodeControlLoopStatus, pushes[i]);
        QCOMPARE(fields.size(), 14);
        QVERIFY(QDateTime::fromString(QString(fields[0]), Qt::ISODateWithMs).isValid());
        QCOMPARE(fields[1].toDouble(), s.dTimeDiff);
        QCOMPARE(fields[13].toInt(), s.nLoopState);
    }
}

void tst_SimService::logThatCannotOpen_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("start");
    QTest::newRow("missing folder") << int(BRFN::CMD_CONTROL_LOOP_STATUS_LOG)
                                    << BRFN::EncodeLogStart("/nonexistent-folder/x/log.csv");
    QTest::newRow("no name") << int(BRFN::CMD_CONTROL_LOOP_STATUS_LOG) << QByteArray::fromHex("01");
    QTest::newRow("a folder") << int(BRFN::CMD_RECORD_GPS_DATA) << BRFN::EncodeLogStart("/");
}

void tst_SimService::logThatCannotOpen()
{
    QFETCH(int, command);
    QFETCH(QByteArray, start);
    QVERIFY(Start(Options()));
    const QByteArray r = m_pClient->Ask(uint16_t(command), start);
    QCOMPARE(r.size(), 2);
    QVERIFY(r.at(1) != 0);
    QCOMPARE(m_pClient->Ask(uint16_t(command), Sub(0)), QByteArray(3, '\0'));
}

void tst_SimService::severalClients()
{
    QVERIFY(Start(Options()));
    C& a = *m_pClient;
    C b, c;
    QVERIFY(b.Connect(m_pService->ServerPort()));
    QVERIFY(c.Connect(m_pService->ServerPort()));
    QTRY_COMPARE(m_pService->ClientCount(), 3);
    Tick(1);
    QTRY_VERIFY(a.Count(BRFN::CMD_GPS_STATUS) == 1 && b.Count(BRFN::CMD_GPS_STATUS) == 1 &&
                c.Count(BRFN::CMD_GPS_STATUS) == 1);
    // A reply goes to the panel that asked only.
    QVERIFY(!b.Ask(BRFN::CMD_GPS_LOCK_CONFIG, Sub(0)).isEmpty());
    QCOMPARE(a.Count(BRFN::CMD_GPS_LOCK_CONFIG) + c.Count(BRFN::CMD_GPS_LOCK_CONFIG), 0);
}

void tst_SimService::nmeaOverUdp()
{
    QVERIFY(Start(Options()));
    Tick(1);
    QList<QByteArray> datagrams;
    QTRY_VERIFY((datagrams += ReadDatagrams(), datagrams.size() >= 5));
    // One checked sentence per datagram, and the GPS record pushed is what they say.
    CNmeaEpochAssembler assembler;
    NMEA_EPOCH epoch;
    for (const QByteArray& d : datagrams)
        assembler.AddLine(d, epoch);
    QVERIFY(assembler.Flush(epoch));
    QCOMPARE(assembler.Counters().nDecoded, datagrams.size());
    QCOMPARE(epoch.sentences, datagrams);
    QTRY_COMPARE(m_pClient->Count(BRFN::CMD_GPS_STATUS), 1);
    const QByteArray pushed = m_pClient->Last(BRFN::CMD_GPS_STATUS);
    QCOMPARE(pushed, BRFN::EncodeGPSStatus(CNmeaGpsState().Apply(epoch)));
    const BRFN::CMD_DATA_GPS_STATUS gps = C::Decode(BRFN::DecodeGPSStatus, pushed);
    QVERIFY(gps.nSatsInView >= 4 && gps.nGPSTimeFlag == 1 && gps.nTimeSource == 1);
    // The synthesised sky moves: ten minutes later the first satellite stands elsewhere.
    Tick(600);
    const BRFN::SATELLITE_DATA& later = m_pService->GPSStatus().aSats[0];
    QVERIFY(later.nPRN != gps.aSats[0].nPRN || later.nAzimuth != gps.aSats[0].nAzimuth ||
            later.nElevation != gps.aSats[0].nElevation);
}

void tst_SimService::replayPushesTheCapture()
{
    SIM_OPTIONS o = Options();
    o.strReplayFile = DataFile("zed-f9p-dunedin.nmea");
    QVERIFY(Start(o));
    C& c = *m_pClient;
    Tick(1);
    QTRY_COMPARE(c.Count(BRFN::CMD_GPS_STATUS), 1);
    // 2019-04-12 00:39:56 UTC, from the capture's first ZDA (what the capture holds is tst_nmeacaptures'
    // concern).
    QCOMPARE(C::Decode(BRFN::DecodeGPSStatus, c.Last(BRFN::CMD_GPS_STATUS)).nGPSTime, 1555029596);
    // The capture's own lines go out over UDP, first to last of the epoch.
    QList<QByteArray> datagrams;
    QTRY_VERIFY(
        (datagrams += ReadDatagrams(), datagrams.size() >= m_pService->Replay().Epoch(0).sentences.size()));
    QCOMPARE(datagrams.first(),
             QByteArray("$GNRMC,003956.00,A,4552.65403,S,17030.00668,E,0.025,,120419,,,A,V*07\r\n"));
    QCOMPARE(datagrams, m_pService->Replay().Epoch(0).sentences);
    // Second by second, and round again after the last, announced with the reader's counts.
    Tick(29);
    QTRY_COMPARE(c.Count(BRFN::CMD_GPS_STATUS), 30);
    QCOMPARE(C::Decode(BRFN::DecodeGPSStatus, c.Last(BRFN::CMD_GPS_STATUS)).nGPSTime, 1555029596);
    int nRestarts = 0;
    for (const QByteArray& m : c.All(BRFN::CMD_MESSAGE))
        nRestarts += C::Decode(BRFN::DecodeMessage, m).startsWith("Replay restarted (pass 2): 29 epochs");
    QCOMPARE(nRestarts, 1);
}

void tst_SimService::badInputNeverStopsTheService()
{
    QVERIFY(Start(Options()));
    C& c = *m_pClient;
    // An unknown command, an empty payload, a push sent to the service, a
    // sub-command nobody defined: nothing is answered.
    c.Send(0x4299, Sub(0));
    c.Send(BRFN::CMD_COMM_PORT, QByteArray());
    c.Send(BRFN::CMD_GPS_STATUS, Sub(0));
    c.Send(BRFN::CMD_NTP_CALIBRATION, Sub(9));
    QVERIFY(!c.Ask(BRFN::CMD_COMM_PORT, Sub(0)).isEmpty());
    QCOMPARE(c.m_Packets.size(), 1);
    // Random payloads of every command.
    std::mt19937 random(11);
    std::uniform_int_distribution<int> command(BRFN::CMD_MESSAGE, BRFN::CMD_GPS_LOCK_CONFIG);
    std::uniform_int_distribution<int> length(0, 300);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 3000; ++i) {
        QByteArray payload;
        for (int k = length(random); k > 0; --k)
            payload.append(char(byte(random)));
        const uint16_t nCommand = uint16_t(command(random));
        // Log starts would create files under random names: leave them out.
        if ((nCommand == BRFN::CMD_CONTROL_LOOP_STATUS_LOG || nCommand == BRFN::CMD_RECORD_GPS_DATA) &&
            payload.startsWith('\x01'))
            payload[0] = char(0);
        c.Send(nCommand, payload);
        if (i % 500 == 0)
            Tick(1);
    }
    c.Send(BRFN::CMD_COMM_PORT, BRFN::EncodeCommPort(1, 4, 9600));
    c.Send(BRFN::CMD_COMM_PORT, Sub(0));
    QTRY_COMPARE(c.Last(BRFN::CMD_COMM_PORT, 0), BRFN::EncodeCommPort(0, 4, 9600));
    Tick(5);
    const BRFN::CMD_DATA_CONTROL_LOOP_STATUS s = m_pService->Loop().History().aEntries[9];
    QVERIFY(std::isfinite(s.dTimeDiff) && std::isfinite(s.dControlValue) && std::isfinite(s.dEstTimeError));
    QCOMPARE(m_pService->ClientCount(), 1);
}

void tst_SimService::drop_data()
{
    QTest::addColumn<bool>("cut");
    QTest::newRow("drop") << false;
    QTest::newRow("cut packet, then drop") << true;
}

void tst_SimService::drop()
{
    QFETCH(bool, cut);
    SIM_OPTIONS o = Options();
    o.nDropEvery = 2;
    o.bCutPacket = cut;
    QVERIFY(Start(o));
    C& c = *m_pClient;
    Tick(1);
    QTRY_COMPARE(c.Count(BRFN::CMD_GPS_STATUS), 1);
    QCOMPARE(c.m_Socket.state(), QAbstractSocket::ConnectedState);
    Tick(1);
    QTRY_COMPARE(c.m_Socket.state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(m_pService->ClientCount(), 0);
    // The second's pushes went out before the drop; a cut packet leaves the
    // framing in the middle of a GPS record's payload.
    QCOMPARE(c.m_Packets.size(), 4);
    QCOMPARE(c.m_Raw.size(), 2 * PUSH_BYTES + (cut ? (BRFN::SIZE_GPS_STATUS + 9) / 2 : 0));
    QCOMPARE(c.ReceiveState(), cut ? 8 : 0);
    // A panel is welcome again at once.
    QVERIFY(c.Connect(m_pService->ServerPort()));
    QTRY_COMPARE(m_pService->ClientCount(), 1);
}

void tst_SimService::garbageBetweenPackets()
{
    SIM_OPTIONS o = Options();
    o.bGarbage = true;
    QVERIFY(Start(o));
    C& c = *m_pClient;
    Tick(20);
    QTRY_VERIFY(c.m_Raw.size() >= 20 * PUSH_BYTES + 40);
    // Garbage can swallow a packet that follows a false start; most survive, whole.
    QVERIFY(c.Count(BRFN::CMD_CONTROL_LOOP_STATUS) >= 10);
    QVERIFY(c.Count(BRFN::CMD_GPS_STATUS) >= 10);
    for (const QByteArray& p : c.All(BRFN::CMD_GPS_STATUS))
        QCOMPARE(p.size(), int(BRFN::SIZE_GPS_STATUS));
    QVERIFY(!c.Ask(BRFN::CMD_GPS_LOCK_CONFIG, Sub(0)).isEmpty());
}

void tst_SimService::floodAndPanelThatNeverReads()
{
    SIM_OPTIONS o = Options();
    o.nFloodRate = 60000;
    QVERIFY(Start(o));
    // A second panel that never reads: the service drops it rather than
    // keeping what it cannot send.
    QTcpSocket idle;
    idle.setReadBufferSize(1);
    idle.connectToHost(QHostAddress::LocalHost, m_pService->ServerPort());
    QVERIFY(idle.waitForConnected(5000));
    QTRY_COMPARE(m_pService->ClientCount(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(m_pService->ClientCount(), 1, 30000);
    // The panel that reads keeps up, all without a single service second.
    QTRY_VERIFY_WITH_TIMEOUT(m_pClient->Count(BRFN::CMD_CONTROL_LOOP_STATUS) >= 5000, 20000);
    QCOMPARE(m_pClient->m_Socket.state(), QAbstractSocket::ConnectedState);
    QCOMPARE(m_pService->Second(), 0);
}

QTEST_MAIN(tst_SimService)
#include "tst_simservice.moc"

// The stand-in service against a real socket client: replies, settings,
// pushes, logs, the NMEA feed, replay and the fault modes. The service
// listens on a free port and sends NMEA to a free UDP port; most tests drive
// its seconds by hand (a slow clock plus OnTick) so they never wait.

#include "simservice.h"
#include "simtestclient.h"

#include <QtTest>

#include <QUdpSocket>

#include <cmath>
#include <random>

namespace {

SIM_OPTIONS ManualOptions(quint16 nNmeaPort)
{
    SIM_OPTIONS o;
    o.nPort = 0;
    o.nNmeaPort = nNmeaPort;
    o.dRate = 0.001; // one service second per 1000 s: the tests tick by hand
    o.nMessageEvery = 0;
    o.nCalibrationDelayMs = 50;
    return o;
}

QString DataFile(const QString& strName)
{
    return qEnvironmentVariable("TELLURIX_SOURCE_DIR") + "/tests/data/" + strName;
}

} // namespace

class tst_SimService : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void requestAnswered_data();
    void requestAnswered();
    void defaultsInReplies();
    void setsReflectedInReplies();
    void loopEnableAndResetReachThePushes();
    void commPortZeroMeansNoReceiver();
    void historyAndErase();
    void forcedCalibration_data();
    void forcedCalibration();
    void pushesArriveAtTheRate();
    void controlLoopLogWritten();
    void gpsDataLogWritten();
    void logThatCannotOpen_data();
    void logThatCannotOpen();
    void severalClientsAndReconnection();
    void nmeaOverUdp();
    void replayPushesTheCapture();
    void missingReplayFileRefused();
    void malformedInputIgnored();
    void randomPacketsNeverStopTheService();
    void dropEvery();
    void cutPacketBeforeDrop();
    void garbageBetweenPackets();
    void flood();

private:
    QUdpSocket* m_pNmea = nullptr;
    quint16 NmeaPort() const { return m_pNmea->localPort(); }
    QList<QByteArray> ReadDatagrams();
};

void tst_SimService::init()
{
    m_pNmea = new QUdpSocket(this);
    QVERIFY(m_pNmea->bind(QHostAddress(QHostAddress::LocalHost), 0));
}

void tst_SimService::cleanup()
{
    delete m_pNmea;
    m_pNmea = nullptr;
}

QList<QByteArray> tst_SimService::ReadDatagrams()
{
    QList<QByteArray> datagrams;
    while (m_pNmea->hasPendingDatagrams()) {
        QByteArray d(int(m_pNmea->pendingDatagramSize()), '\0');
        if (m_pNmea->readDatagram(d.data(), d.size()) < 0)
            break;
        datagrams.append(d);
    }
    return datagrams;
}

void tst_SimService::requestAnswered_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("sub");
    QTest::addColumn<int>("length");

    QTest::newRow("comm port") << int(BRFN::CMD_COMM_PORT) << 0 << int(BRFN::SIZE_COMM_PORT);
    QTest::newRow("time offset") << int(BRFN::CMD_TIME_DIFF_OFFSET) << 0 << int(BRFN::SIZE_TIME_DIFF_OFFSET);
    QTest::newRow("loop parameters") << int(BRFN::CMD_LOOP_PARAMETERS) << 0
                                     << int(BRFN::SIZE_LOOP_PARAMETERS);
    // Three seconds have passed: three entries.
    QTest::newRow("history") << int(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY) << 0
                             << int(BRFN::SIZE_HISTORY_HEADER + 3 * BRFN::SIZE_HISTORY_ENTRY);
    // 0, file status, empty name, terminating zero.
    QTest::newRow("control loop log") << int(BRFN::CMD_CONTROL_LOOP_STATUS_LOG) << 0 << 3;
    QTest::newRow("GPS data log") << int(BRFN::CMD_RECORD_GPS_DATA) << 0 << 3;
    QTest::newRow("NTP value") << int(BRFN::CMD_NTP_CALIBRATION) << 0 << int(BRFN::SIZE_NTP_VALUE);
    QTest::newRow("NTP address") << int(BRFN::CMD_NTP_CALIBRATION) << 2
                                 << int(1 + qstrlen(CSimService::DEFAULT_NTP_ADDRESS) + 1);
    QTest::newRow("GPS lock") << int(BRFN::CMD_GPS_LOCK_CONFIG) << 0 << int(BRFN::SIZE_GPS_LOCK_CONFIG);
}

void tst_SimService::requestAnswered()
{
    QFETCH(int, command);
    QFETCH(int, sub);
    CSimService service(ManualOptions(NmeaPort()));
    QVERIFY(service.Start());
    for (int i = 0; i < 3; ++i)
        service.OnTick();
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));
    client.Send(uint16_t(command), BRFN::EncodeSubCommand(uint8_t(sub)));
    QTRY_COMPARE(client.Count(uint16_t(command)), 1);
    const QByteArray reply = client.Last(uint16_t(command));
    QCOMPARE(int(uint8_t(reply.at(0))), sub);
    QTEST(reply.size(), "length");
    // Nothing else was sent: no tick passed while the test waited.
    QCOMPARE(client.m_Packets.size(), 1);
}

void tst_SimService::defaultsInReplies()
{
    CSimService service(ManualOptions(NmeaPort()));
    QVERIFY(service.Start());
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));
    client.Send(BRFN::CMD_COMM_PORT, BRFN::EncodeSubCommand(0));
    client.Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeSubCommand(0));
    client.Send(BRFN::CMD_NTP_CALIBRATION, BRFN::EncodeSubCommand(0));
    client.Send(BRFN::CMD_NTP_CALIBRATION, BRFN::EncodeSubCommand(2));
    QTRY_COMPARE(client.m_Packets.size(), 4);
    const QByteArray port = client.Last(BRFN::CMD_COMM_PORT);
    const BRFN::CMD_DATA_COMM_PORT p = BRFN::DecodeCommPort(CSimTestClient::Data(port), port.size());
    QCOMPARE(p.nPort, CSimService::DEFAULT_COMM_PORT);
    QCOMPARE(p.nBaud, CSimService::DEFAULT_BAUD);
    const QByteArray loop = client.Last(BRFN::CMD_LOOP_PARAMETERS);
    const BRFN::CMD_DATA_LOOP_PARAMETERS l =
        BRFN::DecodeLoopParameters(CSimTestClient::Data(loop), loop.size());
    QCOMPARE(l.bLoopEnabled, 1);
    QVERIFY(l.dTimeConstant > 0.0);
    const QByteArray ntp = client.Last(BRFN::CMD_NTP_CALIBRATION, 0);
    double dAux = 0.0, dEst = 0.0;
    BRFN::DecodeNTPValues(CSimTestClient::Data(ntp), ntp.size(), dAux, dEst);
    QCOMPARE(dEst, CSimService::NO_NTP_RESPONSE);
    const QByteArray address = client.Last(BRFN::CMD_NTP_CALIBRATION, 2);
    QCOMPARE(BRFN::DecodeNTPAddress(CSimTestClient::Data(address), address.size()),
             QString(CSimService::DEFAULT_NTP_ADDRESS));
}

void tst_SimService::setsReflectedInReplies()
{
    CSimService service(ManualOptions(NmeaPort()));
    QVERIFY(service.Start());
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));

    BRFN::CMD_DATA_LOOP_PARAMETERS params;
    params.dTimeConstant = 64.5;
    params.dGain = 0.25;
    params.dDamping = 0.9;
    params.dDetectorGain = 2.0;
    BRFN::CMD_DATA_GPS_LOCK_CONFIG lock;
    lock.bEnable = true;
    lock.nDelay = 0x12345678;
    client.Send(BRFN::CMD_COMM_PORT, BRFN::EncodeCommPort(1, 7, 115200));
    client.Send(BRFN::CMD_TIME_DIFF_OFFSET, BRFN::EncodeTimeDiffOffset(1, -0.03125));
    client.Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeLoopParameters(1, params, 0));
    client.Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeEnableControlLoop(false));
    client.Send(BRFN::CMD_NTP_CALIBRATION, BRFN::EncodeNTPAddressSet("time.example.org"));
    client.Send(BRFN::CMD_GPS_LOCK_CONFIG, BRFN::EncodeGPSLockConfig(1, lock));
    // A set gets no reply.
    client.Send(BRFN::CMD_COMM_PORT, BRFN::EncodeSubCommand(0));
    QTRY_COMPARE(client.m_Packets.size(), 1);
    QCOMPARE(client.m_Packets.first().nCommand, uint16_t(BRFN::CMD_COMM_PORT));

    client.Send(BRFN::CMD_TIME_DIFF_OFFSET, BRFN::EncodeSubCommand(0));
    client.Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeSubCommand(0));
    client.Send(BRFN::CMD_NTP_CALIBRATION, BRFN::EncodeSubCommand(2));
    client.Send(BRFN::CMD_GPS_LOCK_CONFIG, BRFN::EncodeSubCommand(0));
    QTRY_COMPARE(client.m_Packets.size(), 5);

    QByteArray r = client.Last(BRFN::CMD_COMM_PORT);
    const BRFN::CMD_DATA_COMM_PORT port = BRFN::DecodeCommPort(CSimTestClient::Data(r), r.size());
    QCOMPARE(port.nPort, 7);
    QCOMPARE(port.nBaud, 115200);
    r = client.Last(BRFN::CMD_TIME_DIFF_OFFSET);
    QCOMPARE(BRFN::DecodeTimeDiffOffset(CSimTestClient::Data(r), r.size()).dTimeDiffOffset, -0.03125);
    r = client.Last(BRFN::CMD_LOOP_PARAMETERS);
    const BRFN::CMD_DATA_LOOP_PARAMETERS l = BRFN::DecodeLoopParameters(CSimTestClient::Data(r), r.size());
    QCOMPARE(l.dTimeConstant, 64.5);
    QCOMPARE(l.dGain, 0.25);
    QCOMPARE(l.dDamping, 0.9);
    QCOMPARE(l.dDetectorGain, 2.0);
    QCOMPARE(l.bLoopEnabled, 0);
    r = client.Last(BRFN::CMD_NTP_CALIBRATION, 2);
    QCOMPARE(BRFN::DecodeNTPAddress(CSimTestClient::Data(r), r.size()), QString("time.example.org"));
    r = client.Last(BRFN::CMD_GPS_LOCK_CONFIG);
    const BRFN::CMD_DATA_GPS_LOCK_CONFIG c = BRFN::DecodeGPSLockConfig(CSimTestClient::Data(r), r.size());
    QCOMPARE(c.bEnable, true);
    QCOMPARE(c.nDelay, 0x12345678u);

    // A second client sees the same settings: they belong to the service.
    CSimTestClient other;
    QVERIFY(other.Connect(service.ServerPort()));
    other.Send(BRFN::CMD_TIME_DIFF_OFFSET, BRFN::EncodeSubCommand(0));
    QTRY_COMPARE(other.m_Packets.size(), 1);
    r = other.Last(BRFN::CMD_TIME_DIFF_OFFSET);
    QCOMPARE(BRFN::DecodeTimeDiffOffset(CSimTestClient::Data(r), r.size()).dTimeDiffOffset, -0.03125);
}

void tst_SimService::loopEnableAndResetReachThePushes()
{
    CSimService service(ManualOptions(NmeaPort()));
    QVERIFY(service.Start());
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));
    QTRY_COMPARE(service.ClientCount(), 1);
    auto lastState = [&client]() {
        const QByteArray s = client.Last(BRFN::CMD_CONTROL_LOOP_STATUS);
        return BRFN::DecodeControlLoopStatus(CSimTestClient::Data(s), s.size());
    };
    for (int i = 0; i < 20; ++i)
        service.OnTick();
    QTRY_COMPARE(client.Count(BRFN::CMD_CONTROL_LOOP_STATUS), 20);
    QCOMPARE(lastState().nLoopState, int(CClockLoopModel::LOOP_SYNCHING));
    QVERIFY(lastState().nSamples > 5);

    client.Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeEnableControlLoop(false));
    QTRY_VERIFY(!service.Loop().Enabled());
    service.OnTick();
    QTRY_COMPARE(client.Count(BRFN::CMD_CONTROL_LOOP_STATUS), 21);
    QCOMPARE(lastState().nLoopState, int(CClockLoopModel::LOOP_OFF));

    client.Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeEnableControlLoop(true));
    QTRY_VERIFY(service.Loop().Enabled());
    for (int i = 0; i < 10; ++i)
        service.OnTick();
    // The reset byte of a parameter set restarts the loop.
    client.Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeLoopParameters(1, service.Loop().Parameters(), 1));
    QTRY_COMPARE(service.Loop().State(), int(CClockLoopModel::LOOP_STARTING));
    service.OnTick();
    QTRY_COMPARE(client.Count(BRFN::CMD_CONTROL_LOOP_STATUS), 32);
    QCOMPARE(lastState().nLoopState, int(CClockLoopModel::LOOP_STARTING));
    QCOMPARE(lastState().nSamples, 1);
}

void tst_SimService::commPortZeroMeansNoReceiver()
{
    CSimService service(ManualOptions(NmeaPort()));
    QVERIFY(service.Start());
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));
    client.Send(BRFN::CMD_COMM_PORT, BRFN::EncodeCommPort(1, 0, 9600));
    client.Send(BRFN::CMD_COMM_PORT, BRFN::EncodeSubCommand(0));
    QTRY_COMPARE(client.Count(BRFN::CMD_COMM_PORT), 1);
    for (int i = 0; i < 6; ++i)
        service.OnTick();
    QTRY_COMPARE(client.Count(BRFN::CMD_GPS_STATUS), 6);
    const QByteArray g = client.Last(BRFN::CMD_GPS_STATUS);
    QCOMPARE(g.size(), int(BRFN::SIZE_GPS_STATUS));
    QCOMPARE(BRFN::DecodeGPSStatus(CSimTestClient::Data(g), g.size()).nSatsInView, 0);
    const QByteArray s = client.Last(BRFN::CMD_CONTROL_LOOP_STATUS);
    QCOMPARE(BRFN::DecodeControlLoopStatus(CSimTestClient::Data(s), s.size()).nLoopState,
             int(CClockLoopModel::LOOP_NO_GPS));
    QVERIFY(ReadDatagrams().isEmpty());
}

void tst_SimService::historyAndErase()
{
    CSimService service(ManualOptions(NmeaPort()));
    QVERIFY(service.Start());
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));
    QTRY_COMPARE(service.ClientCount(), 1);
    for (int i = 0; i < 12; ++i)
        service.OnTick();
    client.Send(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, BRFN::EncodeSubCommand(0));
    QTRY_COMPARE(client.Count(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY), 1);
    QByteArray r = client.Last(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY);
    BRFN::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY h;
    BRFN::DecodeHistory(CSimTestClient::Data(r), r.size(), h);
    QCOMPARE(h.nCount, 10);
    QCOMPARE(r.size(), BRFN::SIZE_HISTORY_HEADER + 10 * BRFN::SIZE_HISTORY_ENTRY);
    // The newest entry is the last status pushed (without its state).
    const QByteArray s = client.Last(BRFN::CMD_CONTROL_LOOP_STATUS);
    const BRFN::CMD_DATA_CONTROL_LOOP_STATUS last =
        BRFN::DecodeControlLoopStatus(CSimTestClient::Data(s), s.size());
    QCOMPARE(h.aEntries[9].dTimeDiff, last.dTimeDiff);
    QCOMPARE(h.aEntries[9].dStdDev, last.dStdDev);
    QCOMPARE(h.aEntries[9].nLoopState, 0);

    client.Send(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, BRFN::EncodeSubCommand(1));
    client.Send(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, BRFN::EncodeSubCommand(0));
    QTRY_COMPARE(client.Count(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY), 2);
    r = client.Last(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY);
    BRFN::DecodeHistory(CSimTestClient::Data(r), r.size(), h);
    QCOMPARE(h.nCount, 0);
    QCOMPARE(r.size(), int(BRFN::SIZE_HISTORY_HEADER));
}

void tst_SimService::forcedCalibration_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("response");
    QTest::newRow("server") << "time.example.org" << true;
    QTest::newRow("no server") << "" << false;
}

void tst_SimService::forcedCalibration()
{
    QFETCH(QString, address);
    QFETCH(bool, response);
    CSimService service(ManualOptions(NmeaPort()));
    QVERIFY(service.Start());
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));
    client.Send(BRFN::CMD_NTP_CALIBRATION, BRFN::EncodeNTPAddressSet(address));
    client.Send(BRFN::CMD_NTP_CALIBRATION, BRFN::EncodeSubCommand(3));
    // Not at once: the calibration takes a moment.
    QTRY_COMPARE(client.CountSub(BRFN::CMD_NTP_CALIBRATION, 3), 1);
    const QByteArray ready = client.Last(BRFN::CMD_NTP_CALIBRATION, 3);
    QCOMPARE(ready, QByteArray(1, '\x03'));
    client.Send(BRFN::CMD_NTP_CALIBRATION, BRFN::EncodeSubCommand(0));
    QTRY_COMPARE(client.CountSub(BRFN::CMD_NTP_CALIBRATION, 0), 1);
    const QByteArray r = client.Last(BRFN::CMD_NTP_CALIBRATION, 0);
    double dAux = 0.0, dEst = 0.0;
    BRFN::DecodeNTPValues(CSimTestClient::Data(r), r.size(), dAux, dEst);
    if (response)
        QVERIFY2(qAbs(dEst - CClockLoopModel::NMEA_DELAY) < 0.005, qPrintable(QString::number(dEst)));
    else
        QCOMPARE(dEst, CSimService::NO_NTP_RESPONSE);
}

void tst_SimService::pushesArriveAtTheRate()
{
    SIM_OPTIONS o = ManualOptions(NmeaPort());
    o.dRate = 10.0;
    CSimService service(o);
    QCOMPARE(service.TickIntervalMs(), 100);
    QVERIFY(service.Start());
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));
    QTRY_COMPARE(service.ClientCount(), 1);
    const int nFirst = service.Second();
    const int nBefore = client.Count(BRFN::CMD_GPS_STATUS);
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(client.Count(BRFN::CMD_GPS_STATUS) >= nBefore + 10, 20000);
    // Ten pushes that all arrived after the start need at least nine intervals of 100 ms.
    QVERIFY2(clock.elapsed() >= 850, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(service.Second() - nFirst >= 10);
    // Every second: one status, then one GPS record (texts aside).
    QList<CSimTestClient::PACKET> pushes;
    for (const CSimTestClient::PACKET& p : client.m_Packets) {
        if (p.nCommand != BRFN::CMD_MESSAGE)
            pushes.append(p);
    }
    for (int i = 0; i + 1 < pushes.size(); i += 2) {
        QCOMPARE(pushes[i].nCommand, uint16_t(BRFN::CMD_CONTROL_LOOP_STATUS));
        QCOMPARE(pushes[i].payload.size(), int(BRFN::SIZE_CONTROL_LOOP_STATUS));
        QCOMPARE(pushes[i + 1].nCommand, uint16_t(BRFN::CMD_GPS_STATUS));
        QCOMPARE(pushes[i + 1].payload.size(), int(BRFN::SIZE_GPS_STATUS));
    }
}

void tst_SimService::controlLoopLogWritten()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString strName = dir.filePath("loop status.csv");
    CSimService service(ManualOptions(NmeaPort()));
    QVERIFY(service.Start());
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));
    QTRY_COMPARE(service.ClientCount(), 1);
    const uint16_t nLog = BRFN::CMD_CONTROL_LOOP_STATUS_LOG;
    client.Send(nLog, BRFN::EncodeLogStart(strName));
    client.Send(nLog, BRFN::EncodeSubCommand(0));
    QTRY_COMPARE(client.Count(nLog), 2);
    QCOMPARE(client.Last(nLog, 1), QByteArray::fromHex("0100"));
    BRFN::LOG_REPLY reply;
    QByteArray r = client.Last(nLog, 0);
    QVERIFY(BRFN::DecodeLogReply(CSimTestClient::Data(r), r.size(), reply));
    QCOMPARE(reply.nFileStatus, 1);
    QCOMPARE(reply.strFileName, strName);
    // A second start while it runs is refused and the log keeps running.
    client.Send(nLog, BRFN::EncodeLogStart(dir.filePath("other.csv")));
    QTRY_COMPARE(client.CountSub(nLog, 1), 2);
    QCOMPARE(client.Last(nLog, 1), QByteArray::fromHex("0102"));

    for (int i = 0; i < 4; ++i)
        service.OnTick();
    QTRY_COMPARE(client.Count(BRFN::CMD_CONTROL_LOOP_STATUS), 4);
    client.Send(nLog, BRFN::EncodeSubCommand(2));
    client.Send(nLog, BRFN::EncodeSubCommand(0));
    client.Send(nLog, BRFN::EncodeSubCommand(2));
    QTRY_COMPARE(client.Count(nLog), 6);
    QCOMPARE(client.m_Packets.last().payload, QByteArray::fromHex("0203")); // nothing left to stop
    r = client.Last(nLog, 0);
    QVERIFY(BRFN::DecodeLogReply(CSimTestClient::Data(r), r.size(), reply));
    QCOMPARE(reply.nFileStatus, 0);
    QCOMPARE(reply.strFileName, QString());
    service.OnTick(); // after the stop: not written

    QFile file(strName);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 1 + 4 + 1); // header, 4 rows, nothing after the last line end
    QVERIFY(lines[0].startsWith("UTC,TimeDiff,EstTimeError"));
    for (int i = 1; i <= 4; ++i) {
        const QList<QByteArray> fields = lines[i].trimmed().split(',');
        QCOMPARE(fields.size(), 14);
        QVERIFY(QDateTime::fromString(QString(fields[0]), Qt::ISODateWithMs).isValid());
        bool bOk = false;
        fields[1].toDouble(&bOk);
        QVERIFY(bOk);
        const int nState = fields[13].toInt(&bOk);
        QVERIFY(bOk && nState >= 0 && nState <= 8);
    }
    // The rows are the records pushed: the time differences agree digit for digit.
    const QByteArray s = client.Last(BRFN::CMD_CONTROL_LOOP_STATUS);
    const double dLast = BRFN::DecodeControlLoopStatus(CSimTestClient::Data(s), s.size()).dTimeDiff;
    QCOMPARE(lines[4].split(',')[1].toDouble(), dLast);
}

void tst_SimService::gpsDataLogWritten()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString strName = dir.filePath("gps.txt");
    CSimService service(ManualOptions(NmeaPort()));
    QVERIFY(service.Start());
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));
    const uint16_t nLog = BRFN::CMD_RECORD_GPS_DATA;
    client.Send(nLog, BRFN::EncodeLogStart(strName));
    QTRY_COMPARE(client.Count(nLog), 1);
    QCOMPARE(client.Last(nLog, 1), QByteArray::fromHex("0100"));
    for (int i = 0; i < 3; ++i)
        service.OnTick();
    client.Send(nLog, BRFN::EncodeSubCommand(2));
    QTRY_COMPARE(client.Count(nLog), 2);
    QCOMPARE(client.Last(nLog, 2), QByteArray::fromHex("0200"));

    QFile file(strName);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    // The log holds exactly the sentences sent over UDP.
    QByteArray sent;
    for (const QByteArray& d : ReadDatagrams())
        sent += d;
    QCOMPARE(text, sent);
    int nGGA = 0;
    for (const QByteArray& line : text.split('\n')) {
        if (line.isEmpty())
            continue;
        NMEA_SENTENCE s;
        const CNmeaParser::Result result = CNmeaParser::ParseLine(line, s);
        QVERIFY2(result == CNmeaParser::RESULT_OK, line.constData());
        nGGA += s.eType == NMEA_SENTENCE::TYPE_GGA ? 1 : 0;
    }
    QCOMPARE(nGGA, 3);
}

void tst_SimService::logThatCannotOpen_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("name");
    QTest::newRow("loop log, missing folder")
        << int(BRFN::CMD_CONTROL_LOOP_STATUS_LOG) << "/nonexistent-folder/x/log.csv";
    QTest::newRow("GPS log, missing folder")
        << int(BRFN::CMD_RECORD_GPS_DATA) << "/nonexistent-folder/x/gps.txt";
    QTest::newRow("loop log, empty name") << int(BRFN::CMD_CONTROL_LOOP_STATUS_LOG) << "";
    QTest::newRow("GPS log, a folder") << int(BRFN::CMD_RECORD_GPS_DATA) << "/";
}

void tst_SimService::logThatCannotOpen()
{
    QFETCH(int, command);
    QFETCH(QString, name);
    CSimService service(ManualOptions(NmeaPort()));
    QVERIFY(service.Start());
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));
    client.Send(uint16_t(command), BRFN::EncodeLogStart(name));
    client.Send(uint16_t(command), BRFN::EncodeSubCommand(0));
    QTRY_COMPARE(client.Count(uint16_t(command)), 2);
    BRFN::LOG_REPLY reply;
    QByteArray r = client.Last(uint16_t(command), 1);
    QVERIFY(BRFN::DecodeLogReply(CSimTestClient::Data(r), r.size(), reply));
    QVERIFY(reply.nResult != 0);
    r = client.Last(uint16_t(command), 0);
    QVERIFY(BRFN::DecodeLogReply(CSimTestClient::Data(r), r.size(), reply));
    QCOMPARE(reply.nFileStatus, 0);
}

void tst_SimService::severalClientsAndReconnection()
{
    CSimService service(ManualOptions(NmeaPort()));
    QVERIFY(service.Start());
    CSimTestClient a, b, c;
    QVERIFY(a.Connect(service.ServerPort()));
    QVERIFY(b.Connect(service.ServerPort()));
    QVERIFY(c.Connect(service.ServerPort()));
    QTRY_COMPARE(service.ClientCount(), 3);
    service.OnTick();
    QTRY_VERIFY(a.Count(BRFN::CMD_GPS_STATUS) == 1 && b.Count(BRFN::CMD_GPS_STATUS) == 1 &&
                c.Count(BRFN::CMD_GPS_STATUS) == 1);
    // A reply goes to the panel that asked only.
    b.Send(BRFN::CMD_GPS_LOCK_CONFIG, BRFN::EncodeSubCommand(0));
    QTRY_COMPARE(b.Count(BRFN::CMD_GPS_LOCK_CONFIG), 1);
    QCOMPARE(a.Count(BRFN::CMD_GPS_LOCK_CONFIG), 0);

    b.m_Socket.disconnectFromHost();
    QTRY_COMPARE(service.ClientCount(), 2);
    QVERIFY(b.Connect(service.ServerPort()));
    QTRY_COMPARE(service.ClientCount(), 3);
    b.Send(BRFN::CMD_GPS_LOCK_CONFIG, BRFN::EncodeSubCommand(0));
    QTRY_COMPARE(b.Count(BRFN::CMD_GPS_LOCK_CONFIG), 2);
    service.OnTick();
    QTRY_VERIFY(a.Count(BRFN::CMD_GPS_STATUS) == 2 && b.Count(BRFN::CMD_GPS_STATUS) == 2 &&
                c.Count(BRFN::CMD_GPS_STATUS) == 2);
}

void tst_SimService::nmeaOverUdp()
{
    CSimService service(ManualOptions(NmeaPort()));
    QVERIFY(service.Start());
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));
    QTRY_COMPARE(service.ClientCount(), 1);
    service.OnTick();
    QList<QByteArray> datagrams;
    QTRY_VERIFY((datagrams += ReadDatagrams(), datagrams.size() >= 5));
    QSet<QByteArray> types;
    CNmeaEpochAssembler assembler;
    NMEA_EPOCH epoch;
    for (const QByteArray& d : datagrams) {
        QVERIFY(d.endsWith("\r\n"));
        NMEA_SENTENCE s;
        QCOMPARE(CNmeaParser::ParseLine(d, s), CNmeaParser::RESULT_OK);
        types.insert(s.typeName);
        assembler.AddLine(d, epoch);
    }
    QCOMPARE(types, (QSet<QByteArray>{"GGA", "RMC", "GSA", "GSV", "ZDA"}));
    // The GPS record pushed is what the sentences say.
    QVERIFY(assembler.Flush(epoch));
    CNmeaGpsState state;
    const BRFN::CMD_DATA_GPS_STATUS fromSentences = state.Apply(epoch);
    QTRY_COMPARE(client.Count(BRFN::CMD_GPS_STATUS), 1);
    const QByteArray g = client.Last(BRFN::CMD_GPS_STATUS);
    const BRFN::CMD_DATA_GPS_STATUS pushed = BRFN::DecodeGPSStatus(CSimTestClient::Data(g), g.size());
    QVERIFY(pushed.nSatsInView >= 4);
    QCOMPARE(pushed.nSatsInView, fromSentences.nSatsInView);
    QCOMPARE(pushed.dLatitude, fromSentences.dLatitude);
    QCOMPARE(pushed.nGPSTime, fromSentences.nGPSTime);
    QCOMPARE(pushed.nGPSTimeFlag, 1);
    QCOMPARE(pushed.nTimeSource, 1);
    for (int i = 0; i < pushed.nSatsInView; ++i) {
        QCOMPARE(pushed.aSats[i].nPRN, fromSentences.aSats[i].nPRN);
        QCOMPARE(pushed.aSats[i].nAzimuth, fromSentences.aSats[i].nAzimuth);
        QCOMPARE(pushed.aSats[i].nElevation, fromSentences.aSats[i].nElevation);
    }
    // The synthesised sky moves: ten minutes later the satellites stand elsewhere.
    for (int i = 0; i < 600; ++i)
        service.OnTick();
    QVERIFY(service.GPSStatus().aSats[0].nPRN != pushed.aSats[0].nPRN ||
            service.GPSStatus().aSats[0].nAzimuth != pushed.aSats[0].nAzimuth ||
            service.GPSStatus().aSats[0].nElevation != pushed.aSats[0].nElevation);
}

void tst_SimService::replayPushesTheCapture()
{
    SIM_OPTIONS o = ManualOptions(NmeaPort());
    o.strReplayFile = DataFile("zed-f9p-dunedin.nmea");
    CSimService service(o);
    QVERIFY(service.Start());
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));
    QTRY_COMPARE(service.ClientCount(), 1);
    service.OnTick();
    QTRY_COMPARE(client.Count(BRFN::CMD_GPS_STATUS), 1);
    const QByteArray g = client.Last(BRFN::CMD_GPS_STATUS);
    const BRFN::CMD_DATA_GPS_STATUS gps = BRFN::DecodeGPSStatus(CSimTestClient::Data(g), g.size());
    // 2019-04-12 00:39:56 UTC, from the capture's first ZDA; 41 satellites in view.
    QCOMPARE(gps.nGPSTime, 1555029596);
    QCOMPARE(gps.nTimeSource, 1);
    QCOMPARE(gps.nGPSTimeFlag, 1);
    QCOMPARE(gps.nSatsInView, 41);
    QVERIFY(qAbs(gps.dLatitude - -45.877567167) < 1e-8);
    QVERIFY(qAbs(gps.dLongitude - 170.500111333) < 1e-8);
    QCOMPARE(gps.dAltitude, 14.2);
    // The capture's own lines go out over UDP, first to last of the epoch.
    QList<QByteArray> datagrams;
    QTRY_VERIFY(
        (datagrams += ReadDatagrams(), datagrams.size() >= service.Replay().Epoch(0).sentences.size()));
    QCOMPARE(datagrams.first(),
             QByteArray("$GNRMC,003956.00,A,4552.65403,S,17030.00668,E,0.025,,120419,,,A,V*07\r\n"));
    QCOMPARE(datagrams, service.Replay().Epoch(0).sentences);
    // Second by second, and round again after the last.
    for (int i = 0; i < 29; ++i)
        service.OnTick();
    QTRY_COMPARE(client.Count(BRFN::CMD_GPS_STATUS), 30);
    const QByteArray again = client.Last(BRFN::CMD_GPS_STATUS);
    QCOMPARE(BRFN::DecodeGPSStatus(CSimTestClient::Data(again), again.size()).nGPSTime, 1555029596);
    // The restart is announced with the reader's counts.
    QStringList messages;
    for (const CSimTestClient::PACKET& p : client.m_Packets) {
        if (p.nCommand == BRFN::CMD_MESSAGE)
            messages << BRFN::DecodeMessage(CSimTestClient::Data(p.payload), p.payload.size());
    }
    QCOMPARE(messages.filter("Replay restarted (pass 2): 29 epochs").size(), 1);
}

void tst_SimService::missingReplayFileRefused()
{
    SIM_OPTIONS o = ManualOptions(NmeaPort());
    o.strReplayFile = DataFile("no-such-capture.nmea");
    CSimService service(o);
    QString strError;
    QVERIFY(!service.Start(&strError));
    QVERIFY(strError.contains("no-such-capture.nmea"));
}

void tst_SimService::malformedInputIgnored()
{
    CSimService service(ManualOptions(NmeaPort()));
    QVERIFY(service.Start());
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));
    // Noise, a false start, a bad checksum, an unknown command, empty and
    // short payloads, sub-commands nobody defined.
    client.m_Socket.write(QByteArray::fromHex("00ff4242524252000042450001ff00"));
    client.m_Socket.write(QByteArray::fromHex("42520000424500010089")); // checksum should be 88
    client.Send(0x4299, BRFN::EncodeSubCommand(0));
    client.Send(BRFN::CMD_COMM_PORT, QByteArray());
    client.Send(BRFN::CMD_GPS_STATUS, BRFN::EncodeSubCommand(0));
    client.Send(BRFN::CMD_NTP_CALIBRATION, BRFN::EncodeSubCommand(9));
    client.Send(BRFN::CMD_LOOP_PARAMETERS, QByteArray::fromHex("02")); // enable without its byte: disable
    client.Send(BRFN::CMD_TIME_DIFF_OFFSET, QByteArray::fromHex("017ff8000000000000")); // not a number
    client.Send(BRFN::CMD_CONTROL_LOOP_STATUS_LOG, QByteArray::fromHex("01")); // start without a name
    client.Send(BRFN::CMD_TIME_DIFF_OFFSET, BRFN::EncodeSubCommand(0));
    QTRY_COMPARE(client.Count(BRFN::CMD_TIME_DIFF_OFFSET), 1);
    const QByteArray r = client.Last(BRFN::CMD_TIME_DIFF_OFFSET);
    QCOMPARE(BRFN::DecodeTimeDiffOffset(CSimTestClient::Data(r), r.size()).dTimeDiffOffset,
             CClockLoopModel::NMEA_DELAY);
    // Only the nameless start was answered, with a failure.
    QCOMPARE(client.m_Packets.size(), 2);
    QCOMPARE(client.Last(BRFN::CMD_CONTROL_LOOP_STATUS_LOG, 1), QByteArray::fromHex("0101"));
    QVERIFY(!service.Loop().Enabled());
    QCOMPARE(service.ClientCount(), 1);
}

void tst_SimService::randomPacketsNeverStopTheService()
{
    CSimService service(ManualOptions(NmeaPort()));
    QVERIFY(service.Start());
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));
    std::mt19937 random(11);
    std::uniform_int_distribution<int> command(BRFN::CMD_MESSAGE, BRFN::CMD_GPS_LOCK_CONFIG);
    std::uniform_int_distribution<int> length(0, 300);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 3000; ++i) {
        QByteArray payload;
        const int n = length(random);
        for (int k = 0; k < n; ++k)
            payload.append(char(byte(random)));
        const uint16_t nCommand = uint16_t(command(random));
        // Log starts would create files under random names: leave them out.
        if ((nCommand == BRFN::CMD_CONTROL_LOOP_STATUS_LOG || nCommand == BRFN::CMD_RECORD_GPS_DATA) &&
            !payload.isEmpty() && payload.at(0) == char(1))
            payload[0] = char(0);
        client.Send(nCommand, payload);
        if (i % 500 == 0)
            service.OnTick();
    }
    client.Send(BRFN::CMD_COMM_PORT, BRFN::EncodeCommPort(1, 4, 9600));
    client.Send(BRFN::CMD_COMM_PORT, BRFN::EncodeSubCommand(0));
    QTRY_VERIFY(!client.Last(BRFN::CMD_COMM_PORT, 0).isEmpty() &&
                BRFN::DecodeCommPort(CSimTestClient::Data(client.Last(BRFN::CMD_COMM_PORT, 0)), 9).nPort ==
                    4);
    for (int i = 0; i < 5; ++i)
        service.OnTick();
    const BRFN::CMD_DATA_CONTROL_LOOP_STATUS s =
        service.Loop().History().aEntries[service.Loop().History().nCount - 1];
    QVERIFY(std::isfinite(s.dTimeDiff) && std::isfinite(s.dControlValue) && std::isfinite(s.dEstTimeError));
    QCOMPARE(service.ClientCount(), 1);
}

void tst_SimService::dropEvery()
{
    SIM_OPTIONS o = ManualOptions(NmeaPort());
    o.nDropEvery = 3;
    CSimService service(o);
    QVERIFY(service.Start());
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));
    QTRY_COMPARE(service.ClientCount(), 1);
    service.OnTick();
    service.OnTick();
    QTRY_COMPARE(client.Count(BRFN::CMD_GPS_STATUS), 2);
    QCOMPARE(client.m_Socket.state(), QAbstractSocket::ConnectedState);
    service.OnTick();
    QTRY_COMPARE(client.m_Socket.state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(service.ClientCount(), 0);
    // The third second's pushes went out before the drop.
    QCOMPARE(client.Count(BRFN::CMD_GPS_STATUS), 3);
    // A panel is welcome again at once.
    QVERIFY(client.Connect(service.ServerPort()));
    QTRY_COMPARE(service.ClientCount(), 1);
}

void tst_SimService::cutPacketBeforeDrop()
{
    SIM_OPTIONS o = ManualOptions(NmeaPort());
    o.nDropEvery = 1;
    o.bCutPacket = true;
    CSimService service(o);
    QVERIFY(service.Start());
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));
    QTRY_COMPARE(service.ClientCount(), 1);
    service.OnTick();
    QTRY_COMPARE(client.m_Socket.state(), QAbstractSocket::UnconnectedState);
    // Two whole packets, then half of a GPS record: the framing is left in
    // the middle of a payload.
    QCOMPARE(client.m_Packets.size(), 2);
    const int nWhole = BRFN::SIZE_CONTROL_LOOP_STATUS + 9 + BRFN::SIZE_GPS_STATUS + 9;
    QCOMPARE(client.m_Raw.size(), nWhole + (BRFN::SIZE_GPS_STATUS + 9) / 2);
    QCOMPARE(client.ReceiveState(), 8);
}

void tst_SimService::garbageBetweenPackets()
{
    SIM_OPTIONS o = ManualOptions(NmeaPort());
    o.bGarbage = true;
    CSimService service(o);
    QVERIFY(service.Start());
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));
    QTRY_COMPARE(service.ClientCount(), 1);
    for (int i = 0; i < 20; ++i)
        service.OnTick();
    const int nWhole = 20 * (BRFN::SIZE_CONTROL_LOOP_STATUS + 9 + BRFN::SIZE_GPS_STATUS + 9);
    QTRY_VERIFY(client.m_Raw.size() >= nWhole + 40);
    // Garbage can swallow a packet that follows a false start; most survive.
    QVERIFY(client.Count(BRFN::CMD_CONTROL_LOOP_STATUS) >= 10);
    QVERIFY(client.Count(BRFN::CMD_GPS_STATUS) >= 10);
    for (const CSimTestClient::PACKET& p : client.m_Packets) {
        if (p.nCommand == BRFN::CMD_GPS_STATUS)
            QCOMPARE(p.payload.size(), int(BRFN::SIZE_GPS_STATUS));
    }
    // The service still answers.
    client.Send(BRFN::CMD_GPS_LOCK_CONFIG, BRFN::EncodeSubCommand(0));
    QTRY_COMPARE(client.Count(BRFN::CMD_GPS_LOCK_CONFIG), 1);
}

void tst_SimService::flood()
{
    SIM_OPTIONS o = ManualOptions(NmeaPort());
    o.nFloodRate = 5000;
    CSimService service(o);
    QVERIFY(service.Start());
    CSimTestClient client;
    QVERIFY(client.Connect(service.ServerPort()));
    QTRY_VERIFY_WITH_TIMEOUT(client.Count(BRFN::CMD_CONTROL_LOOP_STATUS) >= 500, 20000);
    QCOMPARE(service.Second(), 0); // all of them without a single service second
}

QTEST_MAIN(tst_SimService)
#include "tst_simservice.moc"

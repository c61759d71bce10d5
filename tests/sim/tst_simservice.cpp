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

using namespace BRFN;
using C = CSimTestClient;

namespace {

QByteArray Sub(int nSub)
{
    return EncodeSubCommand(uint8_t(nSub));
}

const CMD_DATA_LOOP_PARAMETERS PARAMS{64.5, 0.25, 0.9, 2.0, 0};

const int PUSH_BYTES = SIZE_CONTROL_LOOP_STATUS + 9 + SIZE_GPS_STATUS + 9; // one second, framed

} // namespace

class tst_SimService : public QObject
{
    Q_OBJECT

    QUdpSocket m_Nmea;
    std::unique_ptr<CSimService> m_pService;
    std::unique_ptr<CSimTestClient> m_pClient;

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
        m_pClient.reset(new CSimTestClient);
        return m_pService->Start() && m_pClient->Connect(m_pService->ServerPort()) &&
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
        while (m_Nmea.hasPendingDatagrams()) {
            QByteArray d(int(m_Nmea.pendingDatagramSize()), '\0');
            if (m_Nmea.readDatagram(d.data(), d.size()) < 0)
                break;
            datagrams.append(d);
        }
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

    void reply_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArrayList>("sets"); // sent before the request
        QTest::addColumn<int>("sub");
        QTest::addColumn<QByteArray>("expected");

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
        ROW("NTP address cut to 510", CMD_NTP_CALIBRATION, {"\x01" + QByteArray(4000, 'n') + '\0'}, 2,
            EncodeNTPAddressReply(QString(MAX_NTP_ADDRESS, 'n')));
        ROW("GPS lock set", CMD_GPS_LOCK_CONFIG, {EncodeGPSLockConfig(1, lock)}, 0,
            EncodeGPSLockConfig(0, lock));
#undef ROW
        // clang-format on
    }
    void reply()
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

    void settingReachesThePushes_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArrayList>("sets"); // sent once the loop is synchronising
        QTest::addColumn<int>("state");           // of the next second
        using L = QByteArrayList;
        using M = CClockLoopModel;
        const int LOOP = CMD_LOOP_PARAMETERS;
        QTest::newRow("loop disabled") << LOOP << L{EncodeEnableControlLoop(false)} << int(M::LOOP_OFF);
        QTest::newRow("loop enabled again")
            << LOOP << L{EncodeEnableControlLoop(false), EncodeEnableControlLoop(true)}
            << int(M::LOOP_STARTING);
        QTest::newRow("with reset") << LOOP << L{EncodeLoopParameters(1, PARAMS, 1)} << int(M::LOOP_STARTING);
        QTest::newRow("without reset")
            << LOOP << L{EncodeLoopParameters(1, PARAMS, 0)} << int(M::LOOP_SYNCHING);
        // Serial port 0: no receiver, so no sentences and an empty GPS record.
        QTest::newRow("no serial port")
            << int(CMD_COMM_PORT) << L{EncodeCommPort(1, 0, 9600)} << int(M::LOOP_HOLDOVER);
    }
    void settingReachesThePushes()
    {
        QFETCH(int, command);
        QFETCH(QByteArrayList, sets);
        QVERIFY(Start(Options()));
        C& c = *m_pClient;
        Tick(20);
        QTRY_COMPARE(c.Count(CMD_CONTROL_LOOP_STATUS), 20);
        for (const QByteArray& set : sets)
            c.Send(uint16_t(command), set);
        c.Ask(uint16_t(command), Sub(0)); // the sets are applied by the time the reply leaves
        ReadDatagrams();
        Tick(1);
        QTRY_COMPARE(c.Count(CMD_GPS_STATUS), 21);
        QTEST(C::Decode(DecodeControlLoopStatus, c.Last(CMD_CONTROL_LOOP_STATUS)).nLoopState, "state");
        const bool bReceiver = command != CMD_COMM_PORT;
        QCOMPARE(ReadDatagrams().isEmpty(), !bReceiver);
        QCOMPARE(c.Last(CMD_GPS_STATUS) == EncodeGPSStatus(CMD_DATA_GPS_STATUS()), !bReceiver);
    }

    void historyAndErase()
    {
        QVERIFY(Start(Options()));
        C& c = *m_pClient;
        Tick(12);
        const QByteArray r = c.Ask(CMD_CONTROL_LOOP_STATUS_HISTORY, Sub(0));
        QCOMPARE(r.size(), SIZE_HISTORY_HEADER + 10 * SIZE_HISTORY_ENTRY);
        CMD_DATA_CONTROL_LOOP_STATUS_HISTORY h;
        DecodeHistory(C::Data(r), r.size(), h);
        QCOMPARE(h.nCount, 10);
        // The last ten records pushed, oldest first, without their state.
        const QByteArrayList pushes = c.All(CMD_CONTROL_LOOP_STATUS);
        QCOMPARE(pushes.size(), 12);
        for (int i = 0; i < 10; ++i) {
            CMD_DATA_CONTROL_LOOP_STATUS s = C::Decode(DecodeControlLoopStatus, pushes[i + 2]);
            s.nLoopState = 0;
            QCOMPARE(EncodeControlLoopStatus(h.aEntries[i]), EncodeControlLoopStatus(s));
        }
        c.Send(CMD_CONTROL_LOOP_STATUS_HISTORY, Sub(1));
        QCOMPARE(c.Ask(CMD_CONTROL_LOOP_STATUS_HISTORY, Sub(0)), QByteArray(SIZE_HISTORY_HEADER, '\0'));
    }

    void forcedCalibration_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("server") << "time.example.org";
        QTest::newRow("no server") << "";
    }
    void forcedCalibration()
    {
        QFETCH(QString, address);
        QVERIFY(Start(Options()));
        C& c = *m_pClient;
        c.Send(CMD_NTP_CALIBRATION, EncodeNTPAddressSet(address));
        // A second request while one runs is answered by the same result.
        c.Send(CMD_NTP_CALIBRATION, Sub(3));
        c.Send(CMD_NTP_CALIBRATION, Sub(3));
        QTRY_COMPARE(c.Count(CMD_NTP_CALIBRATION, 3), 1);
        QCOMPARE(c.Last(CMD_NTP_CALIBRATION), Sub(3));
        double dAux = 0.0, dEst = 0.0;
        const QByteArray r = c.Ask(CMD_NTP_CALIBRATION, Sub(0));
        DecodeNTPValues(C::Data(r), r.size(), dAux, dEst);
        QCOMPARE(c.Count(CMD_NTP_CALIBRATION, 3), 1);
        if (address.isEmpty())
            QCOMPARE(dEst, CSimService::NO_NTP_RESPONSE);
        else
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
        C& c = *m_pClient;
        // A log without a name, or in a missing folder, is refused and none runs.
        for (const QByteArray& start : {Sub(1), EncodeLogStart("/nonexistent-folder/log.csv")}) {
            const QByteArray r = c.Ask(nLog, start);
            QVERIFY2(r.size() == 2 && r.at(1) != 0, r.toHex().constData());
        }
        QCOMPARE(c.Ask(nLog, Sub(0)), QByteArray(3, '\0'));
        QCOMPARE(c.Ask(nLog, EncodeLogStart(strName)), QByteArray::fromHex("0100"));
        // A second start while it runs is refused and the log keeps running.
        QCOMPARE(c.Ask(nLog, EncodeLogStart(dir.filePath("other"))), QByteArray::fromHex("0102"));
        QCOMPARE(c.Ask(nLog, Sub(0)), EncodeLogStatusReply(1, strName));
        Tick(4);
        QCOMPARE(c.Ask(nLog, Sub(2)), QByteArray::fromHex("0200"));
        QCOMPARE(c.Ask(nLog, Sub(2)), QByteArray::fromHex("0203")); // nothing left to stop
        QCOMPARE(c.Ask(nLog, Sub(0)), QByteArray(3, '\0'));
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
        const QByteArrayList pushes = c.All(CMD_CONTROL_LOOP_STATUS);
        for (int i = 0; i < 4; ++i) {
            const QByteArrayList fields = lines[i + 1].trimmed().split(',');
            const CMD_DATA_CONTROL_LOOP_STATUS s = C::Decode(DecodeControlLoopStatus, pushes[i]);
            QCOMPARE(fields.size(), 14);
            QVERIFY(QDateTime::fromString(QString(fields[0]), Qt::ISODateWithMs).isValid());
            QCOMPARE(fields[1].toDouble(), s.dTimeDiff);
            QCOMPARE(fields[13].toInt(), s.nLoopState);
        }
    }

    void severalClients()
    {
        QVERIFY(Start(Options()));
        C& a = *m_pClient;
        C b, c;
        QVERIFY(b.Connect(m_pService->ServerPort()));
        QVERIFY(c.Connect(m_pService->ServerPort()));
        QTRY_COMPARE(m_pService->ClientCount(), 3);
        Tick(1);
        QTRY_VERIFY(a.Count(CMD_GPS_STATUS) == 1 && b.Count(CMD_GPS_STATUS) == 1 &&
                    c.Count(CMD_GPS_STATUS) == 1);
        // A reply goes to the panel that asked only.
        QVERIFY(!b.Ask(CMD_GPS_LOCK_CONFIG, Sub(0)).isEmpty());
        QCOMPARE(a.Count(CMD_GPS_LOCK_CONFIG) + c.Count(CMD_GPS_LOCK_CONFIG), 0);
    }

    // A second's NMEA goes out one sentence per datagram, before the pushes,
    // and the GPS record pushed is what those sentences say.
    void nmeaFeed_data()
    {
        QTest::addColumn<QString>("capture");
        QTest::newRow("synthesised sky") << QString();
        QTest::newRow("capture replay") << "zed-f9p-dunedin.nmea";
    }
    void nmeaFeed()
    {
        QFETCH(QString, capture);
        SIM_OPTIONS o = Options();
        o.strReplayFile = capture.isEmpty() ? QString() : DataFile(capture);
        QVERIFY(Start(o));
        C& c = *m_pClient;
        Tick(1);
        QTRY_COMPARE(c.Count(CMD_GPS_STATUS), 1);
        const QByteArrayList datagrams = ReadDatagrams();
        CNmeaEpochAssembler assembler;
        NMEA_EPOCH epoch;
        for (const QByteArray& d : datagrams)
            assembler.AddLine(d, epoch);
        QVERIFY(assembler.Flush(epoch));
        QCOMPARE(epoch.sentences, datagrams);
        const QByteArray pushed = c.Last(CMD_GPS_STATUS);
        QCOMPARE(pushed, EncodeGPSStatus(CNmeaGpsState().Apply(epoch)));
        const CMD_DATA_GPS_STATUS gps = C::Decode(DecodeGPSStatus, pushed);
        if (capture.isEmpty()) {
            QCOMPARE(assembler.Counters().nDecoded, datagrams.size());
            QVERIFY(gps.nSatsInView >= 4 && gps.nGPSTimeFlag == 1 && gps.nTimeSource == 1);
            // The sky moves: ten minutes later the first satellite stands elsewhere.
            Tick(600);
            const SATELLITE_DATA& later = m_pService->GPSStatus().aSats[0];
            QVERIFY(later.nPRN != gps.aSats[0].nPRN || later.nAzimuth != gps.aSats[0].nAzimuth ||
                    later.nElevation != gps.aSats[0].nElevation);
            return;
        }
        // The capture's own lines, from its first epoch; round again after the last,
        // announced with the reader's counts.
        QCOMPARE(datagrams, m_pService->Replay().Epoch(0).sentences);
        Tick(29);
        QTRY_COMPARE(c.Count(CMD_GPS_STATUS), 30);
        QCOMPARE(C::Decode(DecodeGPSStatus, c.Last(CMD_GPS_STATUS)).nGPSTime, gps.nGPSTime);
        int nRestarts = 0;
        for (const QByteArray& m : c.All(CMD_MESSAGE))
            nRestarts += C::Decode(DecodeMessage, m).startsWith("Replay restarted (pass 2): 29 epochs");
        QCOMPARE(nRestarts, 1);
    }

    void badInputNeverStopsTheService()
    {
        QVERIFY(Start(Options()));
        C& c = *m_pClient;
        // An unknown command, an empty payload, a push sent to the service, a
        // sub-command nobody defined: nothing is answered.
        c.Send(0x4299, Sub(0));
        c.Send(CMD_COMM_PORT, QByteArray());
        c.Send(CMD_GPS_STATUS, Sub(0));
        c.Send(CMD_NTP_CALIBRATION, Sub(9));
        QVERIFY(!c.Ask(CMD_COMM_PORT, Sub(0)).isEmpty());
        QCOMPARE(c.m_Packets.size(), 1);
        // Random payloads of every command.
        std::mt19937 random(11);
        std::uniform_int_distribution<int> command(CMD_MESSAGE, CMD_GPS_LOCK_CONFIG);
        std::uniform_int_distribution<int> length(0, 300);
        std::uniform_int_distribution<int> byte(0, 255);
        for (int i = 0; i < 3000; ++i) {
            QByteArray payload;
            for (int k = length(random); k > 0; --k)
                payload.append(char(byte(random)));
            const uint16_t nCommand = uint16_t(command(random));
            // Log starts would create files under random names: leave them out.
            if ((nCommand == CMD_CONTROL_LOOP_STATUS_LOG || nCommand == CMD_RECORD_GPS_DATA) &&
                payload.startsWith('\x01'))
                payload[0] = char(0);
            c.Send(nCommand, payload);
            if (i % 500 == 0)
                Tick(1);
        }
        c.Send(CMD_COMM_PORT, EncodeCommPort(1, 4, 9600));
        c.Send(CMD_COMM_PORT, Sub(0));
        QTRY_COMPARE(c.Last(CMD_COMM_PORT, 0), EncodeCommPort(0, 4, 9600));
        Tick(5);
        const CMD_DATA_CONTROL_LOOP_STATUS s = m_pService->Loop().History().aEntries[9];
        QVERIFY(std::isfinite(s.dTimeDiff) && std::isfinite(s.dControlValue) &&
                std::isfinite(s.dEstTimeError));
        QCOMPARE(m_pService->ClientCount(), 1);
    }

    void drop_data()
    {
        QTest::addColumn<bool>("cut");
        QTest::newRow("drop") << false;
        QTest::newRow("cut packet, then drop") << true;
    }
    void drop()
    {
        QFETCH(bool, cut);
        SIM_OPTIONS o = Options();
        o.nDropEvery = 2;
        o.bCutPacket = cut;
        QVERIFY(Start(o));
        C& c = *m_pClient;
        Tick(1);
        QTRY_COMPARE(c.Count(CMD_GPS_STATUS), 1);
        QCOMPARE(c.m_Socket.state(), QAbstractSocket::ConnectedState);
        Tick(1);
        QTRY_COMPARE(c.m_Socket.state(), QAbstractSocket::UnconnectedState);
        QTRY_COMPARE(m_pService->ClientCount(), 0);
        // The second's pushes went out before the drop; a cut packet leaves the
        // framing in the middle of a GPS record's payload.
        QCOMPARE(c.m_Packets.size(), 4);
        QCOMPARE(c.m_Raw.size(), 2 * PUSH_BYTES + (cut ? (SIZE_GPS_STATUS + 9) / 2 : 0));
        QCOMPARE(c.ReceiveState(), cut ? 8 : 0);
        // A panel is welcome again at once.
        QVERIFY(c.Connect(m_pService->ServerPort()));
        QTRY_COMPARE(m_pService->ClientCount(), 1);
    }

    void garbageBetweenPackets()
    {
        SIM_OPTIONS o = Options();
        o.bGarbage = true;
        QVERIFY(Start(o));
        C& c = *m_pClient;
        Tick(20);
        QTRY_VERIFY(c.m_Raw.size() >= 20 * PUSH_BYTES + 40);
        // Garbage can swallow a packet that follows a false start; most survive, whole.
        QVERIFY(c.Count(CMD_CONTROL_LOOP_STATUS) >= 10);
        QVERIFY(c.Count(CMD_GPS_STATUS) >= 10);
        for (const QByteArray& p : c.All(CMD_GPS_STATUS))
            QCOMPARE(p.size(), int(SIZE_GPS_STATUS));
        QVERIFY(!c.Ask(CMD_GPS_LOCK_CONFIG, Sub(0)).isEmpty());
    }

    void floodAndPanelThatNeverReads()
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
        QTRY_VERIFY_WITH_TIMEOUT(m_pClient->Count(CMD_CONTROL_LOOP_STATUS) >= 5000, 20000);
        QCOMPARE(m_pClient->m_Socket.state(), QAbstractSocket::ConnectedState);
        QCOMPARE(m_pService->Second(), 0);
    }
};

QTEST_MAIN(tst_SimService)
#include "tst_simservice.moc"

// The stand-in service against a real socket client. The service listens on a
// free port and sends NMEA to a free UDP port; the tests drive its seconds by
// hand (a slow clock plus OnTick) so they never wait.

#include "packetlog.h"
#include "simservice.h"

#include <QtTest>

#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QUdpSocket>

#include <memory>

using namespace BRFN;

namespace {

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

} // namespace

class tst_SimService : public QObject
{
    Q_OBJECT

    QUdpSocket m_Nmea;
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
};

QTEST_MAIN(tst_SimService)
#include "tst_simservice.moc"

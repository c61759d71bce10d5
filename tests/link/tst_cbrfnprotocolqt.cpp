// The protocol client against a real QTcpServer on 127.0.0.1:51501.
#include "cbrfnprotocolqt.h"
#include "wire.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <functional>
#include <memory>

using namespace BRFN;

namespace {

// Plays the service: accepts the client and collects the raw bytes it sends.
class FakeService : public QObject
{
public:
    QTcpServer server;
    QPointer<QTcpSocket> peer;
    QByteArray received;
    int nAccepted = 0;

    bool Listen() { return server.listen(QHostAddress::LocalHost, CBRFNProtocolQt::SERVICE_PORT); }
    FakeService()
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                ++nAccepted;
                received.clear();
                peer = s;
                connect(s, &QTcpSocket::readyRead, this, [this, s] {
                    if (s == peer)
                        received += s->readAll();
                });
            }
        });
    }
    void Send(const QByteArray& bytes)
    {
        peer->write(bytes);
        peer->flush();
    }
};

const QByteArray kStartup = request(CMD_CONTROL_LOOP_STATUS_HISTORY) + request(CMD_CONTROL_LOOP_STATUS_LOG) +
                            request(CMD_LOOP_PARAMETERS);

} // namespace

Q_DECLARE_METATYPE(std::function<void(CBRFNProtocolQt&)>)

class tst_CBRFNProtocolQt : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startupRequestsAreTheFirstPackets();
    void refusedAttemptsAreRetriedUntilTheServiceStarts();
    void reconnectsAfterTheServiceCloses();
    void threePacketsInOneSegmentGiveThreeSignalsInOrder();
    void packetSplitAcrossSegments();
    void dispatch_data();
    void dispatch();
    void commPortSetIsLoggedButNotAnnounced();
    void historyIsClearedOnReconnection();
    void ntpAddressKeepsValuesAcrossReconnection();
    void sendOperations_data();
    void sendOperations();

private:
    void connectClient();

    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<CBRFNProtocolQt> m_client;
};

void tst_CBRFNProtocolQt::initTestCase()
{
    CBRFNProtocolQt::RegisterMetaTypes();
}

void tst_CBRFNProtocolQt::init()
{
    m_service = std::make_unique<FakeService>();
}

void tst_CBRFNProtocolQt::cleanup()
{
    m_client.reset();
    m_service.reset();
}

void tst_CBRFNProtocolQt::connectClient()
{
    QVERIFY(m_service->Listen());
    m_client = std::make_unique<CBRFNProtocolQt>();
    QTRY_VERIFY(m_client->m_bConnected);
    QTRY_COMPARE(m_service->received, kStartup);
}

void tst_CBRFNProtocolQt::startupRequestsAreTheFirstPackets()
{
    QVERIFY(m_service->Listen());
    m_client = std::make_unique<CBRFNProtocolQt>();
    QSignalSpy connected(m_client.get(), &CBRFNProtocolQt::SignalConnected);
    QVERIFY(!m_client->m_bConnected);
    QTRY_COMPARE(connected.count(), 1);
    QVERIFY(m_client->m_bConnected);
    QTRY_COMPARE(m_service->received.toHex(), kStartup.toHex());
}

void tst_CBRFNProtocolQt::refusedAttemptsAreRetriedUntilTheServiceStarts()
{
    m_client = std::make_unique<CBRFNProtocolQt>();
    QSignalSpy connected(m_client.get(), &CBRFNProtocolQt::SignalConnected);
    // Count the refused attempts of one second through the debug stream.
    static int s_nRefused;
    s_nRefused = 0;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& msg) {
            if (msg.contains("ConnectionRefusedError"))
                ++s_nRefused;
        });
    QTest::qWait(1000);
    qInstallMessageHandler(previous);
    QCOMPARE(connected.count(), 0);
    QVERIFY(!m_client->m_bConnected);
    // Retried, but paced: not tens of thousands of attempts a second.
    QVERIFY2(s_nRefused >= 1 && s_nRefused <= 10, qPrintable(QString::number(s_nRefused)));

    QVERIFY(m_service->Listen());
    QTRY_COMPARE(connected.count(), 1);
    QTRY_COMPARE(m_service->received.toHex(), kStartup.toHex());
    QCOMPARE(m_service->nAccepted, 1);
}

void tst_CBRFNProtocolQt::reconnectsAfterTheServiceCloses()
{
    connectClient();
    QSignalSpy connected(m_client.get(), &CBRFNProtocolQt::SignalConnected);
    bool bFlagAtEmit = true;
    int nDisconnected = 0;
    connect(m_client.get(), &CBRFNProtocolQt::SignalDisconnected, this, [&] {
        ++nDisconnected;
        bFlagAtEmit = m_client->m_bConnected;
    });
    m_service->peer->disconnectFromHost();
    QTRY_COMPARE(nDisconnected, 1);
    QCOMPARE(bFlagAtEmit, false);
    QTRY_COMPARE(connected.count(), 1);
    QCOMPARE(m_service->nAccepted, 2);
    QTRY_COMPARE(m_service->received.toHex(), kStartup.toHex());

    // The service goes away entirely and comes back later.
    m_service->server.close();
    m_service->peer->disconnectFromHost();
    QTRY_COMPARE(nDisconnected, 2);
    QTest::qWait(300);
    QVERIFY(!m_client->m_bConnected);
    QVERIFY(m_service->Listen());
    QTRY_COMPARE(connected.count(), 2);
    QTRY_COMPARE(m_service->received.toHex(), kStartup.toHex());
}

void tst_CBRFNProtocolQt::threePacketsInOneSegmentGiveThreeSignalsInOrder()
{
    connectClient();
    QStringList order;
    connect(m_client.get(), &CBRFNProtocolQt::RxCmdGPSStatus, this,
            [&](CBRFNProtocolQt::CMD_DATA_GPS_STATUS g) {
                order << QStringLiteral("gps %1").arg(g.nSatsInView);
            });
    connect(m_client.get(), &CBRFNProtocolQt::RxCmdControlLoopStatus, this,
            [&](CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS s) {
                order << QStringLiteral("status %1").arg(s.nLoopState);
            });
    CMD_DATA_CONTROL_LOOP_STATUS s;
    s.nLoopState = 4;
    CMD_DATA_GPS_STATUS g;
    g.nSatsInView = 11;
    const QByteArray first = frame(CMD_CONTROL_LOOP_STATUS, EncodeControlLoopStatus(s));
    s.nLoopState = 6;
    m_service->Send(first + frame(CMD_GPS_STATUS, EncodeGPSStatus(g)) +
                    frame(CMD_CONTROL_LOOP_STATUS, EncodeControlLoopStatus(s)));
    QTRY_COMPARE(order.size(), 3);
    QCOMPARE(order, QStringList({"status 4", "gps 11", "status 6"}));
}

void tst_CBRFNProtocolQt::packetSplitAcrossSegments()
{
    connectClient();
    QSignalSpy status(m_client.get(), &CBRFNProtocolQt::RxCmdControlLoopStatus);
    CMD_DATA_CONTROL_LOOP_STATUS s;
    s.dTimeDiff = -0.0042;
    const QByteArray packet = frame(CMD_CONTROL_LOOP_STATUS, EncodeControlLoopStatus(s));
    m_service->Send(packet.left(5));
    m_service->Send(packet.mid(5, 50));
    m_service->Send(packet.mid(55, packet.size() - 56));
    QTest::qWait(100);
    QCOMPARE(status.count(), 0); // everything but the checksum byte has arrived
    m_service->Send(packet.right(1));
    QTRY_COMPARE(status.count(), 1);
    QCOMPARE(status.at(0).at(0).value<CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS>().dTimeDiff, -0.0042);
}

void tst_CBRFNProtocolQt::dispatch_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QString>("expected");

    CMD_DATA_GPS_LOCK_CONFIG lock;
    lock.bEnable = true;
    lock.nDelay = 45;
    CMD_DATA_LOOP_PARAMETERS params;
    params.dGain = 0.5;
    QTest::newRow("comm port reply") << frame(CMD_COMM_PORT, EncodeCommPort(0, 4, 38400)) << "port 4 38400";
    QTest::newRow("time offset reply")
        << frame(CMD_TIME_DIFF_OFFSET, EncodeTimeDiffOffset(0, 0.25)) << "offset 0.25";
    QTest::newRow("time offset set ignored")
        << frame(CMD_TIME_DIFF_OFFSET, EncodeTimeDiffOffset(1, 0.25)) << "";
    QTest::newRow("loop parameters reply")
        << frame(CMD_LOOP_PARAMETERS, EncodeLoopParameters(0, params, 1)) << "loop 0.5 1";
    QTest::newRow("loop enable ignored") << frame(CMD_LOOP_PARAMETERS, EncodeEnableControlLoop(true)) << "";
    QTest::newRow("lock reply") << frame(CMD_GPS_LOCK_CONFIG, EncodeGPSLockConfig(0, lock)) << "lock 1 45";
    QTest::newRow("lock set ignored") << frame(CMD_GPS_LOCK_CONFIG, EncodeGPSLockConfig(1, lock)) << "";
    QTest::newRow("log status") << frame(CMD_CONTROL_LOOP_STATUS_LOG, EncodeLogStatusReply(1, "/tmp/l.csv"))
                                << "log 0 1 0 /tmp/l.csv";
    QTest::newRow("log start result")
        << frame(CMD_CONTROL_LOOP_STATUS_LOG, EncodeLogResultReply(1, -3)) << "log 1 0 -3 ";
    QTest::newRow("gps log stop result")
        << frame(CMD_RECORD_GPS_DATA, EncodeLogResultReply(2, 0)) << "gpslog 2 0 0 ";
    QTest::newRow("gps log sub 4 ignored") << frame(CMD_RECORD_GPS_DATA, QByteArray("\x04\x00", 2)) << "";
    QTest::newRow("ntp value") << frame(CMD_NTP_CALIBRATION, EncodeNTPValues(2, 99999.9)) << "ntp 99999.9 ";
    QTest::newRow("ntp address") << frame(CMD_NTP_CALIBRATION, EncodeNTPAddressReply("a.b")) << "addr 0 a.b";
    QTest::newRow("ntp address just 2") << frame(CMD_NTP_CALIBRATION, QByteArray(1, '\x02')) << "addr 0 ";
    QTest::newRow("ntp set from service ignored")
        << frame(CMD_NTP_CALIBRATION, EncodeNTPAddressSet("x")) << "";
    QTest::newRow("ntp forced") << frame(CMD_NTP_CALIBRATION, QByteArray(1, '\x03')) << "forced";
    QTest::newRow("history nCount 0")
        << frame(CMD_CONTROL_LOOP_STATUS_HISTORY, QByteArray(13, '\0')) << "history 0";
    QTest::newRow("history erase ignored")
        << frame(CMD_CONTROL_LOOP_STATUS_HISTORY, QByteArray(1, '\x01')) << "";
    QTest::newRow("unknown id") << frame(0x424A, QByteArray(4, '\0')) << "";
    QTest::newRow("id in another family") << frame(0x4345, EncodeCommPort(0, 1, 1)) << "";
    QTest::newRow("empty payload reply") << frame(CMD_GPS_LOCK_CONFIG, QByteArray()) << "";
}

void tst_CBRFNProtocolQt::dispatch()
{
    QFETCH(QByteArray, packet);
    QFETCH(QString, expected);
    connectClient();
    CBRFNProtocolQt* c = m_client.get();
    QStringList got;
    connect(c, &CBRFNProtocolQt::RxCmdCommPort, this, [&](CBRFNProtocolQt::CMD_DATA_COMM_PORT d) {
        got << QStringLiteral("port %1 %2").arg(d.nPort).arg(d.nBaud);
    });
    connect(c, &CBRFNProtocolQt::RxCmdTimeDiffOffset, this,
            [&](CBRFNProtocolQt::CMD_DATA_TIME_DIFF_OFFSET d) {
                got << QStringLiteral("offset %1").arg(d.dTimeDiffOffset);
            });
    connect(c, &CBRFNProtocolQt::RxCmdLoopParameters, this, [&](CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS d) {
        got << QStringLiteral("loop %1 %2").arg(d.dGain).arg(d.bLoopEnabled);
    });
    connect(c, &CBRFNProtocolQt::RxCmdGPSLockConfig, this, [&](CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG d) {
        got << QStringLiteral("lock %1 %2").arg(d.bEnable).arg(d.nDelay);
    });
    connect(c, &CBRFNProtocolQt::RxCmdControlLoopStatusLog, this, [&](int a, int b, int r, QString& name) {
        got << QStringLiteral("log %1 %2 %3 %4").arg(a).arg(b).arg(r).arg(name);
    });
    connect(c, &CBRFNProtocolQt::RxCmdRecordGPSData, this, [&](int a, int b, int r, QString& name) {
        got << QStringLiteral("gpslog %1 %2 %3 %4").arg(a).arg(b).arg(r).arg(name);
    });
    connect(c, &CBRFNProtocolQt::RxCmdNTPCalibration, this, [&](CBRFNProtocolQt::CMD_DATA_NTP_CALIBRATION d) {
        got << QStringLiteral("ntp %1 %2").arg(d.dEstCalibration).arg(d.strNTPAddress);
    });
    connect(c, &CBRFNProtocolQt::RxCmdNTPAddress, this, [&](CBRFNProtocolQt::CMD_DATA_NTP_CALIBRATION d) {
        got << QStringLiteral("addr %1 %2").arg(d.dEstCalibration).arg(d.strNTPAddress);
    });
    connect(c, &CBRFNProtocolQt::RxCmdForceNTPCalibration, this, [&] { got << QStringLiteral("forced"); });
    connect(c, &CBRFNProtocolQt::RxCmdControlLoopStatusHistory, this,
            [&](CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY& h) {
                got << QStringLiteral("history %1").arg(h.nCount);
            });
    connect(c, &CBRFNProtocolQt::RxCmdControlLoopStatus, this, [&] { got << QStringLiteral("status"); });

    // A status push after the packet under test shows that it has been handled.
    m_service->Send(packet + frame(CMD_CONTROL_LOOP_STATUS, QByteArray(82, '\0')));
    QTRY_VERIFY(!got.isEmpty() && got.last() == "status");
    got.removeLast();
    QCOMPARE(got.join('|'), expected);
}

void tst_CBRFNProtocolQt::commPortSetIsLoggedButNotAnnounced()
{
    connectClient();
    QSignalSpy port(m_client.get(), &CBRFNProtocolQt::RxCmdCommPort);
    QSignalSpy status(m_client.get(), &CBRFNProtocolQt::RxCmdControlLoopStatus);
    QTest::ignoreMessage(QtDebugMsg, "Port: 9 Baud: 1200");
    QTest::ignoreMessage(QtDebugMsg, "Port: 2 Baud: 4800");
    QTest::ignoreMessage(QtDebugMsg, "Message: \"hello\"");
    m_service->Send(
        frame(CMD_COMM_PORT, EncodeCommPort(1, 9, 1200)) + frame(CMD_COMM_PORT, EncodeCommPort(0, 2, 4800)) +
        frame(CMD_MESSAGE, EncodeMessage("hello")) + frame(CMD_CONTROL_LOOP_STATUS, QByteArray(82, '\0')));
    QTRY_COMPARE(status.count(), 1);
    QCOMPARE(port.count(), 1);
    QCOMPARE(port.at(0).at(0).value<CBRFNProtocolQt::CMD_DATA_COMM_PORT>().nPort, 2);
}

void tst_CBRFNProtocolQt::historyIsClearedOnReconnection()
{
    connectClient();
    CMD_DATA_CONTROL_LOOP_STATUS_HISTORY h;
    h.nCount = 2;
    h.aEntries[0].dTimeDiff = 1.0;
    h.aEntries[1].dTimeDiff = 2.0;
    const CMD_DATA_CONTROL_LOOP_STATUS_HISTORY* pSeen = nullptr;
    QVector<double> first;
    connect(m_client.get(), &CBRFNProtocolQt::RxCmdControlLoopStatusHistory, this,
            [&](CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY& r) {
                pSeen = &r;
                first.clear();
                for (int i = 0; i < MAX_HISTORY_ENTRIES; ++i)
                    first << r.aEntries[i].dTimeDiff;
            });
    m_service->Send(frame(CMD_CONTROL_LOOP_STATUS_HISTORY, EncodeHistory(h)));
    QTRY_VERIFY(pSeen);
    QCOMPARE(first.mid(0, 3), QVector<double>({1.0, 2.0, 0.0}));

    // Reconnect; an empty reply then shows the record was zeroed, not kept.
    m_service->peer->disconnectFromHost();
    QTRY_COMPARE(m_service->nAccepted, 2);
    QTRY_VERIFY(m_client->m_bConnected);
    pSeen = nullptr;
    m_service->Send(frame(CMD_CONTROL_LOOP_STATUS_HISTORY, QByteArray(13, '\0')));
    QTRY_VERIFY(pSeen);
    QCOMPARE(first.mid(0, 3), QVector<double>({0.0, 0.0, 0.0}));
}

void tst_CBRFNProtocolQt::ntpAddressKeepsValuesAcrossReconnection()
{
    connectClient();
    QSignalSpy values(m_client.get(), &CBRFNProtocolQt::RxCmdNTPCalibration);
    QSignalSpy address(m_client.get(), &CBRFNProtocolQt::RxCmdNTPAddress);
    m_service->Send(frame(CMD_NTP_CALIBRATION, EncodeNTPValues(1.5, -0.031)));
    QTRY_COMPARE(values.count(), 1);

    m_service->peer->disconnectFromHost();
    QTRY_COMPARE(m_service->nAccepted, 2);
    QTRY_VERIFY(m_client->m_bConnected);
    m_service->Send(frame(CMD_NTP_CALIBRATION, EncodeNTPAddressReply("ntp.example")));
    QTRY_COMPARE(address.count(), 1);
    const auto d = address.at(0).at(0).value<CBRFNProtocolQt::CMD_DATA_NTP_CALIBRATION>();
    QCOMPARE(d.dNTPAux, 1.5);
    QCOMPARE(d.dEstCalibration, -0.031);
    QCOMPARE(d.strNTPAddress, QString("ntp.example"));
}

void tst_CBRFNProtocolQt::sendOperations_data()
{
    using Op = std::function<void(CBRFNProtocolQt&)>;
    QTest::addColumn<Op>("op");
    QTest::addColumn<QByteArray>("wire");

    CMD_DATA_LOOP_PARAMETERS p;
    p.dTimeConstant = 1;
    p.dGain = 2;
    p.dDamping = 4;
    p.dDetectorGain = 8;
    p.bLoopEnabled = 1;
    CMD_DATA_GPS_LOCK_CONFIG lock;
    lock.bEnable = true;
    lock.nDelay = 0x01020304;

    QTest::newRow("RequestCommPort") << Op([](auto& c) { c.RequestCommPort(); }) << request(0x4245);
    QTest::newRow("SetCommPort") << Op([](auto& c) { c.SetCommPort(3, 9600); })
                                 << frame(0x4245, QByteArray::fromHex("010000000300002580"));
    QTest::newRow("RequestTimeDiffOffset")
        << Op([](auto& c) { c.RequestTimeDiffOffset(); }) << request(0x4246);
    QTest::newRow("SetTimeDiffOffset") << Op([](auto& c) { c.SetTimeDiffOffset(-2.0); })
                                       << frame(0x4246, QByteArray::fromHex("01c000000000000000"));
    QTest::newRow("RequestLoopParameters")
        << Op([](auto& c) { c.RequestLoopParameters(); }) << request(0x4248);
    QTest::newRow("SetLoopParameters no reset")
        << Op([p](auto& c) { c.SetLoopParameters(p, false); })
        << frame(0x4248,
                 QByteArray::fromHex("013ff0000000000000400000000000000040100000000000004020000000000000"
                                     "00"));
    QTest::newRow("SetLoopParameters reset")
        << Op([p](auto& c) { c.SetLoopParameters(p, true); })
        << frame(0x4248,
                 QByteArray::fromHex("013ff0000000000000400000000000000040100000000000004020000000000000"
                                     "01"));
    QTest::newRow("EnableControlLoop on")
        << Op([](auto& c) { c.EnableControlLoop(true); }) << frame(0x4248, QByteArray::fromHex("0201"));
    QTest::newRow("EnableControlLoop off")
        << Op([](auto& c) { c.EnableControlLoop(false); }) << frame(0x4248, QByteArray::fromHex("0200"));
    QTest::newRow("EraseHistory") << Op([](auto& c) { c.EraseHistory(); }) << request(0x4249, 1);
    QTest::newRow("RequestControlLoopStatusLog")
        << Op([](auto& c) { c.RequestControlLoopStatusLog(); }) << request(0x424C);
    QTest::newRow("StartControlLoopStatusLog")
        << Op([](auto& c) { c.StartControlLoopStatusLog("/a"); })
        << frame(0x424C, QByteArray("\x01/a", 3) + QByteArray(254, '\0'));
    QTest::newRow("StopControlLoopStatusLog")
        << Op([](auto& c) { c.StopControlLoopStatusLog(); }) << request(0x424C, 2);
    QTest::newRow("RequestRecordGPSData") << Op([](auto& c) { c.RequestRecordGPSData(); }) << request(0x424D);
    QTest::newRow("StartRecordGPSData") << Op([](auto& c) { c.StartRecordGPSData(QString(300, 'g')); })
                                        << frame(0x424D, QByteArray(1, '\x01') + QByteArray(256, 'g'));
    QTest::newRow("StopRecordGPSData") << Op([](auto& c) { c.StopRecordGPSData(); }) << request(0x424D, 2);
    QTest::newRow("RequestNTPCalibration")
        << Op([](auto& c) { c.RequestNTPCalibration(); }) << request(0x424E);
    QTest::newRow("SetNTPAddress empty")
        << Op([](auto& c) { c.SetNTPAddress(QString()); }) << frame(0x424E, QByteArray("\x01\x00", 2));
    QTest::newRow("RequestNTPAddress") << Op([](auto& c) { c.RequestNTPAddress(); }) << request(0x424E, 2);
    QTest::newRow("ForceNTPCalibration")
        << Op([](auto& c) { c.ForceNTPCalibration(); }) << request(0x424E, 3);
    QTest::newRow("RequestGPSLockConfig") << Op([](auto& c) { c.RequestGPSLockConfig(); }) << request(0x424F);
    QTest::newRow("SetGPSLockConfig") << Op([lock](auto& c) { c.SetGPSLockConfig(lock); })
                                      << frame(0x424F, QByteArray::fromHex("010101020304"));
}

void tst_CBRFNProtocolQt::sendOperations()
{
    using Op = std::function<void(CBRFNProtocolQt&)>;
    QFETCH(Op, op);
    QFETCH(QByteArray, wire);
    connectClient();
    m_service->received.clear();
    if (QByteArray(QTest::currentDataTag()).startsWith("SetNTPAddress"))
        QTest::ignoreMessage(QtDebugMsg, "Setting address to \"\"");
    op(*m_client);
    QTRY_COMPARE(m_service->received.toHex(), wire.toHex());
}

QTEST_GUILESS_MAIN(tst_CBRFNProtocolQt)
#include "tst_cbrfnprotocolqt.moc"

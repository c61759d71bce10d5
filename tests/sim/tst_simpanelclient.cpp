// The panel's own protocol client against the stand-in service on the fixed
// port 51501: the start-up requests are answered and the pushes arrive as
// the panel's signals.

#include "cbrfnprotocolqt.h"
#include "simservice.h"

#include <QtTest>

#include <QUdpSocket>

class tst_SimPanelClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startupRequestsAnsweredAndPushesArrive();
    void panelReconnectsAfterDrop();
};

void tst_SimPanelClient::initTestCase()
{
    CBRFNProtocolQt::RegisterMetaTypes();
}

void tst_SimPanelClient::startupRequestsAnsweredAndPushesArrive()
{
    QUdpSocket nmea;
    QVERIFY(nmea.bind(QHostAddress(QHostAddress::LocalHost), 0));
    SIM_OPTIONS o;
    o.nPort = CBRFNProtocolQt::SERVICE_PORT;
    o.nNmeaPort = nmea.localPort();
    o.dRate = 20.0;
    o.nMessageEvery = 0;
    CSimService service(o);
    QVERIFY(service.Start());

    CBRFNProtocolQt client;
    QSignalSpy connected(&client, SIGNAL(SignalConnected()));
    // Reference arguments do not fit a QSignalSpy: count them directly.
    int nHistory = 0, nLog = 0;
    connect(&client, &CBRFNProtocolQt::RxCmdControlLoopStatusHistory,
            [&nHistory](CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY&) { ++nHistory; });
    connect(&client, &CBRFNProtocolQt::RxCmdControlLoopStatusLog,
            [&nLog](int nSubCmd, int, int, QString&) { nLog += nSubCmd == 0 ? 1 : 0; });
    QSignalSpy loop(&client, SIGNAL(RxCmdLoopParameters(CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS)));
    QSignalSpy status(&client, SIGNAL(RxCmdControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS)));
    QSignalSpy gps(&client, SIGNAL(RxCmdGPSStatus(CBRFNProtocolQt::CMD_DATA_GPS_STATUS)));
    QSignalSpy lock(&client, SIGNAL(RxCmdGPSLockConfig(CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG)));
    QSignalSpy ready(&client, SIGNAL(RxCmdForceNTPCalibration()));
    QTRY_COMPARE(connected.count(), 1);
    QTRY_COMPARE(nHistory, 1);
    QTRY_COMPARE(nLog, 1);
    QTRY_COMPARE(loop.count(), 1);
    QCOMPARE(loop.first().first().value<CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS>().bLoopEnabled, 1);
    QTRY_VERIFY(status.count() >= 3 && gps.count() >= 3);
    const auto g = gps.last().first().value<CBRFNProtocolQt::CMD_DATA_GPS_STATUS>();
    QVERIFY(g.nSatsInView >= 4);
    QCOMPARE(g.nGPSTimeFlag, 1);

    CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG config;
    config.bEnable = true;
    config.nDelay = 90;
    client.SetGPSLockConfig(config);
    client.RequestGPSLockConfig();
    QTRY_COMPARE(lock.count(), 1);
    QCOMPARE(lock.first().first().value<CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG>().nDelay, 90u);
    client.ForceNTPCalibration();
    QTRY_COMPARE(ready.count(), 1);
}

void tst_SimPanelClient::panelReconnectsAfterDrop()
{
    QUdpSocket nmea;
    QVERIFY(nmea.bind(QHostAddress(QHostAddress::LocalHost), 0));
    SIM_OPTIONS o;
    o.nPort = CBRFNProtocolQt::SERVICE_PORT;
    o.nNmeaPort = nmea.localPort();
    o.dRate = 20.0;
    o.nMessageEvery = 0;
    o.nDropEvery = 5;
    o.bCutPacket = true;
    CSimService service(o);
    QVERIFY(service.Start());
    CBRFNProtocolQt client;
    QSignalSpy connected(&client, SIGNAL(SignalConnected()));
    QSignalSpy disconnected(&client, SIGNAL(SignalDisconnected()));
    QSignalSpy gps(&client, SIGNAL(RxCmdGPSStatus(CBRFNProtocolQt::CMD_DATA_GPS_STATUS)));
    QTRY_VERIFY_WITH_TIMEOUT(connected.count() >= 3 && disconnected.count() >= 2, 20000);
    // Half a GPS record before each drop: the panel's framing finishes it with
    // the next connection's bytes, drops it on the checksum and carries on.
    const int nBefore = gps.count();
    QTRY_VERIFY_WITH_TIMEOUT(gps.count() >= nBefore + 3, 10000);
    for (const QList<QVariant>& args : gps) {
        const auto g = args.first().value<CBRFNProtocolQt::CMD_DATA_GPS_STATUS>();
        QVERIFY(g.nSatsInView >= 0 && g.nSatsInView <= BRFN::MAX_SATELLITES);
    }
}

QTEST_MAIN(tst_SimPanelClient)
#include "tst_simpanelclient.moc"

// The panel's own protocol client against the stand-in service on the fixed
// port 51501: the start-up requests are answered, the pushes arrive as the
// panel's signals, and the panel comes back after the service drops it.

#include "cbrfnprotocolqt.h"
#include "simservice.h"

#include <QtTest>

#include <QUdpSocket>

class tst_SimPanelClient : public QObject
{
    Q_OBJECT

private slots:
    void panelServedAcrossDrops();
};

void tst_SimPanelClient::panelServedAcrossDrops()
{
    CBRFNProtocolQt::RegisterMetaTypes();
    QUdpSocket nmea;
    QVERIFY(nmea.bind(QHostAddress(QHostAddress::LocalHost), 0));
    SIM_OPTIONS o;
    o.nPort = CBRFNProtocolQt::SERVICE_PORT;
    o.nNmeaPort = nmea.localPort();
    o.dRate = 40.0;
    o.nMessageEvery = 0;
    o.nDropEvery = 20; // every half second
    o.bCutPacket = true;
    CSimService service(o);
    QVERIFY(service.Start());

    CBRFNProtocolQt client;
    QSignalSpy connected(&client, SIGNAL(SignalConnected()));
    QSignalSpy disconnected(&client, SIGNAL(SignalDisconnected()));
    // Reference arguments do not fit a QSignalSpy: count them directly.
    int nHistory = 0, nLog = 0;
    connect(&client, &CBRFNProtocolQt::RxCmdControlLoopStatusHistory,
            [&nHistory](CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY&) { ++nHistory; });
    connect(&client, &CBRFNProtocolQt::RxCmdControlLoopStatusLog,
            [&nLog](int nSubCmd, int, int, QString&) { nLog += nSubCmd == 0 ? 1 : 0; });
    QSignalSpy loop(&client, SIGNAL(RxCmdLoopParameters(CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS)));
    QSignalSpy gps(&client, SIGNAL(RxCmdGPSStatus(CBRFNProtocolQt::CMD_DATA_GPS_STATUS)));
    QTRY_VERIFY(connected.count() >= 1 && nHistory >= 1 && nLog >= 1 && loop.count() >= 1);
    QCOMPARE(loop.first().first().value<CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS>().bLoopEnabled, 1);
    QTRY_VERIFY(gps.count() >= 3);
    QVERIFY(gps.last().first().value<CBRFNProtocolQt::CMD_DATA_GPS_STATUS>().nSatsInView >= 4);

    // Half a GPS record before each drop: the panel's framing finishes it with
    // the next connection's bytes, drops it on the checksum and carries on.
    QTRY_VERIFY_WITH_TIMEOUT(connected.count() >= 3 && disconnected.count() >= 2, 20000);
    const int nBefore = gps.count();
    QTRY_VERIFY_WITH_TIMEOUT(gps.count() >= nBefore + 3, 10000);
    for (const QList<QVariant>& args : gps)
        QVERIFY(args.first().value<CBRFNProtocolQt::CMD_DATA_GPS_STATUS>().nSatsInView <=
                BRFN::MAX_SATELLITES);
}

QTEST_MAIN(tst_SimPanelClient)
#include "tst_simpanelclient.moc"

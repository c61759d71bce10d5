// The built tellurix-sim program: its options, its start with a capture on
// free ports, and its clean end on SIGINT and SIGTERM.

#include "brfncodec.h"
#include "simtestclient.h"

#include <QtTest>

#include <QProcess>
#include <QTcpServer>
#include <QUdpSocket>

#include <csignal>

namespace {

QString Program()
{
    return qEnvironmentVariable("TELLURIX_BIN_DIR") + "/tellurix-sim";
}

QString DataFile(const QString& strName)
{
    return qEnvironmentVariable("TELLURIX_SOURCE_DIR") + "/tests/data/" + strName;
}

quint16 FreeTcpPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

} // namespace

class tst_SimProgram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void helpNamesEveryOption();
    void badArguments_data();
    void badArguments();
    void servesAndStopsOnSignal_data();
    void servesAndStopsOnSignal();
};

void tst_SimProgram::initTestCase()
{
    QVERIFY2(QFileInfo(Program()).isExecutable(), qPrintable(Program()));
}

void tst_SimProgram::helpNamesEveryOption()
{
    QProcess process;
    process.start(Program(), {"--help"});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    const QString strHelp = QString::fromLocal8Bit(process.readAllStandardOutput());
    for (const char* pszOption :
         {"--port", "--address", "--nmea-port", "--rate", "--replay", "--drop-every", "--cut-packet",
          "--garbage", "--flood", "--message-every", "--fix-loss-every", "--fix-loss-length",
          "--calibration-delay", "--seed", "--help"})
        QVERIFY2(strHelp.contains(QString(pszOption)), pszOption);
    QVERIFY(strHelp.contains("51501"));
    QVERIFY(strHelp.contains("51502"));
}

void tst_SimProgram::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing capture") << QStringList{"--port", "0", "--replay", "/nonexistent/capture.nmea"}
                                     << 1 << "cannot open /nonexistent/capture.nmea";
    QTest::newRow("port out of range") << QStringList{"--port", "70000"} << 2 << "--port";
    QTest::newRow("rate not a number") << QStringList{"--port", "0", "--rate", "fast"} << 2 << "--rate";
    QTest::newRow("rate zero") << QStringList{"--port", "0", "--rate", "0"} << 2 << "--rate";
    QTest::newRow("negative flood") << QStringList{"--port", "0", "--flood=-5"} << 2 << "--flood";
}

void tst_SimProgram::badArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QProcess process;
    process.start(Program(), arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QTEST(process.exitCode(), "exitCode");
    const QString strError = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(strError.contains(message), qPrintable(strError));
}

void tst_SimProgram::servesAndStopsOnSignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void tst_SimProgram::servesAndStopsOnSignal()
{
    QFETCH(int, signal);
    QUdpSocket nmea;
    QVERIFY(nmea.bind(QHostAddress(QHostAddress::LocalHost), 0));
    const quint16 nPort = FreeTcpPort();
    QVERIFY(nPort != 0);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString strLog = dir.filePath("loop.csv");

    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(Program(),
                  {"--port", QString::number(nPort), "--nmea-port", QString::number(nmea.localPort()),
                   "--rate", "20", "--replay", DataFile("um621-fixloss.nmea")});
    QVERIFY(process.waitForStarted(10000));
    QString strError;
    QTRY_VERIFY_WITH_TIMEOUT((strError += QString::fromLocal8Bit(process.readAllStandardError()),
                              strError.contains("listening on")),
                             10000);
    // What the reader made of the capture is reported at the start.
    QVERIFY2(strError.contains("20 epochs from 883 lines"), qPrintable(strError));

    CSimTestClient client;
    QVERIFY(client.Connect(nPort));
    client.Send(BRFN::CMD_CONTROL_LOOP_STATUS_LOG, BRFN::EncodeLogStart(strLog));
    QTRY_VERIFY_WITH_TIMEOUT(client.Count(BRFN::CMD_GPS_STATUS) >= 3, 10000);
    QCOMPARE(client.Last(BRFN::CMD_CONTROL_LOOP_STATUS_LOG, 1), QByteArray::fromHex("0100"));
    // Each record is one second of the capture: 2024-06-09 00:06:53 .. 00:07:12 UTC.
    for (const CSimTestClient::PACKET& p : client.m_Packets) {
        if (p.nCommand != BRFN::CMD_GPS_STATUS)
            continue;
        const BRFN::CMD_DATA_GPS_STATUS g =
            BRFN::DecodeGPSStatus(CSimTestClient::Data(p.payload), p.payload.size());
        QVERIFY(g.nGPSTime >= 1717891613 && g.nGPSTime <= 1717891632);
        QVERIFY(g.nSatsInView >= 43);
    }
    QTRY_VERIFY(nmea.hasPendingDatagrams());

    ::kill(pid_t(process.processId()), signal);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    strError += QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(strError.contains("stopped after"), qPrintable(strError));
    // The log was closed whole: header and one complete row per second.
    QFile log(strLog);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    QVERIFY(text.startsWith("UTC,"));
    QVERIFY(text.endsWith("\r\n"));
    QVERIFY(text.count('\n') >= 2);
}

QTEST_MAIN(tst_SimProgram)
#include "tst_simprogram.moc"

// The built tellurix-sim program: bad options, its start with a capture on
// free ports, and its clean end on SIGINT and SIGTERM.

#include "simtestclient.h"

#include <QtTest>

#include <QProcess>
#include <QUdpSocket>

#include <csignal>

namespace {

QString Program()
{
    return qEnvironmentVariable("TELLURIX_BIN_DIR") + "/tellurix-sim";
}

// A failed check must not leave the program running (and holding what it inherited).
struct Process : QProcess
{
    ~Process() override
    {
        kill();
        waitForFinished();
    }
};

} // namespace

class tst_SimProgram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFileInfo(Program()).isExecutable(), qPrintable(Program())); }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing capture")
            << QStringList{"--port", "0", "--replay", "/nonexistent/capture.nmea"} << 1
            << "cannot open /nonexistent/capture.nmea";
        QTest::newRow("host name") << QStringList{"--port", "0", "--address", "localhost"} << 1
                                   << "localhost is not an IP address";
        QTest::newRow("port out of range") << QStringList{"--port", "70000"} << 2 << "--port";
    }
    void badArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        Process process;
        process.start(Program(), arguments);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QTEST(process.exitCode(), "exitCode");
        const QString strError = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(strError.contains(message), qPrintable(strError));
    }

    void servesAndStopsOnSignal_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void servesAndStopsOnSignal()
    {
        QFETCH(int, signal);
        QUdpSocket nmea;
        QVERIFY(nmea.bind(QHostAddress(QHostAddress::LocalHost), 0));
        QTemporaryDir dir;
        const QString strLog = dir.filePath("loop.csv");

        Process process;
        process.start(Program(), {"--port", "0", "--nmea-port", QString::number(nmea.localPort()), "--rate",
                                  "20", "--replay", DataFile("um621-fixloss.nmea")});
        QString strError;
        QTRY_VERIFY_WITH_TIMEOUT((strError += QString::fromLocal8Bit(process.readAllStandardError()),
                                  strError.contains(" epochs from ")),
                                 10000);
        // The port it took, and what the reader made of the capture, are reported at the start.
        const QRegularExpressionMatch port =
            QRegularExpression("listening on 127.0.0.1:(\\d+)").match(strError);
        QVERIFY2(port.hasMatch(), qPrintable(strError));
        QVERIFY2(strError.contains("20 epochs from 883 lines"), qPrintable(strError));

        CSimTestClient client;
        QVERIFY(client.Connect(quint16(port.captured(1).toUInt())));
        QCOMPARE(client.Ask(BRFN::CMD_CONTROL_LOOP_STATUS_LOG, BRFN::EncodeLogStart(strLog)),
                 QByteArray::fromHex("0100"));
        QTRY_VERIFY_WITH_TIMEOUT(client.Count(BRFN::CMD_GPS_STATUS) >= 3, 10000);
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
        QVERIFY(text.startsWith("UTC,") && text.endsWith("\r\n") && text.count('\n') >= 2);
    }
};

QTEST_MAIN(tst_SimProgram)
#include "tst_simprogram.moc"

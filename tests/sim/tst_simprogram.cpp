// The built tellurix-sim program ends cleanly on SIGINT and SIGTERM.

#include <QtTest>

#include <QProcess>
#include <QUdpSocket>

#include <csignal>

class tst_SimProgram : public QObject
{
    Q_OBJECT

private slots:
    void stopsOnSignal_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void stopsOnSignal()
    {
        QFETCH(int, signal);
        QUdpSocket nmea; // takes the sentences instead of the fixed port
        QVERIFY(nmea.bind(QHostAddress(QHostAddress::LocalHost), 0));
        QProcess process;
        process.start(qEnvironmentVariable("TELLURIX_BIN_DIR") + "/tellurix-sim",
                      {"--port", "0", "--nmea-port", QString::number(nmea.localPort()), "--rate", "20"});
        // A failed check must not leave the program running.
        const auto cleanup = qScopeGuard([&process] {
            process.kill();
            process.waitForFinished();
        });
        QByteArray error;
        QTRY_VERIFY_WITH_TIMEOUT((error += process.readAllStandardError()).contains("listening on"), 10000);
        QTRY_VERIFY(nmea.hasPendingDatagrams()); // it serves

        ::kill(pid_t(process.processId()), signal);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        error += process.readAllStandardError();
        QVERIFY2(error.contains("stopped after"), error.constData());
    }
};

QTEST_MAIN(tst_SimProgram)
#include "tst_simprogram.moc"

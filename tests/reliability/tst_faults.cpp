// Faults a panel left running for months meets: broken settings, no display,
// a panel killed and started again, stored values it does not know, the
// service refusing a log name or killed and started again. The panel and the
// stand-in service run as the programs built next to the tests.

#include "reliabilitywindow.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <unistd.h>

namespace {

QString Bin(const char* pszName)
{
    return qEnvironmentVariable("TELLURIX_BIN_DIR") + '/' + pszName;
}

// The panel program with its own configuration directory and no DISPLAY.
struct Panel : QProcess
{
    explicit Panel(const QString& strConfigHome, bool bOffscreen = true)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_FATAL_WARNINGS"); // its warnings are output here, not failures
        env.insert("XDG_CONFIG_HOME", strConfigHome);
        env.remove("DISPLAY");
        if (!bOffscreen)
            env.remove("QT_QPA_PLATFORM");
        setProcessEnvironment(env);
        start(Bin("TellurixPanel"), QStringList());
    }
    ~Panel() override
    {
        kill();
        waitForFinished();
    }
    // Still running after a while, then ends cleanly (in the sanitizer build,
    // without a leak) when the session asks it to.
    bool RunsAndQuits()
    {
        if (!waitForStarted() || waitForFinished(2500))
            return false;
        ::kill(pid_t(processId()), SIGTERM);
        return waitForFinished(10000) && exitStatus() == NormalExit && exitCode() == 0;
    }
};

// The position format actions that show a mark.
QString CheckedFormats(QWidget& w)
{
    QStringList checked;
    for (const QAction* pAction : w.findChildren<QAction*>(QRegularExpression("^actionPosFormat")))
        if (pAction->isChecked())
            checked += pAction->objectName();
    return checked.join(',');
}

// The stand-in service, once it accepts connections.
std::unique_ptr<QProcess> StartService()
{
    auto pSim = std::make_unique<QProcess>();
    pSim->start(Bin("tellurix-sim"), {"--rate", "4"});
    const bool bListening = QTest::qWaitFor(
        [] {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, CBRFNProtocolQt::SERVICE_PORT);
            return probe.waitForConnected(100);
        },
        10000);
    if (!bListening)
        pSim->kill(); // the caller's wait for records fails
    return pSim;
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void brokenSettings_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* pszKind : {"corrupt", "unreadable", "directory", "unwritable location"})
            QTest::newRow(pszKind) << pszKind;
    }
    void brokenSettings()
    {
        QFETCH(QString, kind);
        QString strHome = m_dir.filePath(kind);
        QVERIFY(QDir().mkpath(strHome + "/Brightfen"));
        const QString strFile = strHome + "/Brightfen/TellurixPanel.conf";
        if (kind == "corrupt") {
            QFile f(strFile);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("[General\nPosFormat=\xFF\xFE\x00\x01\n=\n[[[\n", 30).repeated(300));
        } else if (kind == "unreadable") {
            QVERIFY(QFile::link(strFile, strFile)); // a loop: even root cannot open it
        } else if (kind == "directory") {
            QVERIFY(QDir().mkpath(strFile));
        } else {
            QFile f(strHome + "/file");
            QVERIFY(f.open(QIODevice::WriteOnly));
            strHome += "/file/config"; // below a plain file: nothing can be created there
        }
        Panel panel(strHome);
        QVERIFY2(panel.RunsAndQuits(), panel.readAllStandardError().right(2000).constData());
    }

    void noDisplay()
    {
        Panel panel(m_dir.path(), false);
        QVERIFY(panel.waitForFinished(10000));
        QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(panel.exitCode(), 1);
        QVERIFY(panel.readAllStandardError().contains("DISPLAY is not set"));
    }

    // A panel killed outright leaves the single-instance keys behind; the next
    // start must take them over and still keep a third panel out.
    void killedPanelRestarts()
    {
        auto pFirst = std::make_unique<Panel>(m_dir.path());
        QVERIFY(pFirst->waitForStarted());
        QVERIFY(!pFirst->waitForFinished(1500));
        ::kill(pid_t(pFirst->processId()), SIGKILL);
        QVERIFY(pFirst->waitForFinished());
        Panel second(m_dir.path());
        QVERIFY(second.waitForStarted());
        QVERIFY(!second.waitForFinished(2000));
        Panel third(m_dir.path());
        QVERIFY(third.waitForFinished(10000));
        QVERIFY(third.readAllStandardError().contains("An instance has already been running."));
        QVERIFY(second.RunsAndQuits());
    }

    // An unknown stored position format stays unknown: no menu mark, and a
    // save (here from choosing units) followed by a load keeps it unknown.
    // A known one and text (read as 0) show their mark.
    void unknownPositionFormat_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("checked");
        for (const char* pszStored : {"-1", "4294967295", "4294967296", "3", "99999999999999999999"})
            QTest::newRow(pszStored) << pszStored << QString();
        QTest::newRow("1") << "1" << QString("actionPosFormatDD_MM_SS_SSS");
        QTest::newRow("text") << "dd" << QString("actionPosFormatDD_MM_MMMM");
    }
    void unknownPositionFormat()
    {
        QFETCH(QString, stored);
        QFETCH(QString, checked);
        QSettings("Brightfen", "TellurixPanel").setValue("PosFormat", stored);
        {
            ReliabilityWindow window;
            QCOMPARE(CheckedFormats(window), checked);
            window.findChild<QAction*>("action_Metric_Units")->trigger();
        }
        ReliabilityWindow window;
        QCOMPARE(CheckedFormats(window), checked);
    }

    // Against the stand-in service: a refused log file name is reported and
    // leaves the log stopped; a service killed with SIGKILL and started again
    // is reconnected to and its records arrive.
    void againstService()
    {
        auto pSim = StartService();
        ReliabilityWindow window;
        QSignalSpy statuses(&window,
                            SIGNAL(SignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS)));
        QVERIFY(statuses.wait(5000));

        static QStringList s_debug;
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& s) { s_debug += s; });
        window.m_strLogName = m_dir.path(); // a folder: the service refuses it
        window.findChild<QAction*>("actionStart_Control_Loop_Log")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(s_debug.join('\n').contains("File open fail code: 1"), 5000);
        qInstallMessageHandler(nullptr);
        QTRY_VERIFY(window.findChild<QAction*>("actionStart_Control_Loop_Log")->isEnabled());
        QVERIFY(!window.findChild<QAction*>("actionStop_Control_Loop_Log")->isEnabled());

        pSim->kill();
        QVERIFY(pSim->waitForFinished());
        QTRY_VERIFY(!window.Protocol()->m_bConnected);
        pSim = StartService();
        statuses.clear();
        QVERIFY(statuses.wait(5000));
        QVERIFY(window.Protocol()->m_bConnected);
        pSim->terminate();
        QVERIFY(pSim->waitForFinished());
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"

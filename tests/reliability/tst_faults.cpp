// Faults a panel left running for months meets: no display, a panel killed
// and started again over a broken settings file, stored values it does not
// know. The panel runs as the program built next to the tests. (A service
// killed and started again: tests/e2e and the hostile peer's recovery check;
// a log name the service refuses: tests/sim.)

#include "cmainwindow.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

namespace {

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
        start(qEnvironmentVariable("TELLURIX_BIN_DIR") + "/TellurixPanel", QStringList());
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

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void noDisplay()
    {
        Panel panel(m_dir.path(), false);
        QVERIFY(panel.waitForFinished(10000));
        QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(panel.exitCode(), 1);
        QVERIFY(panel.readAllStandardError().contains("DISPLAY is not set"));
    }

    // A panel killed outright leaves the single-instance keys behind; the next
    // start must take them over and still keep a third panel out. Both read a
    // settings file that is garbage throughout.
    void killedPanelRestarts()
    {
        QVERIFY(QDir().mkpath(m_dir.filePath("Brightfen")));
        QFile settings(m_dir.filePath("Brightfen/TellurixPanel.conf"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(QByteArray("[General\nPosFormat=\xFF\xFE\x00\x01\n=\n[[[\n", 30).repeated(300));
        settings.close();
        Panel first(m_dir.path());
        QVERIFY(first.waitForStarted());
        QVERIFY(!first.waitForFinished(1500));
        first.kill(); // SIGKILL
        QVERIFY(first.waitForFinished());
        Panel second(m_dir.path());
        QVERIFY(second.waitForStarted());
        QVERIFY(!second.waitForFinished(2000));
        Panel third(m_dir.path());
        QVERIFY(third.waitForFinished(10000));
        QVERIFY(third.readAllStandardError().contains("An instance has already been running."));
        QVERIFY2(second.RunsAndQuits(), second.readAllStandardError().right(2000).constData());
    }

    // A notation and a unit chosen from the menus are there after a restart. An unknown stored
    // position format stays unknown: no menu mark, also after a save (here from choosing units) and
    // a load. Text reads as 0 and shows its mark.
    void navChoicesSurviveRestart_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("checked");
        for (const char* pszStored : {"-1", "4294967295", "4294967296", "3", "99999999999999999999"})
            QTest::newRow(pszStored) << pszStored << QString() << QString();
        QTest::newRow("text") << "dd" << QString() << QString("actionPosFormatDD_MM_MMMM");
        QTest::newRow("chosen") << "0" << "actionPosFormatDD_DDDD" << QString("actionPosFormatDD_DDDD");
    }
    void navChoicesSurviveRestart()
    {
        QFETCH(QString, stored);
        QFETCH(QString, chosen);
        QSettings settings("Brightfen", "TellurixPanel");
        settings.clear();
        settings.setValue("PosFormat", stored);
        settings.sync();
        {
            CMainWindow window;
            for (const QString& strAction : {chosen, QString("action_Metric_Units")})
                if (!strAction.isEmpty())
                    window.findChild<QAction*>(strAction)->trigger();
        }
        CMainWindow window;
        QTEST(CheckedFormats(window), "checked");
        QVERIFY(window.findChild<QAction*>("action_Metric_Units")->isChecked());
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"

// Only one panel at a time, across real processes, also when two start at the
// same moment. (A second panel's exit and missing window: tests/e2e; a panel
// killed outright, a third start and SIGTERM: tests/reliability.)

#include <QProcess>
#include <QSharedMemory>
#include <QTest>

namespace {
const char* const kSegmentKey = "TELLURIX_PANEL_APP_ID";
}

class tst_AppInstance : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        for (QProcess* pProcess : {&m_a, &m_b}) {
            pProcess->kill();
            pProcess->waitForFinished(5000);
        }
    }

    void twoStartedTogether()
    {
        QSharedMemory stale(kSegmentKey); // left by a panel an interrupted run killed
        if (stale.attach())
            stale.detach();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The offscreen platform warns about size hints of every shown window;
        // that says nothing about the panel, so warnings stay warnings here.
        env.remove("QT_FATAL_WARNINGS");
        for (QProcess* pProcess : {&m_a, &m_b}) {
            pProcess->setProcessEnvironment(env);
            pProcess->start(qEnvironmentVariable("TELLURIX_BIN_DIR") + "/TellurixPanel", QStringList());
        }
        QTRY_VERIFY_WITH_TIMEOUT(m_a.state() == QProcess::NotRunning || m_b.state() == QProcess::NotRunning,
                                 20000);
        QProcess& refused = m_a.state() == QProcess::NotRunning ? m_a : m_b;
        QProcess& running = &refused == &m_a ? m_b : m_a;
        QCOMPARE(refused.exitCode(), 0);
        QVERIFY(refused.readAllStandardError().contains("An instance has already been running."));
        QCOMPARE(running.state(), QProcess::Running);
        running.terminate();
        QVERIFY(running.waitForFinished(20000));
        // Released on the way out. (Created, never attached: no stand-in for the stale-segment probe.)
        QSharedMemory probe(kSegmentKey);
        QVERIFY(probe.create(1));
    }

private:
    QProcess m_a, m_b;
};

QTEST_MAIN(tst_AppInstance)
#include "tst_app_instance.moc"

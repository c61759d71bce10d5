// Only one panel at a time, across real processes (a panel killed outright, and
// a third start: tests/reliability). A panel that gets its window connects to
// the service at once, so a stand-in listener counts the windows.

#include <QProcess>
#include <QSharedMemory>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

namespace {
const char* const kSegmentKey = "TELLURIX_PANEL_APP_ID";
const int kTimeoutMs = 20000;

// True when a panel's segment exists, live or left behind. Never attaches, so
// it cannot stand in for a panel's own stale-segment probe.
bool SegmentExists()
{
    QSharedMemory probe(kSegmentKey);
    return !probe.create(1) && probe.error() == QSharedMemory::AlreadyExists;
}
} // namespace

class tst_AppInstance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_service.listen(QHostAddress::LocalHost, 51501));
        connect(&m_service, &QTcpServer::newConnection, this, [this] {
            while (m_service.nextPendingConnection())
                ++m_nWindows; // the sockets go with the server
        });
        QSharedMemory stale(kSegmentKey); // left by a panel an interrupted run killed
        if (stale.attach())
            stale.detach();
        QVERIFY(!SegmentExists());
    }
    void cleanup()
    {
        for (auto& pProcess : m_processes) {
            pProcess->kill();
            pProcess->waitForFinished(5000);
        }
    }

    // Of two started together one gets a window, the other ends; once the
    // first has ended, the next start gets a window again.
    void oneAtATime()
    {
        QProcess* pA = Start({"--anything", "-x"}); // arguments change nothing
        QProcess* pB = Start();
        QTRY_VERIFY_WITH_TIMEOUT(pA->state() == QProcess::NotRunning || pB->state() == QProcess::NotRunning,
                                 kTimeoutMs);
        QProcess* pWinner = pA->state() == QProcess::NotRunning ? pB : pA;
        End(pWinner == pA ? pB : pA, true);
        QTRY_COMPARE_WITH_TIMEOUT(m_nWindows, 1, kTimeoutMs);
        QTest::qWait(300); // nor did the refused one open a window
        QCOMPARE(m_nWindows, 1);
        End(pWinner, false);
        QVERIFY(!SegmentExists()); // released on the way out
        QProcess* pNext = Start();
        QTRY_COMPARE_WITH_TIMEOUT(m_nWindows, 2, kTimeoutMs);
        End(pNext, false);
    }

private:
    QProcess* Start(const QStringList& arguments = {})
    {
        m_processes.push_back(std::make_unique<QProcess>());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The offscreen platform warns about size hints of every shown window;
        // that says nothing about the panel, so warnings stay warnings here.
        env.remove("QT_FATAL_WARNINGS");
        m_processes.back()->setProcessEnvironment(env);
        m_processes.back()->start(qEnvironmentVariable("TELLURIX_BIN_DIR") + "/TellurixPanel", arguments);
        return m_processes.back().get();
    }
    // A running panel is ended with SIGTERM, which it takes like a closed window;
    // a refused one ends by itself. Either way: normal exit, status 0.
    static void End(QProcess* pProcess, bool bRefused)
    {
        if (!bRefused) {
            QCOMPARE(pProcess->state(), QProcess::Running);
            pProcess->terminate();
        }
        QVERIFY(pProcess->state() == QProcess::NotRunning || pProcess->waitForFinished(kTimeoutMs));
        QCOMPARE(pProcess->exitStatus(), QProcess::NormalExit);
        QCOMPARE(pProcess->exitCode(), 0);
        const QByteArray refusal = "MY_APP Error An instance has already been running.";
        QCOMPARE(pProcess->readAllStandardError().contains(refusal), bRefused);
    }

    QTcpServer m_service;
    int m_nWindows = 0;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

QTEST_MAIN(tst_AppInstance)
#include "tst_app_instance.moc"

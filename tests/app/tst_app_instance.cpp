// Only one panel at a time, across real processes: two started together, and
// one after another (a panel killed outright: tests/reliability).
//
// A panel that gets its window connects to the service at once, so a stand-in
// listener counts the panels that got that far.

#include <QProcess>
#include <QSharedMemory>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

namespace {
const char* const kSegmentKey = "TELLURIX_PANEL_APP_ID";
const char* const kAlreadyRunning = "MY_APP Error An instance has already been running.";
const int kTimeoutMs = 20000;

// Removes a segment left by a killed panel (the last detach deletes it).
void RemoveStaleSegment()
{
    QSharedMemory stale(kSegmentKey);
    if (stale.attach())
        stale.detach();
}

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
        m_strProgram = qEnvironmentVariable("TELLURIX_BIN_DIR") + "/TellurixPanel";
        QVERIFY2(QFile::exists(m_strProgram), qPrintable(m_strProgram));
        QVERIFY(m_service.listen(QHostAddress::LocalHost, 51501));
        connect(&m_service, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* pSocket = m_service.nextPendingConnection())
                m_panels.append(pSocket);
        });
        RemoveStaleSegment(); // a panel killed by an earlier, interrupted run
        QVERIFY(!SegmentExists());
    }

    void cleanup()
    {
        for (auto& pProcess : m_processes) {
            pProcess->kill();
            pProcess->waitForFinished(5000);
        }
        m_processes.clear();
        qDeleteAll(m_panels);
        m_panels.clear();
        RemoveStaleSegment();
    }

    // Two started together give one window; once it has ended, the next start
    // gets a window again.
    void oneAtATime()
    {
        QProcess* pA = Start({"--anything", "-x"}); // arguments change nothing
        QProcess* pB = Start();
        QTRY_VERIFY_WITH_TIMEOUT(pA->state() == QProcess::NotRunning || pB->state() == QProcess::NotRunning,
                                 kTimeoutMs);
        QProcess* pWinner = pA->state() == QProcess::NotRunning ? pB : pA;
        End(pWinner == pA ? pB : pA, true);
        QTRY_COMPARE_WITH_TIMEOUT(m_panels.size(), 1, kTimeoutMs);
        QTest::qWait(300); // a third start while one runs: tests/reliability
        QCOMPARE(m_panels.size(), 1);
        End(pWinner, false);
        QVERIFY(!SegmentExists()); // released on the way out
        QProcess* pNext = Start();
        QTRY_COMPARE_WITH_TIMEOUT(m_panels.size(), 2, kTimeoutMs);
        End(pNext, false);
    }

private:
    QProcess* Start(const QStringList& arguments = {})
    {
        m_processes.push_back(std::make_unique<QProcess>());
        QProcess* pProcess = m_processes.back().get();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        // The offscreen platform warns about size hints of every shown window;
        // that says nothing about the panel, so warnings stay warnings here.
        env.remove("QT_FATAL_WARNINGS");
        pProcess->setProcessEnvironment(env);
        pProcess->start(m_strProgram, arguments);
        return pProcess;
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
        QCOMPARE(pProcess->readAllStandardError().contains(kAlreadyRunning), bRefused);
    }

    QString m_strProgram;
    QTcpServer m_service;
    QList<QTcpSocket*> m_panels; // connections accepted so far
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

QTEST_MAIN(tst_AppInstance)
#include "tst_app_instance.moc"

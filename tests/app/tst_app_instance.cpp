// Only one panel at a time, across real processes: two started together, one
// after another, and one after a panel that was killed outright.
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
const int kStartTimeoutMs = 20000;
} // namespace

class tst_AppInstance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void twoStartedTogetherGiveOneWindow();
    void secondExitsWhileFirstRuns();
    void startsAgainAfterTheFirstHasEnded();
    void startsAfterTheFirstWasKilled();

private:
    QProcess* Start(const QStringList& arguments = {});
    void Stop(QProcess* pProcess); // SIGTERM: the panel closes as if its window were closed
    // True when a panel's segment exists, live or left behind. Never attaches,
    // so it cannot disturb a panel's own stale-segment probe.
    static bool SegmentExists();

    QString m_strProgram;
    QTcpServer m_service;
    QList<QTcpSocket*> m_panels; // connections accepted so far
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

void tst_AppInstance::initTestCase()
{
    m_strProgram = qEnvironmentVariable("TELLURIX_BIN_DIR") + "/TellurixPanel";
    QVERIFY2(QFile::exists(m_strProgram), qPrintable(m_strProgram));
    QVERIFY(m_service.listen(QHostAddress::LocalHost, 51501));
    connect(&m_service, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* pSocket = m_service.nextPendingConnection())
            m_panels.append(pSocket);
    });
    // A panel killed by an earlier, interrupted run may have left its segment.
    QSharedMemory stale(kSegmentKey);
    if (stale.attach())
        stale.detach();
    QVERIFY(!SegmentExists());
}

void tst_AppInstance::cleanup()
{
    for (auto& pProcess : m_processes) {
        if (pProcess->state() != QProcess::NotRunning) {
            pProcess->kill();
            pProcess->waitForFinished(5000);
        }
    }
    m_processes.clear();
    qDeleteAll(m_panels);
    m_panels.clear();
    QSharedMemory stale(kSegmentKey);
    if (stale.attach())
        stale.detach();
}

QProcess* tst_AppInstance::Start(const QStringList& arguments)
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

void tst_AppInstance::Stop(QProcess* pProcess)
{
    pProcess->terminate();
    QVERIFY(pProcess->waitForFinished(kStartTimeoutMs));
    QCOMPARE(pProcess->exitStatus(), QProcess::NormalExit);
    QCOMPARE(pProcess->exitCode(), 0);
}

bool tst_AppInstance::SegmentExists()
{
    QSharedMemory probe(kSegmentKey);
    if (probe.create(1))
        return false; // nobody had it; ours goes away with probe
    return probe.error() == QSharedMemory::AlreadyExists;
}

void tst_AppInstance::twoStartedTogetherGiveOneWindow()
{
    QProcess* pA = Start({"--anything", "-x"}); // arguments change nothing
    QProcess* pB = Start();
    QTRY_VERIFY_WITH_TIMEOUT(pA->state() == QProcess::NotRunning || pB->state() == QProcess::NotRunning,
                             kStartTimeoutMs);
    QProcess* pLoser = pA->state() == QProcess::NotRunning ? pA : pB;
    QProcess* pWinner = pLoser == pA ? pB : pA;
    QCOMPARE(pLoser->exitStatus(), QProcess::NormalExit);
    QCOMPARE(pLoser->exitCode(), 0);
    QVERIFY(pLoser->readAllStandardError().contains(kAlreadyRunning));

    QTRY_COMPARE_WITH_TIMEOUT(m_panels.size(), 1, kStartTimeoutMs);
    QTest::qWait(300);
    QCOMPARE(m_panels.size(), 1);
    QCOMPARE(pWinner->state(), QProcess::Running);
    Stop(pWinner);
    QVERIFY(!pWinner->readAllStandardError().contains(kAlreadyRunning));
}

void tst_AppInstance::secondExitsWhileFirstRuns()
{
    QProcess* pA = Start();
    QTRY_COMPARE_WITH_TIMEOUT(m_panels.size(), 1, kStartTimeoutMs);
    QProcess* pB = Start();
    QVERIFY(pB->waitForFinished(kStartTimeoutMs));
    QCOMPARE(pB->exitStatus(), QProcess::NormalExit);
    QCOMPARE(pB->exitCode(), 0);
    QVERIFY(pB->readAllStandardError().contains(kAlreadyRunning));
    QCOMPARE(m_panels.size(), 1);
    QCOMPARE(pA->state(), QProcess::Running);
    Stop(pA);
}

void tst_AppInstance::startsAgainAfterTheFirstHasEnded()
{
    QProcess* pA = Start();
    QTRY_COMPARE_WITH_TIMEOUT(m_panels.size(), 1, kStartTimeoutMs);
    Stop(pA);
    QVERIFY(!SegmentExists()); // released on the way out

    QProcess* pB = Start();
    QTRY_COMPARE_WITH_TIMEOUT(m_panels.size(), 2, kStartTimeoutMs);
    QCOMPARE(pB->state(), QProcess::Running);
    Stop(pB);
    QVERIFY(!pB->readAllStandardError().contains(kAlreadyRunning));
}

void tst_AppInstance::startsAfterTheFirstWasKilled()
{
    QProcess* pA = Start();
    QTRY_COMPARE_WITH_TIMEOUT(m_panels.size(), 1, kStartTimeoutMs);
    pA->kill(); // SIGKILL: nothing of the panel runs any more
    QVERIFY(pA->waitForFinished(kStartTimeoutMs));
    QVERIFY(SegmentExists()); // left behind by the killed panel

    QProcess* pB = Start();
    QTRY_COMPARE_WITH_TIMEOUT(m_panels.size(), 2, kStartTimeoutMs);
    QTest::qWait(300);
    QCOMPARE(pB->state(), QProcess::Running);
    QVERIFY(!pB->readAllStandardError().contains(kAlreadyRunning));

    // The new panel holds the guard: a third one still exits.
    QProcess* pC = Start();
    QVERIFY(pC->waitForFinished(kStartTimeoutMs));
    QCOMPARE(pC->exitCode(), 0);
    QVERIFY(pC->readAllStandardError().contains(kAlreadyRunning));
    Stop(pB);
}

QTEST_MAIN(tst_AppInstance)
#include "tst_app_instance.moc"

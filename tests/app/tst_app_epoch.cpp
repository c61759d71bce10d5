// The one-second epoch and the daily update check, on a clock the test sets.
//
// The epoch counter and the earliest time of the next check are process-wide,
// so this file drives one window through one timeline, test by test, in
// declaration order.

#include "fakeservice.h"
#include "testwindow.h"

#include <QStandardPaths>
#include <QTest>

#include <memory>

class tst_AppEpoch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void firstEpochComesFromTheTimerWithTheFirstCheck();
    void oneEpochPerSecond();
    void noSecondCheckWithinADayEvenWhenTheCountAllows();
    void nextCheckAfterAnotherDayOfEpochs();
    void stallGivesOneEpochWithTheCurrentTime();

private:
    // Sets the clock to t (seconds after T0), runs one timer tick and returns
    // the number of epochs it emitted.
    int TickAt(qint64 t);
    // Emits epochs at one-second steps until the next epoch is number nIndex
    // (0-based), the last of them at time tLast.
    void RunEpochsUntil(int nIndex, qint64 tLast);

    const QDateTime m_t0 = QDateTime(QDate(2024, 1, 1), QTime(0, 0, 0), Qt::UTC);
    FakeService m_service;
    std::unique_ptr<TestWindow> m_pWindow;
    int m_nEpochs = 0;
    QDateTime m_lastEpochTime;
};

void tst_AppEpoch::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_service.Listen());
    m_pWindow = std::make_unique<TestWindow>();
    m_pWindow->m_fakeNow = m_t0;
    connect(m_pWindow.get(), &CMainWindow::SignalOneSecondEpoch, this, [this](QDateTime& now) {
        ++m_nEpochs;
        m_lastEpochTime = now;
    });
}

void tst_AppEpoch::cleanupTestCase()
{
    m_pWindow.reset();
}

int tst_AppEpoch::TickAt(qint64 t)
{
    const int nBefore = m_nEpochs;
    m_pWindow->m_fakeNow = m_t0.addSecs(t);
    QMetaObject::invokeMethod(m_pWindow.get(), "OnFastTimer");
    return m_nEpochs - nBefore;
}

void tst_AppEpoch::RunEpochsUntil(int nIndex, qint64 tLast)
{
    const int nSteps = nIndex - m_nEpochs;
    for (int i = nSteps - 1; i >= 0; --i) {
        if (TickAt(tLast - i) != 1) {
            QFAIL(qPrintable(QString("no epoch at step %1").arg(i)));
        }
    }
}

void tst_AppEpoch::firstEpochComesFromTheTimerWithTheFirstCheck()
{
    // Nothing has run yet: the 50 ms timer delivers the first epoch.
    QCOMPARE(m_nEpochs, 0);
    QTRY_COMPARE(m_nEpochs, 1);
    QCOMPARE(m_lastEpochTime, m_t0);
    QCOMPARE(m_pWindow->m_updateChecks, QList<QDateTime>({m_t0}));
    // Further ticks within the same second emit nothing.
    QTest::qWait(200);
    QCOMPARE(m_nEpochs, 1);
}

void tst_AppEpoch::oneEpochPerSecond()
{
    QCOMPARE(TickAt(0), 0);
    QCOMPARE(TickAt(1), 1);
    QCOMPARE(m_lastEpochTime, m_t0.addSecs(1));
    QCOMPARE(TickAt(1), 0);
    QCOMPARE(TickAt(2), 1);
    QCOMPARE(m_pWindow->m_updateChecks.size(), 1);
}

void tst_AppEpoch::noSecondCheckWithinADayEvenWhenTheCountAllows()
{
    // Epoch number 86400 is due for a check, but it falls exactly one day
    // after the first check: not later than the allowed time, so none starts.
    RunEpochsUntil(86400, 86399);
    QCOMPARE(m_pWindow->m_updateChecks.size(), 1);
    QCOMPARE(m_nEpochs, 86400);
    QCOMPARE(TickAt(86400), 1);
    QCOMPARE(m_pWindow->m_updateChecks.size(), 1);
}

void tst_AppEpoch::nextCheckAfterAnotherDayOfEpochs()
{
    // Later than a day after the first check, but the count only allows the
    // next try at epoch 172800.
    RunEpochsUntil(172800, 172799);
    QCOMPARE(m_pWindow->m_updateChecks.size(), 1);
    QCOMPARE(TickAt(172800), 1);
    QCOMPARE(m_pWindow->m_updateChecks, QList<QDateTime>({m_t0, m_t0.addSecs(172800)}));
    QCOMPARE(TickAt(172801), 1);
    QCOMPARE(m_pWindow->m_updateChecks.size(), 2);
}

void tst_AppEpoch::stallGivesOneEpochWithTheCurrentTime()
{
    // The event loop stood still for 5 s: one epoch, not one per missed second.
    const int nBefore = m_nEpochs;
    QCOMPARE(TickAt(172807), 1);
    QCOMPARE(m_lastEpochTime, m_t0.addSecs(172807));
    QCOMPARE(m_nEpochs, nBefore + 1);
    QCOMPARE(m_pWindow->m_updateChecks.size(), 2);
}

QTEST_MAIN(tst_AppEpoch)
#include "tst_app_epoch.moc"

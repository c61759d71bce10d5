// The one-second epoch and the daily update check, on a clock the test sets.
//
// The epoch counter and the earliest time of the next check are process-wide,
// so one window goes through one timeline.

#include "fakeservice.h"
#include "testwindow.h"

#include <QTest>

#include <memory>

class tst_AppEpoch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(StartWindowTests(m_service));
        m_pWindow = std::make_unique<TestWindow>();
        m_pWindow->m_fakeNow = m_t0;
        connect(m_pWindow.get(), &CMainWindow::SignalOneSecondEpoch, this, [this](QDateTime& now) {
            ++m_nEpochs;
            m_lastEpochTime = now;
        });
    }
    void cleanupTestCase() { m_pWindow.reset(); }

    void timeline()
    {
        QTRY_COMPARE(m_nEpochs, 1); // from the window's own timer
        QCOMPARE(m_lastEpochTime, m_t0);
        QCOMPARE(m_pWindow->m_updateChecks, QList<QDateTime>({m_t0}));

        // Epoch 86400 is due for a check, but falls exactly one day after the
        // first check, not later: none starts.
        QVERIFY(RunEpochsUntil(86400, 86399));
        QCOMPARE(TickAt(86400), 1);
        QCOMPARE(m_pWindow->m_updateChecks.size(), 1);
        // Later than a day after the first check, but the count only allows the
        // next try at epoch 172800.
        QVERIFY(RunEpochsUntil(172800, 172799));
        QCOMPARE(m_pWindow->m_updateChecks.size(), 1);
        QCOMPARE(TickAt(172800), 1);
        QCOMPARE(TickAt(172801), 1);
        QCOMPARE(m_pWindow->m_updateChecks, QList<QDateTime>({m_t0, m_t0.addSecs(172800)}));

        // Within a second, further ticks emit nothing.
        QCOMPARE(QList<int>({TickAt(172801), TickAt(172802), TickAt(172802)}), QList<int>({0, 1, 0}));
        // The event loop stood still for 5 s: one epoch, not one per missed second.
        QCOMPARE(TickAt(172807), 1);
        QCOMPARE(m_lastEpochTime, m_t0.addSecs(172807));
        QCOMPARE(m_pWindow->m_updateChecks.size(), 2);
    }

private:
    // Sets the clock to t (seconds after T0), runs one timer tick and returns
    // the number of epochs it emitted.
    int TickAt(qint64 t)
    {
        const int nBefore = m_nEpochs;
        m_pWindow->m_fakeNow = m_t0.addSecs(t);
        QMetaObject::invokeMethod(m_pWindow.get(), "OnFastTimer");
        return m_nEpochs - nBefore;
    }
    // One epoch a second until the next epoch is number nIndex, the last at time tLast.
    bool RunEpochsUntil(int nIndex, qint64 tLast)
    {
        for (int i = nIndex - m_nEpochs - 1; i >= 0; --i)
            if (TickAt(tLast - i) != 1)
                return false;
        return true;
    }

    const QDateTime m_t0 = QDateTime(QDate(2024, 1, 1), QTime(0, 0, 0), Qt::UTC);
    FakeService m_service; // the window's link has a peer, as in use
    std::unique_ptr<TestWindow> m_pWindow;
    int m_nEpochs = 0;
    QDateTime m_lastEpochTime;
};

QTEST_MAIN(tst_AppEpoch)
#include "tst_app_epoch.moc"

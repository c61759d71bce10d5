// The one-second epoch and the daily update check, on a clock the test sets.
// The epoch counter and the earliest time of the next check are process-wide,
// so one window goes through one timeline.

#include "fakeservice.h"
#include "testwindow.h"

#include <QTest>

class tst_AppEpoch : public QObject
{
    Q_OBJECT

private slots:
    void timeline()
    {
        FakeService service; // the window's link has a peer, as in use
        QVERIFY(StartWindowTests(service));
        const QDateTime t0(QDate(2024, 1, 1), QTime(0, 0, 0), Qt::UTC);
        TestWindow window;
        window.m_fakeNow = t0;
        int nEpochs = 0;
        QDateTime lastEpoch;
        connect(&window, &CMainWindow::SignalOneSecondEpoch, this, [&](QDateTime& now) {
            ++nEpochs;
            lastEpoch = now;
        });
        // Sets the clock to t seconds after t0, runs one timer tick and returns
        // the number of epochs it emitted.
        auto tickAt = [&](qint64 t) {
            const int nBefore = nEpochs;
            window.m_fakeNow = t0.addSecs(t);
            QMetaObject::invokeMethod(&window, "OnFastTimer");
            return nEpochs - nBefore;
        };
        // One epoch a second until the next epoch is number nIndex, the last at time tLast.
        auto runEpochsUntil = [&](int nIndex, qint64 tLast) {
            bool bOnePerTick = true;
            for (int i = nIndex - nEpochs - 1; i >= 0; --i)
                bOnePerTick = tickAt(tLast - i) == 1 && bOnePerTick;
            return bOnePerTick;
        };

        QTRY_COMPARE(nEpochs, 1); // from the window's own timer
        QCOMPARE(window.m_updateChecks, QList<QDateTime>({t0}));
        // Epoch 86400 is due for a check, but falls exactly one day after the
        // first check, not later: none starts. Later than a day after the first
        // check, the count only allows the next try at epoch 172800.
        QVERIFY(runEpochsUntil(86401, 86400));
        QVERIFY(runEpochsUntil(172801, 172800));
        QCOMPARE(window.m_updateChecks, QList<QDateTime>({t0, t0.addSecs(172800)}));
        // Within a second, further ticks emit nothing.
        QCOMPARE(QList<int>({tickAt(172800), tickAt(172801), tickAt(172801)}), QList<int>({0, 1, 0}));
        // The event loop stood still for 5 s: one epoch, not one per missed second.
        QCOMPARE(tickAt(172807), 1);
        QCOMPARE(lastEpoch, t0.addSecs(172807));
    }
};

QTEST_MAIN(tst_AppEpoch)
#include "tst_app_epoch.moc"

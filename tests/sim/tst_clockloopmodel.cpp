// The stand-in service's clock loop: fits, spreads and states.

#include "clockloopmodel.h"

#include <QtTest>

#include <cmath>

class tst_ClockLoopModel : public QObject
{
    Q_OBJECT

private slots:
    void fit_data()
    {
        QTest::addColumn<QVector<double>>("values");
        QTest::addColumn<int>("last");
        QTest::addColumn<QString>("fit"); // slope, intercept, spread, samples

        QTest::newRow("one value") << QVector<double>{0.25} << 60 << "0 0.25 0 1";
        // Only the last four count: 1, 3, 2, 4 at x = 1..4 give slope 0.8, intercept 0.5,
        // mean 2.5 and spread sqrt(5/3).
        QTest::newRow("window") << QVector<double>{-50, 99, 1, 3, 2, 4} << 4 << "0.8 0.5 1.29099445 4";
    }
    void fit()
    {
        QFETCH(QVector<double>, values);
        QFETCH(int, last);
        const LINE_FIT f = CClockLoopModel::Fit(std::deque<double>(values.begin(), values.end()), last);
        QTEST(QString::asprintf("%.9g %.9g %.9g %d", f.dSlope, f.dIntercept, f.dStdDev, f.nSamples), "fit");
    }

    void startsAndLocksWithFix()
    {
        CClockLoopModel loop(3);
        QVector<int> states;
        BRFN::CMD_DATA_CONTROL_LOOP_STATUS s;
        for (int i = 0; i < 600 && loop.State() != CClockLoopModel::LOOP_LOCKED; ++i) {
            s = loop.Step(true, true);
            if (states.isEmpty() || states.last() != s.nLoopState)
                states.append(s.nLoopState);
        }
        QCOMPARE(states, (QVector<int>{CClockLoopModel::LOOP_STARTING, CClockLoopModel::LOOP_SEARCHING,
                                       CClockLoopModel::LOOP_SYNCHING, CClockLoopModel::LOOP_LOCKED}));
        // Locked: the difference has converged to well under a millisecond.
        QVERIFY(qAbs(loop.TrueTimeDiff()) < 0.002);
        QVERIFY(s.dStdDev > 0.0 && s.dStdDev < CClockLoopModel::LOCK_SPREAD);
        QVERIFY(s.dEstTimeError > 0.0 && s.dEstTimeError < 0.003);
        // The loop holds the clock against its drift (25 ppm) with its control value.
        for (int i = 0; i < 300; ++i)
            s = loop.Step(true, true);
        QCOMPARE(s.nLoopState, int(CClockLoopModel::LOOP_LOCKED));
        QVERIFY2(qAbs(s.dControlValue + CClockLoopModel::CLOCK_DRIFT * 1e6) < 5.0,
                 qPrintable(QString::number(s.dControlValue)));
    }

    void states_data()
    {
        // Seconds with a fix (F), without one (N), without a receiver (R).
        QTest::addColumn<QString>("seconds");
        QTest::addColumn<int>("state");
        QTest::newRow("no fix") << "20N" << int(CClockLoopModel::LOOP_NO_GPS);
        QTest::newRow("no receiver") << "5R" << int(CClockLoopModel::LOOP_NO_GPS);
        QTest::newRow("fix lost before synchronising") << "4F 1N" << int(CClockLoopModel::LOOP_NO_GPS);
        QTest::newRow("fix lost after synchronising") << "40F 11N" << int(CClockLoopModel::LOOP_HOLDOVER);
        QTest::newRow("fix back") << "40F 11N 1F" << int(CClockLoopModel::LOOP_RECOVERY);
        QTest::newRow("recovered") << "40F 11N 6F" << int(CClockLoopModel::LOOP_SYNCHING);
    }
    void states()
    {
        QFETCH(QString, seconds);
        CClockLoopModel loop(5);
        BRFN::CMD_DATA_CONTROL_LOOP_STATUS s;
        for (const QString& run : seconds.split(' ')) {
            for (int i = run.chopped(1).toInt(); i > 0; --i)
                s = loop.Step(run.back() != 'R', run.back() == 'F');
        }
        QTEST(s.nLoopState, "state");
    }

    void lockDelayHoldsOffLocked()
    {
        CClockLoopModel loop(3);
        loop.SetLockConfig(BRFN::CMD_DATA_GPS_LOCK_CONFIG{true, 400});
        int nFirstLocked = 1;
        while (nFirstLocked < 600 && loop.Step(true, true).nLoopState != CClockLoopModel::LOOP_LOCKED)
            ++nFirstLocked;
        QCOMPARE(nFirstLocked, 400);
    }

    void offsetShiftsTheMeasurement()
    {
        CClockLoopModel a(9), b(9);
        b.SetTimeDiffOffset(a.TimeDiffOffset() + 0.5);
        QVERIFY(qAbs(b.Step(true, true).dTimeDiff - a.Step(true, true).dTimeDiff - 0.5) < 1e-12);
    }
};

QTEST_APPLESS_MAIN(tst_ClockLoopModel)
#include "tst_clockloopmodel.moc"

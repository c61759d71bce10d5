// The stand-in service's clock loop: fits, spreads, states and history.

#include "clockloopmodel.h"

#include <QtTest>

#include <cmath>
#include <limits>

class tst_ClockLoopModel : public QObject
{
    Q_OBJECT

private slots:
    void fit_data();
    void fit();
    void startsAndLocksWithFix();
    void noFixIsNoGps();
    void holdoverAndRecovery();
    void disabledIsOff();
    void resetRestarts();
    void lockDelayHoldsOffLocked();
    void historyKeepsLastTen();
    void offsetShiftsTheMeasurement();
    void insaneParametersStayFinite();
};

void tst_ClockLoopModel::fit_data()
{
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<int>("last");
    QTest::addColumn<double>("slope");
    QTest::addColumn<double>("intercept");
    QTest::addColumn<double>("stdDev");
    QTest::addColumn<int>("samples");

    QTest::newRow("empty") << QVector<double>{} << 60 << 0.0 << 0.0 << 0.0 << 0;
    QTest::newRow("one value") << QVector<double>{0.25} << 60 << 0.0 << 0.25 << 0.0 << 1;
    // y = 2x + 1 at x = 1, 2, 3: spread of 3, 5, 7 is 2.
    QTest::newRow("exact line") << QVector<double>{3, 5, 7} << 60 << 2.0 << 1.0 << 2.0 << 3;
    // Only the last three count: 10, 10, 10.
    QTest::newRow("window") << QVector<double>{-50, 99, 10, 10, 10} << 3 << 0.0 << 10.0 << 0.0 << 3;
    // 1, 3, 2, 4: slope 0.8, intercept 0.5, mean 2.5, spread sqrt(5/3).
    QTest::newRow("noisy") << QVector<double>{1, 3, 2, 4} << 60 << 0.8 << 0.5 << std::sqrt(5.0 / 3.0) << 4;
}

void tst_ClockLoopModel::fit()
{
    QFETCH(QVector<double>, values);
    QFETCH(int, last);
    const std::deque<double> deque(values.begin(), values.end());
    const LINE_FIT f = CClockLoopModel::Fit(deque, last);
    QFETCH(double, slope);
    QFETCH(double, intercept);
    QFETCH(double, stdDev);
    QVERIFY2(qAbs(f.dSlope - slope) < 1e-12, qPrintable(QString::number(f.dSlope)));
    QVERIFY2(qAbs(f.dIntercept - intercept) < 1e-12, qPrintable(QString::number(f.dIntercept)));
    QVERIFY2(qAbs(f.dStdDev - stdDev) < 1e-12, qPrintable(QString::number(f.dStdDev)));
    QTEST(f.nSamples, "samples");
}

void tst_ClockLoopModel::startsAndLocksWithFix()
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
    // Locked: the difference has converged to well under a millisecond and
    // the fits describe the recent samples.
    QVERIFY(qAbs(loop.TrueTimeDiff()) < 0.002);
    QVERIFY(s.dStdDev > 0.0 && s.dStdDev < CClockLoopModel::LOCK_SPREAD);
    QVERIFY(s.nSamples > 1 && s.nSamples <= CClockLoopModel::FIT_SAMPLES);
    QVERIFY(s.nSamples2 >= s.nSamples && s.nSamples2 <= CClockLoopModel::FIT2_SAMPLES);
    QVERIFY(qAbs(s.nSamples * s.dFitSlope + s.dFitIntercept) < 0.002);
    QVERIFY(s.dEstTimeError > 0.0 && s.dEstTimeError < 0.003);
    // The loop holds the clock against its drift (25 ppm) with its control value.
    for (int i = 0; i < 300; ++i)
        s = loop.Step(true, true);
    QCOMPARE(s.nLoopState, int(CClockLoopModel::LOOP_LOCKED));
    QVERIFY2(qAbs(s.dControlValue + CClockLoopModel::CLOCK_DRIFT * 1e6) < 5.0,
             qPrintable(QString::number(s.dControlValue)));
}

void tst_ClockLoopModel::noFixIsNoGps()
{
    CClockLoopModel loop;
    BRFN::CMD_DATA_CONTROL_LOOP_STATUS s;
    for (int i = 0; i < 20; ++i)
        s = loop.Step(true, false);
    QCOMPARE(s.nLoopState, int(CClockLoopModel::LOOP_NO_GPS));
    QCOMPARE(s.nSamples, 0);
    QCOMPARE(s.dEstTimeError, 0.0);
    // No receiver at all reads the same.
    CClockLoopModel noReceiver;
    for (int i = 0; i < 5; ++i)
        s = noReceiver.Step(false, true);
    QCOMPARE(s.nLoopState, int(CClockLoopModel::LOOP_NO_GPS));
}

void tst_ClockLoopModel::holdoverAndRecovery()
{
    CClockLoopModel loop(5);
    for (int i = 0; i < 40; ++i)
        loop.Step(true, true);
    QVERIFY(loop.State() == CClockLoopModel::LOOP_SYNCHING || loop.State() == CClockLoopModel::LOOP_LOCKED);
    BRFN::CMD_DATA_CONTROL_LOOP_STATUS s = loop.Step(true, false);
    QCOMPARE(s.nLoopState, int(CClockLoopModel::LOOP_HOLDOVER));
    const double dError = s.dEstTimeError;
    for (int i = 0; i < 10; ++i)
        s = loop.Step(true, false);
    QCOMPARE(s.nLoopState, int(CClockLoopModel::LOOP_HOLDOVER));
    // The estimated error grows while the clock free-runs.
    QVERIFY(s.dEstTimeError > dError);
    s = loop.Step(true, true);
    QCOMPARE(s.nLoopState, int(CClockLoopModel::LOOP_RECOVERY));
    for (int i = 0; i < CClockLoopModel::RECOVERY_SECONDS; ++i)
        s = loop.Step(true, true);
    QCOMPARE(s.nLoopState, int(CClockLoopModel::LOOP_SYNCHING));
}

void tst_ClockLoopModel::disabledIsOff()
{
    CClockLoopModel loop;
    for (int i = 0; i < 30; ++i)
        loop.Step(true, true);
    loop.SetEnabled(false);
    QCOMPARE(loop.Parameters().bLoopEnabled, 0);
    BRFN::CMD_DATA_CONTROL_LOOP_STATUS s = loop.Step(true, true);
    QCOMPARE(s.nLoopState, int(CClockLoopModel::LOOP_OFF));
    QCOMPARE(s.dControlValue, 0.0);
    loop.SetEnabled(true);
    QCOMPARE(loop.Parameters().bLoopEnabled, 1);
    s = loop.Step(true, true);
    QCOMPARE(s.nLoopState, int(CClockLoopModel::LOOP_STARTING));
}

void tst_ClockLoopModel::resetRestarts()
{
    CClockLoopModel loop;
    for (int i = 0; i < 30; ++i)
        loop.Step(true, true);
    QVERIFY(loop.Step(true, true).nSamples > 5);
    loop.Reset();
    const BRFN::CMD_DATA_CONTROL_LOOP_STATUS s = loop.Step(true, true);
    QCOMPARE(s.nLoopState, int(CClockLoopModel::LOOP_STARTING));
    QCOMPARE(s.nSamples, 1);
}

void tst_ClockLoopModel::lockDelayHoldsOffLocked()
{
    CClockLoopModel loop(3);
    BRFN::CMD_DATA_GPS_LOCK_CONFIG config;
    config.bEnable = true;
    config.nDelay = 400;
    loop.SetLockConfig(config);
    int nFirstLocked = -1;
    for (int i = 1; i <= 600 && nFirstLocked < 0; ++i) {
        if (loop.Step(true, true).nLoopState == CClockLoopModel::LOOP_LOCKED)
            nFirstLocked = i;
    }
    QCOMPARE(nFirstLocked, 400);
}

void tst_ClockLoopModel::historyKeepsLastTen()
{
    CClockLoopModel loop;
    QVector<double> diffs;
    for (int i = 0; i < 14; ++i)
        diffs.append(loop.Step(true, true).dTimeDiff);
    const BRFN::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY& h = loop.History();
    QCOMPARE(h.nCount, 10);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(h.aEntries[i].dTimeDiff, diffs.at(i + 4));
    loop.EraseHistory();
    QCOMPARE(loop.History().nCount, 0);
    loop.Step(true, true);
    QCOMPARE(loop.History().nCount, 1);
}

void tst_ClockLoopModel::offsetShiftsTheMeasurement()
{
    CClockLoopModel a(9), b(9);
    b.SetTimeDiffOffset(a.TimeDiffOffset() + 0.5);
    const double dA = a.Step(true, true).dTimeDiff;
    const double dB = b.Step(true, true).dTimeDiff;
    QVERIFY(qAbs(dB - dA - 0.5) < 1e-12);
}

void tst_ClockLoopModel::insaneParametersStayFinite()
{
    CClockLoopModel loop;
    BRFN::CMD_DATA_LOOP_PARAMETERS p;
    p.dTimeConstant = 0.0;
    p.dGain = std::numeric_limits<double>::quiet_NaN();
    p.dDamping = std::numeric_limits<double>::infinity();
    p.dDetectorGain = -1e300;
    loop.SetParameters(p);
    for (int i = 0; i < 200; ++i) {
        const BRFN::CMD_DATA_CONTROL_LOOP_STATUS s = loop.Step(true, true);
        QVERIFY(std::isfinite(s.dTimeDiff) && std::isfinite(s.dControlValue) && std::isfinite(s.dStdDev) &&
                std::isfinite(s.dFitSlope) && std::isfinite(s.dEstTimeError));
    }
    // The values set are the values reported, however odd.
    QCOMPARE(loop.Parameters().dTimeConstant, 0.0);
    QCOMPARE(loop.Parameters().dDetectorGain, -1e300);
}

QTEST_APPLESS_MAIN(tst_ClockLoopModel)
#include "tst_clockloopmodel.moc"

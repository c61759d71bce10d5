// The stability library against the handbook's published 1000-point test
// suite, series of known noise type from a seeded generator, and the
// closed forms of the degrees of freedom.

#include "stability.h"

#include <QtTest>

#include <cmath>
#include <random>

using namespace Stability;

namespace {

// The handbook's 1000-point frequency data: n[i+1] = 16807 n[i] mod (2^31 - 1).
std::vector<double> ReferenceFrequencies()
{
    std::vector<double> y;
    long long n = 1234567890;
    for (int i = 0; i < 1000; ++i) {
        y.push_back(double(n) / 2147483647.0);
        n = (16807 * n) % 2147483647;
    }
    return y;
}

enum Noise
{
    WhitePM,
    WhiteFM,
    RandomWalkFM
};

// Phase data of one noise type: white PM is white phase, white FM its running
// sum, random-walk FM the running sum of that.
std::vector<double> Series(Noise noise, std::size_t n, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::normal_distribution<double> normal;
    std::vector<double> x(n);
    double y = 0.0, phase = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double w = normal(random);
        switch (noise) {
        case WhitePM:
            x[i] = 1e-9 * w;
            break;
        case WhiteFM:
            phase += 1e-9 * w;
            x[i] = phase;
            break;
        case RandomWalkFM:
            y += 1e-12 * w;
            phase += y;
            x[i] = phase;
            break;
        }
    }
    return x;
}

} // namespace

class TestStability : public QObject
{
    Q_OBJECT

private slots:
    void referenceSuite_data();
    void referenceSuite();

};

void TestStability::referenceSuite_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("tau1");
    QTest::addColumn<double>("tau10");
    QTest::addColumn<double>("tau100");
    QTest::newRow("adev") << "adev" << 2.922319e-01 << 9.965736e-02 << 3.897804e-02;
    QTest::newRow("oadev") << "oadev" << 2.922319e-01 << 9.159953e-02 << 3.241343e-02;
    QTest::newRow("mdev") << "mdev" << 2.922319e-01 << 6.172376e-02 << 2.170921e-02;
    QTest::newRow("tdev") << "tdev" << 1.687202e-01 << 3.563623e-01 << 1.253382e+00;
    QTest::newRow("hdev") << "hdev" << 2.943883e-01 << 1.052754e-01 << 3.910860e-02;
    QTest::newRow("ohdev") << "ohdev" << 2.943883e-01 << 9.581083e-02 << 3.237638e-02;
    QTest::newRow("totdev") << "totdev" << 2.922319e-01 << 9.134743e-02 << 3.406530e-02;
}

// Through the whole table (decade factors hold 1, 10 and 100), as the tool
// and the window get it.
void TestStability::referenceSuite()
{
    QFETCH(QString, kind);
    Kind k;
    QVERIFY(ParseKind(kind.toStdString(), k));
    const Analysis a = Analyse(FrequencyToPhase(ReferenceFrequencies(), 1.0), 1.0, k, TauSet::Decade);
    QVERIFY2(a.bOk, a.strError.c_str());
    QFETCH(double, tau1);
    QFETCH(double, tau10);
    QFETCH(double, tau100);
    int nFound = 0;
    for (const Row& row : a.rows) {
        double want = 0.0;
        if (row.nFactor == 1)
            want = tau1;
        else if (row.nFactor == 10)
            want = tau10;
        else if (row.nFactor == 100)
            want = tau100;
        else
            continue;
        ++nFound;
        QVERIFY2(std::fabs(row.dValue / want - 1.0) < 1e-6,
                 qPrintable(QString("m=%1: %2, want %3").arg(row.nFactor).arg(row.dValue, 0, 'e', 7).arg(want)));
    }
    QCOMPARE(nFound, 3);
}

QTEST_APPLESS_MAIN(TestStability)
#include "tst_stability.moc"

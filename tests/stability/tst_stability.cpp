// The stability library against the handbook's published 1000-point test
// suite, series of known noise type from a seeded generator, and the
// closed forms of the degrees of freedom.

#include "stability.h"

#include <QtTest>

#include <cmath>
#include <random>

using namespace Stability;

namespace {

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

struct ToolRun
{
    int nExit = -1;
    QString strOut, strErr;
};

ToolRun RunTool(const QStringList& args, const QByteArray& input = QByteArray())
{
    QProcess tool;
    tool.start(qEnvironmentVariable("TELLURIX_BIN_DIR") + "/tellurix-stability", args);
    if (!tool.waitForStarted())
        return {};
    tool.write(input);
    tool.closeWriteChannel();
    tool.waitForFinished(60000);
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
            QString::fromUtf8(tool.readAllStandardOutput()), QString::fromUtf8(tool.readAllStandardError())};
}

QString DataFile(const char* pszName)
{
    return qEnvironmentVariable("TELLURIX_SOURCE_DIR") + "/tests/data/" + pszName;
}

} // namespace

class TestStability : public QObject
{
    Q_OBJECT

private slots:
    void noiseIdentification_data()
    {
        QTest::addColumn<int>("noise");
        QTest::addColumn<int>("alpha");
        QTest::newRow("white PM") << int(WhitePM) << 2;
        QTest::newRow("white FM") << int(WhiteFM) << 0;
        QTest::newRow("random-walk FM") << int(RandomWalkFM) << -2;
    }

    // Every octave factor of the table, through the autocorrelation method
    // (at least 30 averages) and the B1 ratio beyond it, over ten seeds.
    void noiseIdentification()
    {
        QFETCH(int, noise);
        QFETCH(int, alpha);
        // Rows by the number of averages left: [0] 100 or more, [1] 30 to 99
        // (the autocorrelation method), [2] 8 to 29 (the B1 ratio).
        int nRows[3] = {0, 0, 0}, nRight[3] = {0, 0, 0};
        for (unsigned seed = 1; seed <= 10; ++seed) {
            const std::vector<double> x = Series(Noise(noise), 8192, seed);
            const Analysis a = Analyse(x, 1.0, Kind::Oadev, TauSet::Octave);
            QVERIFY(a.bOk);
            for (const Row& row : a.rows) {
                const std::size_t nAverages = (x.size() - 1) / std::size_t(row.nFactor) + 1;
                const int band = nAverages >= 100 ? 0 : nAverages >= 30 ? 1 : nAverages >= 8 ? 2 : -1;
                if (band < 0)
                    continue;
                ++nRows[band];
                nRight[band] += row.nAlpha == alpha;
            }
        }
        const QString counts = QString::asprintf("%d/%d, %d/%d, %d/%d", nRight[0], nRows[0], nRight[1],
                                                 nRows[1], nRight[2], nRows[2]);
        // The estimates are statistics of the data: certain with many averages,
        // nearly so at 30, most of the time with a handful.
        QVERIFY2(nRight[0] == nRows[0], qPrintable(counts));
        QVERIFY2(nRight[1] * 10 >= nRows[1] * 9, qPrintable(counts));
        QVERIFY2(nRight[2] * 2 >= nRows[2], qPrintable(counts));
    }

    void refusesBadInput_data()
    {
        QTest::addColumn<QVector<double>>("x");
        QTest::addColumn<double>("tau0");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("empty") << QVector<double>{} << 1.0;
        QTest::newRow("two points") << QVector<double>{1.0, 2.0} << 1.0;
        QTest::newRow("nan") << QVector<double>{1.0, nan, 2.0, 3.0} << 1.0;
        QTest::newRow("inf") << QVector<double>{1.0, 2.0, 3.0, -inf} << 1.0;
        QTest::newRow("tau0 zero") << QVector<double>{1.0, 2.0, 3.0, 4.0} << 0.0;
        QTest::newRow("tau0 nan") << QVector<double>{1.0, 2.0, 3.0, 4.0} << nan;
    }

    void refusesBadInput()
    {
        QFETCH(QVector<double>, x);
        QFETCH(double, tau0);
        for (Kind kind : {Kind::Adev, Kind::Mdev, Kind::Totdev, Kind::Mtie}) {
            const Analysis a = Analyse(std::vector<double>(x.begin(), x.end()), tau0, kind, TauSet::All);
            QVERIFY(!a.bOk);
            QVERIFY(!a.strError.empty());
            QVERIFY(a.rows.empty());
        }
    }

    void timeIntervalErrorMatchesBruteForce()
    {
        const std::vector<double> x = Series(WhiteFM, 997, 7);
        const Analysis mtie = Analyse(x, 0.5, Kind::Mtie, TauSet::All);
        const Analysis rms = Analyse(x, 0.5, Kind::TieRms, TauSet::All);
        QVERIFY(mtie.bOk && rms.bOk);
        QCOMPARE(mtie.rows.size(), x.size() - 1);
        for (const Row& row : mtie.rows) {
            const std::size_t m = std::size_t(row.nFactor);
            double worst = 0.0, squares = 0.0;
            for (std::size_t i = 0; i + m < x.size(); ++i) {
                const auto [lo, hi] = std::minmax_element(x.begin() + long(i), x.begin() + long(i + m + 1));
                worst = std::max(worst, *hi - *lo);
                squares += (x[i + m] - x[i]) * (x[i + m] - x[i]);
            }
            QCOMPARE(row.dValue, worst);
            QCOMPARE(row.dTau, 0.5 * double(m));
            QCOMPARE(row.nTerms, (long long)(x.size() - m));
            QVERIFY(qFuzzyCompare(rms.rows[m - 1].dValue, std::sqrt(squares / double(x.size() - m))));
        }
    }

    void edfTablesMatchExactSums_data()
    {
        QTest::addColumn<int>("alpha");
        QTest::addColumn<int>("d");
        QTest::addColumn<bool>("modified");
        for (int d = 2; d <= 3; ++d)
            for (int alpha = 2; alpha >= -2; --alpha)
                for (bool modified : {false, true})
                    if (!(modified && d == 3))
                        QTest::addRow("alpha %d, d %d%s", alpha, d, modified ? ", modified" : "")
                            << alpha << d << modified;
    }

    // Beyond 100 lags the overlapping estimators take the paper's asymptotic
    // tables: they must agree with the sum over every lag.
    void edfTablesMatchExactSums()
    {
        QFETCH(int, alpha);
        QFETCH(int, d);
        QFETCH(bool, modified);
        // Both terms of a table's entry count: a short record (6 strides) and a
        // long one (40).
        const long long m = 300;
        for (long long r : {6, 40}) {
            const long long n = (r + d + 1) * m;
            const double tables = GreenhallEdf(alpha, d, m, n, true, modified);
            const double exact = GreenhallEdf(alpha, d, m, n, true, modified, true);
            QVERIFY2(std::fabs(tables / exact - 1.0) < 0.01,
                     qPrintable(QString("r=%1: %2 vs %3").arg(r).arg(tables).arg(exact)));
        }
    }

    void edfMatchesWhiteNoiseClosedForms_data()
    {
        QTest::addColumn<int>("alpha");
        QTest::addColumn<long long>("m");
        for (long long m : {1, 4, 16, 64})
            QTest::addRow("white PM, m %lld", m) << 2 << m;
        for (long long m : {32, 64, 128})
            QTest::addRow("white FM, m %lld", m) << 0 << m;
    }

    // The handbook's closed forms for the overlapping Allan deviation in white
    // noise: (N+1)(N-2m) / (2(N-m)) for white PM, and
    // (3(N-1)/(2m) - 2(N-2)/N) 4m^2/(4m^2+5) for white FM (N phase points).
    // At small factors in white FM the two differ by up to a sixth: the closed
    // form counts the phase as point samples of a random walk, Greenhall and
    // Riley as averages over the sampling interval, which makes neighbouring
    // second differences less correlated (-1/3 instead of -1/2 at m = 1).
    void edfMatchesWhiteNoiseClosedForms()
    {
        QFETCH(int, alpha);
        QFETCH(long long, m);
        const double n = 1025.0, dm = double(m);
        const double closed =
            alpha == 2 ? (n + 1) * (n - 2 * dm) / (2 * (n - dm))
                       : (3 * (n - 1) / (2 * dm) - 2 * (n - 2) / n) * 4 * dm * dm / (4 * dm * dm + 5);
        const double edf = Edf(Kind::Oadev, alpha, m, std::size_t(n));
        QVERIFY2(std::fabs(edf / closed - 1.0) < 0.05, qPrintable(QString("%1 vs %2").arg(edf).arg(closed)));
    }

    void boundsNarrowWithMoreTerms()
    {
        double lastWidth = std::numeric_limits<double>::infinity();
        for (std::size_t n : {64, 256, 1024, 4096, 16384}) {
            const double edf = Edf(Kind::Oadev, 0, 4, n);
            double lo, hi;
            Bounds(1.0, edf, lo, hi);
            QVERIFY(lo < 1.0 && hi > 1.0);
            QVERIFY2(hi - lo < lastWidth, qPrintable(QString("n=%1: %2").arg(n).arg(hi - lo)));
            lastWidth = hi - lo;
            // For many degrees of freedom the interval is +-1/sqrt(2 edf) about
            // the value, the normal limit of chi-squared.
            if (edf > 1000)
                QVERIFY(std::fabs((hi - lo) / 2.0 * std::sqrt(2.0 * edf) - 1.0) < 0.02);
        }
    }

    void toolReproducesReference_data()
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

    // The handbook's published values of its 1000-point suite through the tool: the file in tests/data read
    // as frequency data, in text; the same data summed to phase (the tool's default), from its input, in
    // CSV. The rows at factors 1, 10 and 100 of the decade set; up to 10, with 100 averages or more, the
    // noise is named white FM.
    void toolReproducesReference()
    {
        QFETCH(QString, kind);
        QFETCH(double, tau1);
        QFETCH(double, tau10);
        QFETCH(double, tau100);
        QFile file(DataFile("reference-1000.freq"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray phase("# summed\n0\n");
        double x = 0.0;
        for (const QByteArray& line : file.readAll().split('\n'))
            if (!line.startsWith('#') && !line.isEmpty())
                phase += QByteArray::number(x += line.toDouble(), 'g', 17) + '\n';
        for (bool csv : {false, true}) {
            const QStringList args{"--kind", kind, "--taus", "decade"};
            const ToolRun run = csv ? RunTool(args + QStringList{"--csv", "-"}, phase)
                                    : RunTool(args + QStringList{"--data", "frequency", file.fileName()});
            QCOMPARE(run.nExit, 0);
            QVERIFY(
                run.strOut.contains(csv ? "# points: 1001 phase values" : "# points: 1000 frequency values"));
            QMap<int, double> sigma;
            for (const QString& line : run.strOut.split('\n', Qt::SkipEmptyParts)) {
                if (line.startsWith('#') || line.startsWith("AF"))
                    continue;
                const QStringList f = line.split(csv ? QRegularExpression(",") : QRegularExpression("\\s+"));
                QCOMPARE(f.size(), 7);
                sigma[f[0].toInt()] = f[5].toDouble();
                QVERIFY(f[4].toDouble() < f[5].toDouble() && f[5].toDouble() < f[6].toDouble());
                QVERIFY2(f[0].toInt() > 10 || f[3] == "0", qPrintable(line));
            }
            for (auto [m, want] : {std::pair{1, tau1}, {10, tau10}, {100, tau100}})
                QVERIFY2(std::fabs(sigma.value(m) / want - 1.0) < 1e-6,
                         qPrintable(QString("m=%1: %2").arg(m).arg(sigma.value(m))));
        }
    }

    void toolRefuses_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("message");
        QTest::newRow("not a number")
            << QStringList{"-"} << QByteArray("1\n# c\n\n2\n3x\n4\n") << 1 << "line 5";
        QTest::newRow("nan") << QStringList{"-"} << QByteArray("1\n2\nnan\n") << 1 << "line 3";
        QTest::newRow("empty") << QStringList{"-"} << QByteArray() << 1 << "at least three points";
        QTest::newRow("two points") << QStringList{"-"} << QByteArray("1\n2\n") << 1
                                    << "at least three points";
        QTest::newRow("header in the middle")
            << QStringList{"--column", "2", "-"} << QByteArray("t,x\n0,1\n1,2\nt,x\n") << 1 << "line 4";
        QTest::newRow("unknown kind")
            << QStringList{"--kind", "bdev", "-"} << QByteArray("1\n2\n3\n") << 2 << "--kind";
        QTest::newRow("tau0 zero") << QStringList{"--tau0", "0", "-"} << QByteArray("1\n2\n3\n") << 2
                                   << "--tau0";
        QTest::newRow("no file") << QStringList{} << QByteArray() << 2 << "FILE";
        QTest::newRow("missing file") << QStringList{"/nonexistent/x"} << QByteArray() << 1 << "No such file";
    }

    void toolRefuses()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        QFETCH(QString, message);
        const ToolRun run = RunTool(args, input);
        QTEST(run.nExit, "exit");
        QVERIFY2(run.strErr.contains(message), qPrintable(run.strErr));
        QVERIFY(run.strOut.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestStability)
#include "tst_stability.moc"

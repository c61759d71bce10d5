// The chart's geometry and scaling without a widget: font sizes, grid lines
// for the worked ranges, the rescale rules and the window of points a paint
// visits, including spans and factors that are zero, infinite or NaN.
#include "chartgeometry.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace ChartGeometry;

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// "value@pixel" for each line, "*" marking the zero line.
QString Describe(const QVector<GridLine>& lines)
{
    QStringList out;
    for (const GridLine& line : lines)
        out << QString::asprintf("%.10g%s@%.0f", line.dValue, line.bZero ? "*" : "", line.dPixel);
    return out.join(' ');
}
} // namespace

class tst_ChartGeometry : public QObject
{
    Q_OBJECT

private slots:
    void pointSizes_data();
    void pointSizes();
    void horizontalGrid_data();
    void horizontalGrid();
    void verticalGrid_data();
    void verticalGrid();
    void rescale_data();
    void rescale();
    void planVisit_data();
    void planVisit();
};

void tst_ChartGeometry::pointSizes_data()
{
    QTest::addColumn<QString>("kind"); // "text" or "clock"
    QTest::addColumn<double>("a");     // length, or clock width
    QTest::addColumn<double>("b");     // fraction, or clock height
    QTest::addColumn<int>("dpi");
    QTest::addColumn<QString>("sizes");
    QTest::newRow("state 400 px") << "text" << 399.0 << 0.15 << 96 << "59";
    QTest::newRow("error 400 px") << "text" << 399.0 << 0.03 << 96 << "11";
    QTest::newRow("chart label 120 dpi") << "text" << 10.0 << 1.0 << 120 << "8";
    QTest::newRow("too narrow -> 1") << "text" << 4.0 << 0.15 << 96 << "1";
    QTest::newRow("NaN -> 1") << "text" << kNaN << 0.15 << 96 << "1";
    QTest::newRow("clock flat, height rule") << "clock" << 450.0 << 100.0 << 96 << "50 10";
    QTest::newRow("clock, width rule") << "clock" << 449.0 << 100.0 << 96 << "67 8";
}

void tst_ChartGeometry::pointSizes()
{
    QFETCH(QString, kind);
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(int, dpi);
    QFETCH(QString, sizes);
    const ClockSizes clock = ClockPointSizes(a, b, dpi);
    QCOMPARE(kind == "clock" ? QString("%1 %2").arg(clock.nTime).arg(clock.nDate)
                             : QString::number(PointSize(a, b, dpi)),
             sizes);
}

// Plot at x 80, 300 px wide unless given.
void tst_ChartGeometry::horizontalGrid_data()
{
    QTest::addColumn<double>("xMin");
    QTest::addColumn<double>("xMax");
    QTest::addColumn<double>("width");
    QTest::addColumn<QString>("lines");
    QTest::newRow("0..300: step 80, 300 gets none") << 0.0 << 300.0 << 300.0 << "240@320 160@240 80@160 0@80";
    QTest::newRow("window past 2^31")
        << 2999999700.0 << 3e9 << 300.0 << "2999999920@300 2999999840@220 2999999760@140";
    QTest::newRow("span past 2^31: counter keeps counting") << 0.0 << 5e9 << 500.0
                                                            << "4697620480@550 4026531840@483 3355443200@416 "
                                                               "2684354560@348 2013265920@281 1342177280@214 "
                                                               "671088640@147 0@80";
    QTest::newRow("zero span") << 5.0 << 5.0 << 300.0 << "";
    QTest::newRow("NaN") << kNaN << 300.0 << 300.0 << "";
    QTest::newRow("infinite") << 0.0 << kInf << 300.0 << "";
    QTest::newRow("no width") << 0.0 << 300.0 << 0.0 << "";
}

void tst_ChartGeometry::horizontalGrid()
{
    QFETCH(double, xMin);
    QFETCH(double, xMax);
    QFETCH(double, width);
    QFETCH(QString, lines);
    QCOMPARE(Describe(HorizontalGrid(xMin, xMax, ScaleFactor(width, xMax - xMin), 80, width)), lines);
}

// Plot at y 0, 200 px high.
void tst_ChartGeometry::verticalGrid_data()
{
    QTest::addColumn<double>("yMin");
    QTest::addColumn<double>("yMax");
    QTest::addColumn<QString>("lines");
    QTest::newRow("+-0.025: 10 x 0.01") << -0.025 << 0.025 << "0.02@20 0.01@60 0*@100 -0.01@140 -0.02@180";
    QTest::newRow("+-50: none at -50")
        << -50.0 << 50.0 << "50@0 40@20 30@40 20@60 10@80 0*@100 -10@120 -20@140 -30@160 -40@180";
    QTest::newRow("-0.005..0.01: 20 x 0.005") << -0.005 << 0.01 << "0.01@0 0.005@67 0*@133 -0.005@200";
    QTest::newRow("tiny span: 50 x 2e-7") << 0.0 << 5e-7 << "4e-07@40 2e-07@120 0*@200";
    QTest::newRow("span too small for 100 lines") << 0.0 << 1e-9 << "";
    QTest::newRow("zero span") << 1.0 << 1.0 << "";
    QTest::newRow("NaN") << kNaN << 1.0 << "";
    QTest::newRow("infinite") << -kInf << 1.0 << "";
}

void tst_ChartGeometry::verticalGrid()
{
    QFETCH(double, yMin);
    QFETCH(double, yMax);
    QFETCH(QString, lines);
    QCOMPARE(Describe(VerticalGrid(yMin, yMax, ScaleFactor(200, yMax - yMin), 0, 200)), lines);
}

void tst_ChartGeometry::rescale_data()
{
    QTest::addColumn<bool>("window");
    QTest::addColumn<double>("low"); // visible or extent bounds
    QTest::addColumn<double>("high");
    QTest::addColumn<QString>("range"); // minimum span +-0.025 unless the row sets [0, 0]
    QTest::newRow("inside the minimum span") << true << 0.001 << 0.003 << "-0.025 0.025";
    QTest::newRow("below the minimum span") << true << -0.03 << 0.01 << "-0.034 0.014";
    QTest::newRow("all 0, span [0,0]") << true << 0.0 << 0.0 << "-1 1";
    QTest::newRow("all 2, span [0,0]") << true << 2.0 << 2.0 << "1 3";
    QTest::newRow("nothing visible") << true << kSentinel << -kSentinel << "-0.025 0.025";
    QTest::newRow("extent -1..3") << false << -1.0 << 3.0 << "-1.4 3.4";
    QTest::newRow("extent of a band 5") << false << -5.0 << 5.0 << "-6 6";
}

void tst_ChartGeometry::rescale()
{
    QFETCH(bool, window);
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(QString, range);
    const double dSpan = QString(QTest::currentDataTag()).contains("[0,0]") ? 0.0 : 0.025;
    const Range r = window ? WindowYRange(low, high, -dSpan, dSpan) : ExtentYRange(low, high);
    QCOMPARE(QString::asprintf("%g %g", r.dMin, r.dMax), range);
}

void tst_ChartGeometry::planVisit_data()
{
    QTest::addColumn<int>("points"); // at x = 0, 1, ...
    QTest::addColumn<double>("xMin");
    QTest::addColumn<double>("xMax");
    QTest::addColumn<double>("width");
    QTest::addColumn<QString>("plan"); // first, step
    QTest::newRow("extent, 10,000 on 500 px") << 10000 << 0.0 << 9999.0 << 500.0 << "0 20";
    QTest::newRow("window, last 501 of 10,000") << 10000 << 9499.0 << 9999.0 << 500.0 << "9499 1";
    QTest::newRow("window, fewer points than pixels") << 100 << -401.0 << 99.0 << 500.0 << "0 1";
    QTest::newRow("no points") << 0 << 0.0 << 300.0 << 300.0 << "0 1";
    QTest::newRow("no width: nothing to thin") << 10000 << 0.0 << 9999.0 << 0.0 << "9999 1";
    QTest::newRow("NaN range") << 10000 << kNaN << 9999.0 << 500.0 << "9999 1";
    QTest::newRow("huge range") << 10000 << -1e300 << 1e300 << 500.0 << "0 20";
}

void tst_ChartGeometry::planVisit()
{
    QFETCH(int, points);
    QFETCH(double, xMin);
    QFETCH(double, xMax);
    QFETCH(double, width);
    QFETCH(QString, plan);
    const VisitPlan p = PlanVisit(points, 80, width, ScaleFactor(width, xMax - xMin), xMin);
    QCOMPARE(QString("%1 %2").arg(p.nFirst).arg(p.nStep), plan);
}

QTEST_APPLESS_MAIN(tst_ChartGeometry)
#include "tst_chartgeometry.moc"

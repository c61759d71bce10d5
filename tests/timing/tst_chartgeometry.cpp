// The chart's geometry without a widget: font sizes, grid lines and the
// window of points a paint visits, for spans that are zero, huge or NaN.
#include "chartgeometry.h"

#include <QTest>

#include <limits>

using namespace ChartGeometry;

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
} // namespace

class tst_ChartGeometry : public QObject
{
    Q_OBJECT

private slots:
    void pointSizes_data();
    void pointSizes();
    void grid_data();
    void grid();
    void planVisit_data();
    void planVisit();
};

void tst_ChartGeometry::pointSizes_data()
{
    QTest::addColumn<double>("length");
    QTest::addColumn<double>("fraction");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<QString>("sizes"); // text, or clock time and date
    QTest::newRow("state, 400 px") << 399.0 << 0.15 << 96 << "59";
    QTest::newRow("error, 400 px") << 399.0 << 0.03 << 96 << "11";
    QTest::newRow("chart label, 120 dpi") << 10.0 << 1.0 << 120 << "8";
    QTest::newRow("too narrow: 1") << 4.0 << 0.15 << 96 << "1";
    QTest::newRow("NaN: 1") << kNaN << 0.15 << 96 << "1";
    QTest::newRow("clock 450 x 100 is flat: by the height") << 450.0 << 100.0 << 96 << "50 10";
    QTest::newRow("clock 449 x 100: by the width") << 449.0 << 100.0 << 96 << "67 8";
}

void tst_ChartGeometry::pointSizes()
{
    QFETCH(double, length);
    QFETCH(double, fraction);
    QFETCH(int, dpi);
    const ClockSizes clock = ClockPointSizes(length, fraction, dpi);
    QTEST(QString(QTest::currentDataTag()).startsWith("clock")
              ? QString("%1 %2").arg(clock.nTime).arg(clock.nDate)
              : QString::number(PointSize(length, fraction, dpi)),
          "sizes");
}

// "value@pixel", "*" marking the zero line (the worked ranges are checked
// in pixels by the chart's test). Horizontal axis: plot at x 80,
// the given pixels wide; vertical: y 0, the given pixels high.
void tst_ChartGeometry::grid_data()
{
    QTest::addColumn<bool>("x");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("pixels");
    QTest::addColumn<QString>("lines");
    auto row = [](const char* tag, bool x, double min, double max, double pixels, const char* lines) {
        QTest::newRow(tag) << x << min << max << pixels << QString(lines);
    };
    row("x past 2^31", true, 2999999700, 3e9, 300, "2999999920@300 2999999840@220 2999999760@140");
    row("x span past 2^31", true, 0, 5e9, 500,
        "4697620480@550 4026531840@483 3355443200@416 2684354560@348 2013265920@281 1342177280@214 "
        "671088640@147 0@80");
    row("x zero span", true, 5, 5, 300, "");
    row("x NaN", true, kNaN, 300, 300, "");
    row("y +-0.025: 10 x 0.01", false, -0.025, 0.025, 200, "0.02@20 0.01@60 0*@100 -0.01@140 -0.02@180");
    row("y tiny span: 50 x 2e-7", false, 0, 5e-7, 200, "4e-07@40 2e-07@120 0*@200");
    row("y span too small for 100 lines", false, 0, 1e-9, 200, "");
    row("y zero span", false, 1, 1, 200, "");
}

void tst_ChartGeometry::grid()
{
    QFETCH(bool, x);
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, pixels);
    const double dFactor = ScaleFactor(pixels, max - min);
    QStringList lines;
    for (const GridLine& line :
         x ? HorizontalGrid(min, max, dFactor, 80, pixels) : VerticalGrid(min, max, dFactor, 0, pixels))
        lines << QString::asprintf("%.10g%s@%.0f", line.dValue, line.bZero ? "*" : "", line.dPixel);
    QTEST(lines.join(' '), "lines");
}

// Points at x = 0, 1, ...; plot at x 80.
void tst_ChartGeometry::planVisit_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<double>("xMin");
    QTest::addColumn<double>("xMax");
    QTest::addColumn<double>("width");
    QTest::addColumn<QString>("plan"); // first, step
    QTest::newRow("extent, 10,000 on 500 px") << 10000 << 0.0 << 9999.0 << 500.0 << "0 20";
    QTest::newRow("window, last 501") << 10000 << 9499.0 << 9999.0 << 500.0 << "9499 1";
    QTest::newRow("window, fewer points than pixels") << 100 << -401.0 << 99.0 << 500.0 << "0 1";
    QTest::newRow("no width") << 10000 << 0.0 << 9999.0 << 0.0 << "9999 1";
    QTest::newRow("NaN range") << 10000 << kNaN << 9999.0 << 500.0 << "9999 1";
    QTest::newRow("huge range") << 10000 << -1e300 << 1e300 << 500.0 << "0 20";
}

void tst_ChartGeometry::planVisit()
{
    QFETCH(int, points);
    QFETCH(double, xMin);
    QFETCH(double, xMax);
    QFETCH(double, width);
    const VisitPlan p = PlanVisit(points, 80, width, ScaleFactor(width, xMax - xMin), xMin);
    QTEST(QString("%1 %2").arg(p.nFirst).arg(p.nStep), "plan");
}

QTEST_APPLESS_MAIN(tst_ChartGeometry)
#include "tst_chartgeometry.moc"

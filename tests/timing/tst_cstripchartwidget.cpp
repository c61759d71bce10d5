// The strip chart: its geometry without a widget, and renders at the sizes of
// the worked examples.
#include "chartgeometry.h"
#include "cstripchartwidget.h"
#include "imagetools.h"

#include <QFontMetrics>
#include <QTest>

#include <limits>

using Chart = CStripChartWidget;

using namespace ChartGeometry;

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const QColor kGrey(128, 128, 128), kMagenta(255, 0, 255), kBlue(0, 0, 255);

// 381 x 216 without tags: plot at 80, 0, 300 x 200.
void SetUp(Chart& chart, int nMode, double dSpan)
{
    chart.resize(381, 216);
    chart.m_strTitle.clear();
    chart.SetScaleMode(nMode, false);
    chart.SetYRangeAndMinimum(-dSpan, dSpan, false);
    chart.SetXRange(0, 300, false);
}

QString State(const Chart& chart)
{
    return QString::asprintf("x %g..%g y %g..%g", chart.XMin(), chart.XMax(), chart.YMin(), chart.YMax());
}
} // namespace

class tst_CStripChartWidget : public QObject
{
    Q_OBJECT

private slots:
    void pointSizes_data()
    {
        QTest::addColumn<double>("length");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<QString>("sizes"); // text, or clock time and date
        // The state panel's 59 and 11 pt at 400 px: its pixels in tst_timingwindow.
        QTest::newRow("chart label, 120 dpi") << 10.0 << 1.0 << 120 << "8";
        QTest::newRow("NaN: 1") << kNaN << 0.15 << 96 << "1";
        QTest::newRow("clock 450 x 100 is flat: by the height") << 450.0 << 100.0 << 96 << "50 10";
        QTest::newRow("clock 449 x 100: by the width") << 449.0 << 100.0 << 96 << "67 8";
    }

    void pointSizes()
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

    // "value@pixel", "*" marking the zero line; the plot's left edge at x 80, its top at y 0.
    void grid_data()
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
        row("y tiny span: 50 x 2e-7", false, 0, 5e-7, 200, "4e-07@40 2e-07@120 0*@200");
        row("y span too small for 100 lines", false, 0, 1e-9, 200, "");
    }

    void grid()
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

    void gridZeroLineAndCaption_data()
    {
        QTest::addColumn<double>("yMin");
        QTest::addColumn<double>("yMax");
        QTest::addColumn<int>("zeroRow"); // -1: no vertical axis
        QTest::addColumn<int>("greyRows");
        QTest::newRow("+-0.025") << -0.025 << 0.025 << 100 << 4;
        QTest::newRow("+-50, none at -50") << -50.0 << 50.0 << 100 << 9;
        QTest::newRow("-0.005..0.01, 20 lines") << -0.005 << 0.01 << 133 << 3;
        QTest::newRow("span 0: no vertical axis") << 1.0 << 1.0 << -1 << 0;
    }

    void gridZeroLineAndCaption()
    {
        QFETCH(double, yMin);
        QFETCH(double, yMax);
        QFETCH(int, zeroRow);
        QFETCH(int, greyRows);
        Chart chart(nullptr);
        SetUp(chart, Chart::SCALE_WINDOW, 0.025);
        chart.SetYRange(yMin, yMax, false);
        const QImage image = Render(&chart);
        // Values 0, 80, 160, 240 of x 0..300 (pixel 80 + value); none at 300.
        QStringList xs;
        for (int x = 79; x < image.width(); ++x)
            if (image.pixelColor(x, 190) == kGrey)
                xs << QString::number(x);
        QCOMPARE(xs.join(' '), QString("80 160 240 320"));
        int n = 0;
        Find(image, kGrey, QRect(200, 0, 1, 201), &n);
        QCOMPARE(n, greyRows);
        const QRect zero = Find(image, kMagenta, image.rect());
        QCOMPARE(zero.isNull(), zeroRow < 0);
        if (zeroRow >= 0)
            QVERIFY(zero.height() == 2 && qAbs(zero.center().y() - zeroRow) <= 1 && zero.left() <= 80 &&
                    zero.right() >= 379);
        // Labels and caption left of the plot come with the axis.
        Find(image, image.pixelColor(5, 5), QRect(0, 0, 79, 196), &n);
        QCOMPARE(n == 79 * 196, zeroRow < 0);
    }

    void bandsTagsAndWindowTrace()
    {
        Chart chart(nullptr);
        SetUp(chart, Chart::SCALE_WINDOW, 0.05);
        chart.SetDataSetStyle(0, Chart::STYLE_BAND);
        chart.SetDataSetColor(0, QColor(255, 192, 192, 128));
        chart.SetDataSetColor(2, kBlue);
        chart.SetValueTag(2, true, false);
        for (int x = 0; x < 1000; ++x) {
            chart.AddPoint(0, x, 0.005, 0.0, false);
            chart.AddPoint(2, x, x < 999 ? 0.01 : -0.02, 0.0, false);
        }
        Render(&chart); // measures the drawn range, which the next paint's scale follows
        const QImage image = Render(&chart);
        // The tag column narrows the plot; the window spans its width.
        const int nTag = 10 * QFontMetrics(DisplayFont(10)).horizontalAdvance('X');
        const int nRight = 380 - nTag;
        QCOMPARE(State(chart), QString("x %1..999 y -0.05..0.05").arg(999 - (300 - nTag)));
        QCOMPARE(image.pixelColor(nRight, 30).rgb(), QPalette().color(QPalette::Mid).rgb());
        // The tag points at the newest value (-0.02: y 140).
        QVERIFY(qAbs(Find(image, kBlue, QRect(nRight + 1, 100, nTag, 80)).center().y() - 140) <= 1);
        // The trace (0.01: y 80) ends at the second newest point, one pixel left of the edge.
        const QRect trace = Find(image, kBlue, QRect(81, 1, nRight - 81, 198));
        QCOMPARE(trace.right(), nRight - 1);
        QVERIFY(trace.height() == 1 && qAbs(trace.top() - 80) <= 1);
        // Bands from y 90 to 110, half-transparent over the plot fill.
        const QColor fill = QPalette().color(QPalette::Button);
        auto blend = [](int c, int b) { return (c * 128 + b * 127) / 255; };
        int nBand = 0;
        Find(image, QColor(blend(255, fill.red()), blend(192, fill.green()), blend(192, fill.blue())),
             QRect(81, 94, nRight - 82, 1), &nBand, 2);
        QVERIFY2(nBand > (nRight - 82) * 3 / 4, qPrintable(QString::number(nBand)));
    }

    void rescaleAfterPaint_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("span");      // minimum span +-span
        QTest::addColumn<QList<double>>("ys"); // at x = 0, 1, ...; 5 is a band; none: erased
        QTest::addColumn<QString>("state");
        auto row = [](const char* tag, int mode, double span, QList<double> ys, const char* state) {
            QTest::newRow(tag) << mode << span << ys << QString(state);
        };
        row("window, inside the minimum span", 3, 0.025, {0.001, 0.003, 0.002}, "x -298..2 y -0.025..0.025");
        row("window, below it", 3, 0.025, {-0.03, 0.01, 0.5}, "x -298..2 y -0.034..0.014");
        row("window, all 2, span 0", 3, 0, {2, 2, 2}, "x -298..2 y 1..3");
        row("extent, a band counts both ways", 0, 0.025, {-1, 3, 5}, "x 0..2 y -6..6");
        row("erased: the owner's ranges", 0, 0.025, {}, "x 0..300 y -0.025..0.025");
    }

    void rescaleAfterPaint()
    {
        QFETCH(int, mode);
        QFETCH(double, span);
        QFETCH(QList<double>, ys);
        Chart chart(nullptr);
        SetUp(chart, mode, span);
        chart.SetDataSetStyle(1, Chart::STYLE_BAND);
        if (ys.isEmpty()) {
            chart.AddPoint(0, 7, 7, 0, false);
            SetUp(chart, mode, span);
            chart.EraseData(false);
        }
        for (int i = 0; i < ys.size(); ++i)
            chart.AddPoint(ys.at(i) == 5 ? 1 : 0, i, ys.at(i), 0, false);
        Render(&chart);
        Render(&chart);
        QTEST(State(chart), "state");
    }

    void paintFinishesForAnyData_data()
    {
        const double kInf = std::numeric_limits<double>::infinity();
        QTest::addColumn<QList<double>>("xyz"); // triples
        QTest::newRow("NaN") << QList<double>{0, kNaN, 0, kNaN, 1, 1, 2, 0, kNaN};
        QTest::newRow("infinite") << QList<double>{0, kInf, 0, 1, -kInf, 1, kInf, 0, 0};
        QTest::newRow("x past 2^31") << QList<double>{3e9, 1, 0, 5e9, 2, 0, 6e9, 0.5, 0};
        QTest::newRow("zero spans") << QList<double>{4, 4, 4, 4, 4, 4};
        QTest::newRow("huge") << QList<double>{-1e300, 1e300, 0, 1e300, -1e300, 1e300};
    }

    // Narrow sizes give plots of zero or negative width.
    void paintFinishesForAnyData()
    {
        QFETCH(QList<double>, xyz);
        for (int nMode : {Chart::SCALE_WINDOW, Chart::SCALE_EXTENT}) {
            Chart chart(nullptr);
            SetUp(chart, nMode, 0.025);
            chart.SetDataSetStyle(1, Chart::STYLE_BAND);
            chart.SetValueTag(0, true, false);
            for (int i = 0; i + 2 < xyz.size(); i += 3)
                for (int nSet : {0, 1})
                    chart.AddPoint(nSet, xyz.at(i), xyz.at(i + 1), xyz.at(i + 2), false);
            for (QSize size :
                 {QSize(0, 0), QSize(1, 1), QSize(20, 5), QSize(100, 30), QSize(170, 40), QSize(381, 216)}) {
                chart.resize(size);
                Render(&chart);
            }
            QVERIFY(
                !Find(Render(&chart), QPalette().color(QPalette::Button), QRect(81, 1, 100, 198)).isNull());
        }
    }
};

QTEST_MAIN(tst_CStripChartWidget)
#include "tst_cstripchartwidget.moc"

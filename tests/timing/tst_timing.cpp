// The timing displays: the strip chart alone at 381 x 216 (a 300 x 200 plot), the clock's
// font sizes and the status panels' text layout (what the panels say: tests/legibility).
#include "chartgeometry.h"
#include "cstripchartwidget.h"
#include "displayfont.h"
#include "pixels.h"

#include <QFontMetricsF>
#include <QTest>

#include <limits>

using Chart = CStripChartWidget;

using namespace ChartGeometry;

namespace {
const QColor kGrey(128, 128, 128), kMagenta(255, 0, 255), kBlue(0, 0, 255);

// Bounding box and number of the pixels in area whose colour is within tol of color.
QRect Find(const QImage& image, const QColor& color, QRect area, int* pCount = nullptr, int tol = 0)
{
    QRect box;
    int n = 0;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - color.red()) <= tol && qAbs(c.green() - color.green()) <= tol &&
                qAbs(c.blue() - color.blue()) <= tol) {
                box |= QRect(x, y, 1, 1);
                ++n;
            }
        }
    if (pCount)
        *pCount = n;
    return box;
}

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

class tst_Timing : public QObject
{
    Q_OBJECT

private slots:
    // 100 px high: flat up to 450 px wide, its texts sized by the height there, else by the width.
    void clockSizes()
    {
        const ClockSizes flat = ClockPointSizes(450, 100, 96), wide = ClockPointSizes(449, 100, 120);
        QCOMPARE(QList<int>({flat.nTime, flat.nDate, wide.nTime, wide.nDate}), QList<int>({50, 10, 53, 7}));
    }

    // x from xMin over the 300 px from pixel 80; y over the 200 px from the top.
    void grid_data()
    {
        QTest::addColumn<double>("xMin");
        QTest::addColumn<double>("yMin");
        QTest::addColumn<double>("yMax");
        QTest::addColumn<QString>("xs");  // grey columns
        QTest::addColumn<int>("zeroRow"); // -1: no vertical axis
        QTest::addColumn<int>("greyRows");
        auto row = [](const char* tag, double xMin, double yMin, double yMax, const char* xs, int zero,
                      int grey) {
            QTest::newRow(tag) << xMin << yMin << yMax << QString(xs) << zero << grey;
        };
        const char* xs = "80 160 240 320"; // 0, 80, 160, 240; none at 300
        row("x past 2^32", 4999999700, -0.025, 0.025, "140 220 300", 100, 4);
        row("+-50, none at -50", 0, -50, 50, xs, 100, 9);
        row("-0.005..0.01, 20 lines", 0, -0.005, 0.01, xs, 133, 3);
        row("+-2.5e-7, 50 lines", 0, -2.5e-7, 2.5e-7, xs, 100, 2);
        row("span 0", 0, 1, 1, xs, -1, 0);
    }

    void grid()
    {
        QFETCH(double, xMin);
        QFETCH(double, yMin);
        QFETCH(double, yMax);
        QFETCH(int, zeroRow);
        Chart chart(nullptr);
        SetUp(chart, Chart::SCALE_WINDOW, 0.025);
        chart.SetXRange(xMin, xMin + 300, false);
        chart.SetYRange(yMin, yMax, false);
        const QImage image = Render(chart);
        QStringList xs;
        for (int x = 79; x < image.width(); ++x)
            if (image.pixelColor(x, 190) == kGrey)
                xs << QString::number(x);
        QTEST(xs.join(' '), "xs");
        int n = 0;
        Find(image, kGrey, QRect(200, 0, 1, 201), &n);
        QTEST(n, "greyRows");
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
        Render(chart); // measures the drawn range, which the next paint's scale follows
        const QImage image = Render(chart);
        // The tag column narrows the plot; the window spans its width.
        const int nTag = 10 * QFontMetrics(DisplayFont::Face(10)).horizontalAdvance('X');
        const int nRight = 380 - nTag;
        QCOMPARE(State(chart), QString("x %1..999 y -0.05..0.05").arg(999 - (300 - nTag)));
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

    // Each (x, y, h): a point (x, y) and, where h is not 0, a band of half-height h around it.
    // Narrow sizes give plots of zero or negative width; every paint finishes, and at full size
    // the plot is back, its ranges rescaled after the range the paint before measured.
    void paints_data()
    {
        const double kInf = std::numeric_limits<double>::infinity();
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("span");       // minimum span +-span
        QTest::addColumn<QList<double>>("xyh"); // triples
        QTest::addColumn<QString>("state");     // empty: not checked
        const int kWindow = Chart::SCALE_WINDOW, kExtent = Chart::SCALE_EXTENT;
        // The newest point is not drawn in window mode, so not measured.
        QTest::newRow("window, 10 % beyond the points")
            << kWindow << 0.025 << QList<double>{0, -0.03, 0, 1, 0.01, 0, 2, 0.5, 0}
            << "x -298..2 y -0.034..0.014";
        QTest::newRow("window, all 2, span 0")
            << kWindow << 0.0 << QList<double>{0, 2, 0, 1, 2, 0, 2, 2, 0} << "x -298..2 y 1..3";
        QTest::newRow("extent, a band counts both ways")
            << kExtent << 0.025 << QList<double>{0, -1, 0, 1, 3, 0, 2, 3, 5} << "x 0..2 y -6..6";
        // Window mode: its x range ends at the newest point, so these reach the plot's geometry.
        const QList<QPair<const char*, QList<double>>> odd = {
            {"infinite", {0, kInf, 0, 1, -kInf, 1, kInf, 0, 0}},
            {"x past 2^31", {3e9, 1, 0, 5e9, 2, 0, 6e9, 0.5, 0}},
            {"huge", {-1e300, 1e300, 0, 1e300, -1e300, 1e300}}};
        for (const auto& data : odd)
            QTest::newRow(data.first) << kWindow << 0.025 << data.second << QString();
    }

    void paints()
    {
        QFETCH(int, mode);
        QFETCH(double, span);
        QFETCH(QList<double>, xyh);
        QFETCH(QString, state);
        Chart chart(nullptr);
        SetUp(chart, mode, span);
        chart.SetDataSetStyle(1, Chart::STYLE_BAND);
        for (int i = 0; i + 2 < xyh.size(); i += 3) {
            chart.AddPoint(0, xyh.at(i), xyh.at(i + 1), 0, false);
            if (xyh.at(i + 2) != 0)
                chart.AddPoint(1, xyh.at(i), xyh.at(i + 2), xyh.at(i + 1), false);
        }
        for (QSize size :
             {QSize(0, 0), QSize(1, 1), QSize(20, 5), QSize(100, 30), QSize(170, 40), QSize(381, 216)}) {
            chart.resize(size);
            Render(chart);
        }
        QVERIFY(!Find(Render(chart), QPalette().color(QPalette::Button), QRect(81, 1, 100, 198)).isNull());
        if (!state.isEmpty())
            QCOMPARE(State(chart), state);
    }

    // Tags 20 px high in a widget from 0 to 200: apart they stay, close ones part around their middle.
    void stackTags_data()
    {
        const double kNaN = std::numeric_limits<double>::quiet_NaN(),
                     kInf = std::numeric_limits<double>::infinity();
        QTest::addColumn<QList<double>>("wanted");
        QTest::addColumn<QList<double>>("centres");
        QTest::newRow("apart") << QList<double>{50, 100} << QList<double>{50, 100};
        QTest::newRow("close") << QList<double>{104, 100} << QList<double>{112, 92};
        QTest::newRow("equal, index order") << QList<double>{100, 100} << QList<double>{90, 110};
        QTest::newRow("three") << QList<double>{100, 101, 102} << QList<double>{81, 101, 121};
        QTest::newRow("past the top") << QList<double>{-30, 5} << QList<double>{10, 30};
        QTest::newRow("at the bottom") << QList<double>{199, 60, 195} << QList<double>{190, 60, 170};
        QTest::newRow("not numbers") << QList<double>{kInf, kNaN, -kInf} << QList<double>{190, 10, 30};
    }

    void stackTags()
    {
        QFETCH(QList<double>, wanted);
        QTEST(StackTags(wanted.toVector(), 20, 0, 200).toList(), "centres");
    }

    // A label's glyphs move the least into the widget; one over a tag or an earlier label is left out.
    void labelPlacement()
    {
        QCOMPARE(QList<double>({ShiftInto(-8, 16, 0, 200), ShiftInto(50, 16, 0, 200),
                                ShiftInto(190, 16, 0, 200), ShiftInto(5, 300, 0, 200)}),
                 QList<double>({0, 50, 184, 0}));
        const QPolygonF tag = TagPolygon(300, 100, 100, 10, 70);
        // Beside the arrow, inside the tag's bounding box but not its outline: kept.
        const QVector<QRectF> boxes = {QRectF(0, 0, 30, 10), QRectF(0, 5, 30, 10), QRectF(0, 10, 30, 10),
                                       QRectF(295, 95, 10, 10), QRectF(300, 88, 4, 4)};
        QCOMPARE(KeepApart(boxes, {tag}), QVector<bool>({true, false, true, false, true}));
    }

    // Two tags of the same value: the boxes lie apart, both tips touch the plot at the value's row.
    void closeTagsStack()
    {
        Chart chart(nullptr);
        SetUp(chart, Chart::SCALE_WINDOW, 0.05);
        const QColor red(192, 0, 0);
        chart.SetDataSetColor(2, kBlue);
        chart.SetDataSetColor(3, red);
        for (int i : {2, 3}) {
            chart.SetValueTag(i, true, false);
            chart.AddPoint(i, 0, 0.0, 0, false);
        }
        const QImage image = Render(chart);
        const int nRight = 380 - 10 * QFontMetrics(DisplayFont::Face(10)).horizontalAdvance('X');
        const QRect blue = Find(image, kBlue, QRect(nRight + 1, 0, 100, 216)),
                    redBox = Find(image, red, QRect(nRight + 1, 0, 100, 216));
        QVERIFY(blue.bottom() <= redBox.top() + 1 && blue.height() > 10 && redBox.height() > 10);
        for (const QColor& c : {kBlue, red})
            QVERIFY(qAbs(Find(image, c, QRect(nRight + 1, 0, 1, 216)).center().y() - 100) <= 1);
    }

    // Window mode: the paint that first draws a spike (it is second newest then) has it inside the plot.
    void spikeInsideFirstPaint()
    {
        Chart chart(nullptr);
        SetUp(chart, Chart::SCALE_WINDOW, 0.05);
        chart.SetDataSetColor(2, kBlue);
        for (int x = 0; x < 1000; ++x)
            chart.AddPoint(2, x, 0.01, 0, false);
        Render(chart);
        chart.AddPoint(2, 1000, 1.0, 0, false);
        chart.AddPoint(2, 1001, 0.01, 0, false);
        const QRect trace = Find(Render(chart), kBlue, QRect(81, 0, 299, 200));
        QCOMPARE(chart.VisibleYMax(), 1.0);
        QVERIFY2(chart.YMax() > 1.0 && trace.top() > 0, qPrintable(State(chart)));
    }

    // The large text fits the width and ends clear above the foot; sizes only shrink where they must.
    void panelTexts_data()
    {
        QTest::addColumn<QSizeF>("room");
        QTest::addColumn<bool>("lower"); // the large text is smaller than the width allows
        QTest::addColumn<bool>("broken");
        QTest::newRow("roomy") << QSizeF(399, 199) << false << false;
        QTest::newRow("flat") << QSizeF(399, 60) << true << false;
        QTest::newRow("narrow") << QSizeF(120, 200) << false << true;
    }

    void panelTexts()
    {
        QFETCH(QSizeF, room);
        const QRectF rect(QPointF(), room);
        const QString strBig = "Holdover", strFoot = "Estimated Time Error: Not Available";
        const PanelTexts texts = CentreAndFoot(rect, DisplayFont::Face(59), strBig, DisplayFont::Face(11),
                                               {strFoot, "Estimated Time Error:\nNot Available"});
        QVERIFY(texts.bFits && texts.foot.pointSize() >= DisplayFont::LegiblePointSize());
        QVERIFY(InkRect(texts.big, rect, Qt::AlignCenter, strBig).bottom() + kTextGap <=
                InkRect(texts.foot, rect, Qt::AlignHCenter | Qt::AlignBottom, texts.strFoot).top());
        QTEST(texts.big.pointSize() < DisplayFont::Fitted(59, strBig, room.width()).pointSize(), "lower");
        QTEST(texts.strFoot != strFoot, "broken");
    }
};

QTEST_MAIN(tst_Timing)
#include "tst_timing.moc"

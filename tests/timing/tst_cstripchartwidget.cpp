// The strip chart rendered into images at the sizes of the worked examples:
// grid and zero line, caption, bands, value tags, window-mode traces, the
// rescale seen after a paint, paints that must finish for any data, and a
// mouse that changes nothing.
#include "chartgeometry.h"
#include "cstripchartwidget.h"
#include "imagetools.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QTest>

#include <limits>

using Chart = CStripChartWidget;

namespace {
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
    void gridZeroLineAndCaption_data();
    void gridZeroLineAndCaption();
    void bandsTagsAndWindowTrace();
    void rescaleAfterPaint_data();
    void rescaleAfterPaint();
    void paintFinishesForAnyData_data();
    void paintFinishesForAnyData();
    void mouseChangesNothing();
};

void tst_CStripChartWidget::gridZeroLineAndCaption_data()
{
    QTest::addColumn<double>("yMin");
    QTest::addColumn<double>("yMax");
    QTest::addColumn<int>("zeroRow"); // -1: none
    QTest::addColumn<int>("greyRows");
    QTest::newRow("+-0.025") << -0.025 << 0.025 << 100 << 4;
    QTest::newRow("+-50, none at -50") << -50.0 << 50.0 << 100 << 9;
    QTest::newRow("-0.005..0.01, 20 lines") << -0.005 << 0.01 << 133 << 3;
    QTest::newRow("span 0: no vertical axis") << 1.0 << 1.0 << -1 << 0;
}

void tst_CStripChartWidget::gridZeroLineAndCaption()
{
    QFETCH(double, yMin);
    QFETCH(double, yMax);
    QFETCH(int, zeroRow);
    QFETCH(int, greyRows);
    Chart chart(nullptr);
    SetUp(chart, Chart::SCALE_WINDOW, 0.025);
    chart.SetYRange(yMin, yMax, false);
    const QImage image = Render(&chart);

    // Vertical lines of 0..300 at 240, 160, 80 and 0; none at 300.
    const QRect row190(79, 190, 303, 1);
    QCOMPARE(Count(image, kGrey, row190), 4);
    for (int x : {80, 160, 240, 320})
        QVERIFY2(Count(image, kGrey, QRect(x - 1, 190, 3, 1)) == 1, qPrintable(QString::number(x)));
    QCOMPARE(Count(image, kGrey, QRect(200, 0, 1, 201)), greyRows);
    const QRect zero = Bounds(image, kMagenta, image.rect());
    QCOMPARE(zero.isNull(), zeroRow < 0);
    if (zeroRow >= 0) {
        QCOMPARE(zero.height(), 2);
        QVERIFY(qAbs(zero.center().y() - zeroRow) <= 1);
        QVERIFY(zero.left() <= 80 && zero.right() >= 379);
    }
    // Labels and caption left of the plot only with an axis.
    const QColor background = image.pixelColor(5, 5);
    QCOMPARE(Bounds(image, background, QRect(0, 0, 79, 196), false).isNull(), zeroRow < 0);
}

void tst_CStripChartWidget::bandsTagsAndWindowTrace()
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
    const int nTag = 10 * QFontMetrics(ChartGeometry::DisplayFont(10)).horizontalAdvance('X');
    QCOMPARE(State(chart), QString("x %1..999 y -0.05..0.05").arg(999 - (300 - nTag)));
    const int nRight = 380 - nTag;
    QCOMPARE(image.pixelColor(nRight, 30).rgb(), QPalette().color(QPalette::Mid).rgb());
    // The tag points at the newest value (-0.02: y 140).
    QVERIFY(qAbs(Bounds(image, kBlue, QRect(nRight + 1, 100, nTag, 80)).center().y() - 140) <= 1);
    // The trace (0.01: y 80) ends at the second newest point, one pixel left of the edge.
    const QRect trace = Bounds(image, kBlue, QRect(81, 1, nRight - 81, 198));
    QCOMPARE(trace.right(), nRight - 1);
    QVERIFY(trace.height() == 1 && qAbs(trace.top() - 80) <= 1);
    // Bands from y 90 to 110, half-transparent over the plot fill.
    const QColor fill = QPalette().color(QPalette::Button);
    auto blend = [](int c, int b) { return (c * 128 + b * 127) / 255; };
    const QColor band(blend(255, fill.red()), blend(192, fill.green()), blend(192, fill.blue()));
    int nBand = 0;
    for (int x = 81; x < nRight - 1; ++x) {
        const QColor c = image.pixelColor(x, 94);
        nBand += qAbs(c.red() - band.red()) <= 2 && qAbs(c.green() - band.green()) <= 2 &&
                 qAbs(c.blue() - band.blue()) <= 2;
    }
    QVERIFY2(nBand > (nRight - 81) * 3 / 4, qPrintable(QString::number(nBand)));
}

void tst_CStripChartWidget::rescaleAfterPaint_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QList<double>>("ys"); // at x = 0, 1, ...; a negative list index 0 marks bands
    QTest::addColumn<QString>("state");
    QTest::newRow("window inside the minimum span")
        << 3 << QList<double>{0.001, 0.003, 0.002} << "x -298..2 y -0.025..0.025";
    QTest::newRow("window below it") << 3 << QList<double>{-0.03, 0.01, 0.5} << "x -298..2 y -0.034..0.014";
    QTest::newRow("extent") << 0 << QList<double>{-1, 3, 0} << "x 0..2 y -1.4..3.4";
    QTest::newRow("erased: the owner's ranges") << 0 << QList<double>{} << "x 0..300 y -0.025..0.025";
}

void tst_CStripChartWidget::rescaleAfterPaint()
{
    QFETCH(int, mode);
    QFETCH(QList<double>, ys);
    QFETCH(QString, state);
    Chart chart(nullptr);
    SetUp(chart, mode, 0.025);
    if (ys.isEmpty()) {
        chart.AddPoint(0, 7, 7, 0, false);
        chart.SetYRangeAndMinimum(-0.025, 0.025, false);
        chart.SetXRange(0, 300, false);
        chart.EraseData(false);
    }
    for (int i = 0; i < ys.size(); ++i)
        chart.AddPoint(0, i, ys.at(i), 0, false);
    Render(&chart);
    Render(&chart);
    QCOMPARE(State(chart), state);
}

void tst_CStripChartWidget::paintFinishesForAnyData_data()
{
    const double kNaN = std::numeric_limits<double>::quiet_NaN(),
                 kInf = std::numeric_limits<double>::infinity();
    QTest::addColumn<QList<double>>("xyz"); // triples
    QTest::newRow("NaN") << QList<double>{0, kNaN, 0, kNaN, 1, 1, 2, 0, kNaN};
    QTest::newRow("infinite") << QList<double>{0, kInf, 0, 1, -kInf, 1, kInf, 0, 0};
    QTest::newRow("x past 2^31") << QList<double>{3e9, 1, 0, 5e9, 2, 0, 6e9, 0.5, 0};
    QTest::newRow("zero spans") << QList<double>{4, 4, 4, 4, 4, 4};
    QTest::newRow("huge") << QList<double>{-1e300, 1e300, 0, 1e300, -1e300, 1e300};
}

void tst_CStripChartWidget::paintFinishesForAnyData()
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
        // The plot is still drawn at full size.
        QVERIFY(Count(Render(&chart), QPalette().color(QPalette::Button), QRect(81, 1, 100, 198)) > 0);
    }
}

void tst_CStripChartWidget::mouseChangesNothing()
{
    Chart chart(nullptr);
    SetUp(chart, Chart::SCALE_WINDOW, 0.025);
    chart.AddPoint(0, 5, 0.01, 0, false);
    Render(&chart);
    const QString before = State(chart);
    QTest::ignoreMessage(QtDebugMsg, "Press");
    QTest::ignoreMessage(QtDebugMsg, "Difference: QPoint(-20,-10)");
    QTest::ignoreMessage(QtDebugMsg, "Release");
    QTest::ignoreMessage(QtDebugMsg, "Wheel");
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10.4, 10.4), Qt::LeftButton, Qt::LeftButton, {});
    QMouseEvent move(QEvent::MouseMove, QPointF(29.6, 20.2), Qt::NoButton, Qt::LeftButton, {});
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(30, 20), Qt::LeftButton, {}, {});
    QWheelEvent wheel(QPointF(30, 20), QPointF(30, 20), {}, QPoint(0, 120), {}, {}, Qt::NoScrollPhase, false);
    for (QEvent* pEvent : std::initializer_list<QEvent*>{&press, &move, &release, &wheel})
        QApplication::sendEvent(&chart, pEvent);
    QCOMPARE(State(chart), before);
}

QTEST_MAIN(tst_CStripChartWidget)
#include "tst_cstripchartwidget.moc"

// The sky plot, signal bars and position panel rendered into images: where
// markers land, which satellites are left out, bar heights and colours, the
// GPS time box's colours, and paints at absurd sizes.

#include "cazimuthelevationwnd.h"
#include "cnavconversions.h"
#include "cpositionstatuswnd.h"
#include "csignalquality.h"
#include "gpspixels.h"

#include <QtTest>

#include <climits>

using namespace GpsGeometry;
using GpsPixels::Render;

class tst_GpsDisplays : public QObject
{
    Q_OBJECT

private slots:
    void skySquare_data();
    void skySquare();
    void pointSizes_data();
    void pointSizes();
    void skyMarkers_data();
    void skyMarkers();
    void barSlots_data();
    void barSlots();
    void barColourAndHeight_data();
    void barColourAndHeight();
    void gpsTimeBox_data();
    void gpsTimeBox();
    void absurdSizesReturn();
};

void tst_GpsDisplays::skySquare_data()
{
    QTest::addColumn<QSize>("widget");
    QTest::addColumn<QRectF>("square");
    QTest::newRow("wide") << QSize(301, 201) << QRectF(50, 0, 200, 200);
    QTest::newRow("tall") << QSize(201, 301) << QRectF(0, 50, 200, 200);
    QTest::newRow("square") << QSize(200, 200) << QRectF(0, 0.5, 199, 199);
}

void tst_GpsDisplays::skySquare()
{
    QFETCH(QSize, widget);
    QFETCH(QRectF, square);
    QCOMPARE(SkySquare(widget), square);
}

void tst_GpsDisplays::pointSizes_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("expected");
    QTest::newRow("panel title, 209 px") << PositionFontSizes(QSize(400, 209), 96).nTitle << 8;
    QTest::newRow("panel value, 209 px") << PositionFontSizes(QSize(400, 209), 96).nValue << 24;
    QTest::newRow("panel value, 192 dpi") << PositionFontSizes(QSize(400, 209), 192).nValue << 12;
    QTest::newRow("panel title, 5 px is 1") << PositionFontSizes(QSize(400, 5), 96).nTitle << 1;
    QTest::newRow("bar, 20 px slot") << BarPointSize(20, 96) << 6;
    QTest::newRow("bar capped at 20") << BarPointSize(1000, 96) << 20;
    QTest::newRow("bar, no slot is 1") << BarPointSize(0, 96) << 1;
    QTest::newRow("sky label, 200 px") << SkyLabelPointSize(200, 96) << 9;
    QTest::newRow("sky label, 120 dpi") << SkyLabelPointSize(200, 120) << 7;
}

void tst_GpsDisplays::pointSizes()
{
    QFETCH(int, size);
    QFETCH(int, expected);
    QCOMPARE(size, expected);
}

void tst_GpsDisplays::skyMarkers_data()
{
    QTest::addColumn<int>("prn");
    QTest::addColumn<int>("azimuth");
    QTest::addColumn<int>("elevation");
    QTest::addColumn<bool>("used");
    QTest::addColumn<QPoint>("point"); // 601 x 401: centre (300, 200), 400 px across
    QTest::addColumn<QString>("marker");
    QTest::newRow("east, 45 ring, used") << 5 << 90 << 45 << true << QPoint(400, 200) << "red";
    QTest::newRow("south 60, unused") << 7 << 180 << 60 << false << QPoint(300, 266) << "grey";
    QTest::newRow("west 30, used") << 9 << 270 << 30 << true << QPoint(167, 200) << "red";
    QTest::newRow("azimuth 0 left out") << 5 << 0 << 45 << true << QPoint(300, 100) << "none";
    QTest::newRow("elevation 0 left out") << 5 << 90 << 0 << true << QPoint(500, 200) << "none";
    QTest::newRow("PRN 0 left out") << 0 << 270 << 30 << true << QPoint(167, 200) << "none";
}

void tst_GpsDisplays::skyMarkers()
{
    QFETCH(int, prn);
    QFETCH(int, azimuth);
    QFETCH(int, elevation);
    QFETCH(bool, used);
    QFETCH(QPoint, point);
    QFETCH(QString, marker);
    QCOMPARE(SkyProjection(azimuth, elevation, QPointF(300, 200), 400), point);

    CAzimuthElevationWnd sky(nullptr);
    sky.resize(601, 401);
    CGPSDisplayData data;
    data.aSats[40] = {prn, 40, used, azimuth, elevation, 1};
    sky.SetData(data, false);
    const QColor c = GpsPixels::MarkerPanel(Render(sky), point, 400);
    if (marker == "red")
        QVERIFY2(c.red() > 150 && c.green() < 80 && c.blue() < 80, qPrintable(c.name()));
    else if (marker == "grey")
        QVERIFY2(c.hsvSaturation() == 0 && c.red() > 120 && c.red() < 250, qPrintable(c.name()));
    else
        QCOMPARE(c, QPalette().color(QPalette::Base));
}

void tst_GpsDisplays::barSlots_data()
{
    QTest::addColumn<int>("inView");
    QTest::addColumn<int>("count");
    QTest::newRow("none in view: 12") << 0 << 12;
    QTest::newRow("5") << 5 << 5;
    QTest::newRow("96") << 96 << 96;
    QTest::newRow("200 draws the record's 96") << 200 << 96;
    QTest::newRow("negative draws none") << -5 << 0;
}

void tst_GpsDisplays::barSlots()
{
    QFETCH(int, inView);
    QFETCH(int, count);
    CSignalQuality bars(nullptr);
    bars.resize(960, 200);
    CGPSDisplayData data;
    data.nSatsInView = inView;
    bars.SetData(data, false);
    const QImage img = Render(bars);
    // Each slot is a light box outlined in the dark background colour.
    const QColor light = QPalette().color(QPalette::Light);
    int nRuns = 0;
    for (int x = 0; x < img.width(); ++x)
        nRuns += img.pixelColor(x, 5) == light && (x == 0 || img.pixelColor(x - 1, 5) != light);
    QCOMPARE(nRuns, count);
}

void tst_GpsDisplays::barColourAndHeight_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("used");
    QTest::addColumn<int>("snr");
    QTest::addColumn<QColor>("colour"); // invalid: the palette's Shadow
    QTest::newRow("state 0 used") << 0 << true << 30 << QColor(0, 0, 192);
    QTest::newRow("state 1 unused stays green") << 1 << false << 30 << QColor(0, 192, 0);
    QTest::newRow("state 2 used") << 2 << true << 44 << QColor(192, 0, 0);
    QTest::newRow("state 3 used") << 3 << true << 11 << QColor(192, 192, 0);
    QTest::newRow("state 3 unused greyed") << 3 << false << 44 << QColor();
    QTest::newRow("state 0 unused greyed") << 0 << false << 10 << QColor();
    QTest::newRow("state 7 fallback") << 7 << true << 30 << QColor(255, 0, 255);
    QTest::newRow("SNR 55 fills the area") << 1 << true << 55 << QColor(0, 192, 0);
    QTest::newRow("SNR 80 cut at the top") << 1 << true << 80 << QColor(0, 192, 0);
}

void tst_GpsDisplays::barColourAndHeight()
{
    QFETCH(int, status);
    QFETCH(bool, used);
    QFETCH(int, snr);
    QFETCH(QColor, colour);
    if (!colour.isValid())
        colour = QPalette().color(QPalette::Shadow).rgb();
    CSignalQuality bars(nullptr);
    bars.resize(600, 300);
    CGPSDisplayData data;
    data.nSatsInView = 3;
    data.aSats[1] = {17, snr, used, 100, 30, status};
    bars.SetData(data, false);
    const QImage img = Render(bars);
    // Slots 200 px wide: 20 pt labels; the bar grows up from the PRN band.
    const double dArea = 300 - QFontMetrics(DisplayFont(20)).height() * 1.25;
    const int nTop = qMax(0, int(dArea - dArea / 55 * snr));
    QCOMPARE(img.pixelColor(215, int(dArea) - 3), colour);
    QCOMPARE(img.pixelColor(215, nTop + 2), colour);
    if (nTop > 2)
        QCOMPARE(img.pixelColor(215, nTop - 2), QPalette().color(QPalette::Light));
}

void tst_GpsDisplays::gpsTimeBox_data()
{
    QTest::addColumn<int>("time");
    QTest::addColumn<int>("flag");
    QTest::addColumn<QColor>("fill"); // invalid: the palette's Button
    QTest::newRow("empty record") << 0 << 0 << QColor(255, 255, 0);
    QTest::newRow("flagged invalid") << 1700000000 << 0 << QColor(255, 255, 0);
    QTest::newRow("valid, 2 s before 2020") << 1577836798 << 1 << QColor(170, 0, 0);
    QTest::newRow("valid, shown second is 2020") << 1577836799 << 1 << QColor();
    QTest::newRow("valid, last 32-bit second") << INT_MAX << 1 << QColor();
    QTest::newRow("valid, negative shows 1970") << -5 << 1 << QColor(170, 0, 0);
}

void tst_GpsDisplays::gpsTimeBox()
{
    QFETCH(int, time);
    QFETCH(int, flag);
    QFETCH(QColor, fill);
    const QColor button = QPalette().color(QPalette::Button);
    CNavConversions nav(0, 0);
    CPositionStatusWnd panel(&nav, nullptr);
    panel.resize(600, 209);
    CGPSDisplayData data;
    data.nGPSTime = time;
    data.nGPSTimeFlag = flag;
    panel.SetData(data);
    const QImage img = Render(panel);
    QCOMPARE(GpsPixels::BoxFill(img, 6), fill.isValid() ? fill : button);
    for (int i = 0; i < 6; ++i)
        QCOMPARE(GpsPixels::BoxFill(img, i), button);
}

void tst_GpsDisplays::absurdSizesReturn()
{
    CGPSDisplayData data;
    data.nSatsInView = INT_MAX;
    data.dLatitude = std::numeric_limits<double>::quiet_NaN();
    for (int i = 0; i < CGPSDisplayData::MAX_SATELLITES; ++i)
        data.aSats[i] = {i + 1, INT_MAX - i, i % 2 == 0, i * 37 % 360 + 1, i % 90 + 1, i % 5};
    CNavConversions nav(9, 9);
    CAzimuthElevationWnd sky(nullptr);
    CSignalQuality bars(nullptr);
    CPositionStatusWnd panel(&nav, nullptr);
    sky.SetData(data, false);
    bars.SetData(data, false);
    panel.SetData(data);
    for (QWidget* w :
         {static_cast<QWidget*>(&sky), static_cast<QWidget*>(&bars), static_cast<QWidget*>(&panel)})
        for (const QSize& s : {QSize(1, 1), QSize(20, 5), QSize(5, 20), QSize(3000, 2)}) {
            w->resize(s);
            QCOMPARE(Render(*w).size(), s);
        }
}

QTEST_MAIN(tst_GpsDisplays)
#include "tst_gpsdisplays.moc"

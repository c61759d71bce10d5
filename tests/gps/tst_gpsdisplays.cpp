// The sky plot, signal bars and position panel rendered into images, every paint
// also at absurd sizes; the display record the window fills for them. Inputs the
// fuzzers found are kept among the rows: in the sanitizer build a reintroduced
// overflow fails as a report; everywhere the values saturate.

#include "cazimuthelevationwnd.h"
#include "cgpsstatuswnd.h"
#include "cmainwindow.h"
#include "cnavconversions.h"
#include "cpositionstatuswnd.h"
#include "csignalquality.h"
#include "displayfont.h"
#include "paintedtext.h"
#include "pixels.h"

#include <QScreen>
#include <QtTest>

#include <climits>

using namespace GpsGeometry;

namespace {
// Paints at sizes a splitter can produce must return.
void RenderAbsurdSizes(QWidget& w)
{
    for (const QSize& size : {QSize(1, 1), QSize(20, 5), QSize(5, 20), QSize(3000, 2)}) {
        w.resize(size);
        QCOMPARE(Render(w).size(), size);
    }
}
} // namespace

class tst_GpsDisplays : public QObject
{
    Q_OBJECT

private slots:
    // The position panel at 209 px (rows of 52 px: title 8, value 24 pt), a bar with no slot (never
    // below 1 pt), the labels of a 200 px sky plot at 120 DPI (200 x 0.045 x 96 / 120 = 7.2 pt).
    void fontSizes()
    {
        const PanelFontSizes panel = PositionFontSizes(QSize(400, 209), 96);
        QCOMPARE(QList<int>({panel.nTitle, panel.nValue, BarPointSize(0, 96), SkyLabelPointSize(200, 120)}),
                 QList<int>({8, 24, 1, 7}));
    }

    void skyMarkers_data()
    {
        QTest::addColumn<int>("prn");
        QTest::addColumn<int>("azimuth");
        QTest::addColumn<int>("elevation");
        QTest::addColumn<QPoint>("point");   // 601 x 401: centre (300, 200), 400 px across
        QTest::addColumn<QString>("marker"); // red: used, grey: unused, none: a used one left out
        QTest::newRow("east, 45 ring, used") << 5 << 90 << 45 << QPoint(400, 200) << "red";
        QTest::newRow("south 60, unused") << 7 << 180 << 60 << QPoint(300, 266) << "grey";
        QTest::newRow("azimuth 0 left out") << 5 << 0 << 45 << QPoint(300, 100) << "none";
        QTest::newRow("elevation 0 left out") << 5 << 90 << 0 << QPoint(500, 200) << "none";
        QTest::newRow("PRN 0 left out") << 0 << 270 << 30 << QPoint(167, 200) << "none";
        // Any 32-bit angle: the projected part saturates and adding the centre to it must not wrap.
        QTest::newRow("east, elevation INT_MIN") << 5 << 90 << INT_MIN << QPoint(INT_MAX, 200) << "none";
        QTest::newRow("west, elevation INT_MIN")
            << 5 << 270 << INT_MIN << QPoint(INT_MIN + 300, 200) << "none";
    }

    void skyMarkers()
    {
        QFETCH(int, prn);
        QFETCH(int, azimuth);
        QFETCH(int, elevation);
        QFETCH(QPoint, point);
        QFETCH(QString, marker);
        QCOMPARE(SkyProjection(azimuth, elevation, QPointF(300, 200), 400), point);
        CAzimuthElevationWnd sky(nullptr);
        sky.resize(601, 401);
        const QImage empty = Render(sky);
        CGPSDisplayData data;
        data.aSats[40] = {prn, 40, marker != "grey", azimuth, elevation, 1};
        sky.SetData(data, false);
        const QImage img = Render(sky);
        const QColor c = marker == "none" ? QColor() : GpsPixels::MarkerPanel(img, point, 400);
        if (marker == "red")
            QVERIFY2(c.red() > 150 && c.green() < 80 && c.blue() < 80, qPrintable(c.name()));
        else if (marker == "grey")
            QVERIFY2(c.hsvSaturation() == 0 && c.red() > 120 && c.red() < 250, qPrintable(c.name()));
        else
            QCOMPARE(img, empty); // nothing drawn
        RenderAbsurdSizes(sky);
    }

    // A label keeps its usual place (centred on the marker's lower half) unless it would cover
    // another label or leave the plot; then it takes the first free side.
    void skyLabels_data()
    {
        QTest::addColumn<QVector<QRectF>>("markers"); // 20 x 20, labels 30 x 10
        QTest::addColumn<QVector<QRectF>>("labels");
        const QRectF a(100, 100, 20, 20), usualA(95, 110, 30, 10);
        QTest::newRow("apart: usual places")
            << QVector<QRectF>{a, {200, 100, 20, 20}} << QVector<QRectF>{usualA, {195, 110, 30, 10}};
        // The usual place lies on the other marker: the first goes below; the second's usual
        // place and below are taken, so above.
        QTest::newRow("same place: below, above")
            << QVector<QRectF>{a, a} << QVector<QRectF>{{95, 120, 30, 10}, {95, 90, 30, 10}};
        // The first's usual place and below lie on the second marker; the second's is free.
        QTest::newRow("near: above, usual")
            << QVector<QRectF>{a, {100, 112, 20, 20}} << QVector<QRectF>{{95, 90, 30, 10}, {95, 122, 30, 10}};
        QTest::newRow("bottom edge: moved inside")
            << QVector<QRectF>{{100, 290, 20, 20}} << QVector<QRectF>{{95, 290, 30, 10}};
    }

    void skyLabels()
    {
        QFETCH(QVector<QRectF>, markers);
        QTEST(
            PlaceSkyLabels(markers, QVector<QSizeF>(markers.size(), QSizeF(30, 10)), QRectF(0, 0, 300, 300)),
            "labels");
    }

    // The 45° ring lies halfway from the zenith to the horizon: at 401 x 601 the horizon is
    // 400 px across round (200, 300), so the ring crosses the row below the east-west line
    // 100 px either side of the north-south line.
    void skyRing()
    {
        CAzimuthElevationWnd sky(nullptr);
        sky.resize(401, 601);
        const QImage img = Render(sky);
        QString strDark;
        for (int x = 50; x < 350; ++x)
            strDark += img.pixelColor(x, 301).lightness() < 100 ? QString::number(x) + ' ' : QString();
        QCOMPARE(strDark, "100 200 300 ");
    }

    void bars_data()
    {
        QTest::addColumn<int>("inView");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("used");
        QTest::addColumn<int>("snr");
        QTest::addColumn<int>("count");
        QTest::addColumn<QColor>("colour"); // of the bar in the second slot
        QTest::addColumn<int>("rows");      // of PRN labels: more where they do not fit a slot
        const QColor shadow = Role(QPalette::Shadow);
        QTest::newRow("none in view: 12 slots") << 0 << 0 << true << 30 << 12 << QColor(0, 0, 192) << 1;
        QTest::newRow("state 1 unused stays green") << 3 << 1 << false << 30 << 3 << QColor(0, 192, 0) << 1;
        QTest::newRow("state 2 used") << 3 << 2 << true << 44 << 3 << QColor(192, 0, 0) << 1;
        QTest::newRow("state 3 used") << 3 << 3 << true << 11 << 3 << QColor(192, 192, 0) << 1;
        QTest::newRow("state 3 unused greyed") << 3 << 3 << false << 44 << 3 << shadow << 1;
        QTest::newRow("state 7 fallback") << 3 << 7 << true << 30 << 3 << QColor(255, 0, 255) << 1;
        QTest::newRow("SNR 80 cut at the top") << 3 << 0 << false << 80 << 3 << shadow << 1;
        QTest::newRow("200 in view: the record's 96")
            << 200 << 1 << true << 30 << 96 << QColor(0, 192, 0) << 3;
        QTest::newRow("negative: no slot") << -5 << 1 << true << 30 << 0 << QColor() << 1;
    }

    void bars()
    {
        QFETCH(int, inView);
        QFETCH(int, status);
        QFETCH(bool, used);
        QFETCH(int, snr);
        QFETCH(int, count);
        QFETCH(QColor, colour);
        QFETCH(int, rows);
        CSignalQuality bars(nullptr);
        bars.resize(600, 300);
        CGPSDisplayData data;
        data.nSatsInView = inView;
        data.aSats[1] = {17, snr, used, 100, 30, status};
        bars.SetData(data, false);
        const QImage img = Render(bars);
        RenderAbsurdSizes(bars);
        // Slots are outlined in the background's dark colour: count what lies between.
        const QColor dark = Role(QPalette::Dark);
        int nRuns = 0;
        for (int x = 0; x < img.width(); ++x)
            nRuns += img.pixelColor(x, 2) != dark && (x == 0 || img.pixelColor(x - 1, 2) == dark);
        QCOMPARE(nRuns, count);
        if (!colour.isValid())
            return;
        // The bar grows up from the PRN band, 55 filling the area above it.
        const double dSlot = 600.0 / count;
        // A point size of 0.3 slot, at most 20, at least the legible one.
        const int nFont = qMax(qMin(int(dSlot * 0.3), 20), DisplayFont::LegiblePointSize());
        const double dArea = 300 - QFontMetrics(DisplayFont::Face(nFont)).height() * (rows + 0.25);
        const int nX = int(dSlot * 1.1) + 1, nTop = qMax(0, int(dArea - dArea / 55 * snr));
        QCOMPARE(img.pixelColor(nX, int(dArea) - 3), colour);
        // Narrow slots: the SNR, turned upright, covers the top of the bar.
        QCOMPARE(img.pixelColor(nX, rows == 1 ? nTop + 2 : (nTop + int(dArea)) / 2 + 8), colour);
        if (nTop > 2)
            QCOMPARE(img.pixelColor(nX, nTop - 2), Role(QPalette::Light));
    }

    // The GPS time box's fill (the other boxes': tests/legibility) at the ends of its styles.
    void gpsTimeBox_data()
    {
        QTest::addColumn<int>("time");
        QTest::addColumn<int>("flag");
        QTest::addColumn<QColor>("fill");
        const QColor button = QPalette().color(QPalette::Button);
        QTest::newRow("flagged invalid") << 1700000000 << 0 << QColor(255, 255, 0);
        QTest::newRow("valid, 2 s before 2020") << 1577836798 << 1 << QColor(170, 0, 0);
        QTest::newRow("valid, shown second is 2020") << 1577836799 << 1 << button;
        QTest::newRow("valid, last 32-bit second") << INT_MAX << 1 << button;
    }

    void gpsTimeBox()
    {
        QFETCH(int, time);
        QFETCH(int, flag);
        CNavConversions nav(0, 0);
        CPositionStatusWnd panel(&nav, nullptr);
        panel.resize(600, 209);
        CGPSDisplayData data;
        data.nGPSTime = time;
        data.nGPSTimeFlag = flag;
        panel.SetData(data);
        QTEST(RecordText(&panel).last().fill, "fill"); // the time, painted last
        RenderAbsurdSizes(panel);
    }

    // A GPS status reaches the page's copy of the display record as sent, a state code outside
    // 0..3 carried as it comes (the position: tests/legibility; the satellites' other fields are
    // drawn from a real record in tests/app); a copy one byte short is refused whole.
    void gpsStatusReachesThePageRecord()
    {
        CBRFNProtocolQt::CMD_DATA_GPS_STATUS status;
        status.aSats[95].nStatus = 7;
        CGPSDisplayData display, copy;
        CMainWindow::ConvertGPSStatus(status, display);
        QVERIFY(!display.GetData(&copy, sizeof copy - 1) && copy.aSats[95].nStatus == 0);
        QVERIFY(display.GetData(&copy, sizeof copy));
        QCOMPARE(copy.aSats[95].nStatus, 7);
    }

    // The whole GPS page painted, in an unknown notation, from a record with every field at an
    // end of its range or of what the wire carries (a fuzzer finding).
    void gpsPageWithExtremeRecord()
    {
        for (int v : {INT_MIN, -1, 361, 65535, INT_MAX}) {
            CGPSDisplayData data;
            data.nSatsInView = data.nSatsTracked = data.nGPSTime = data.nGPSTimeFlag = v;
            data.dLatitude = data.dLongitude = data.dAltitude = double(v) * 1e300;
            for (auto& sat : data.aSats)
                sat = {v, v, true, v, v, v};
            CNavConversions nav{unsigned(v), unsigned(v)};
            CGPSStatusWnd page(&data, &nav, nullptr);
            page.resize(640, 480);
            page.UpdateGPSStatus();
            QImage black(page.size(), QImage::Format_RGB32);
            black.fill(Qt::black);
            QVERIFY(Render(page) != black); // the paint finished and drew
        }
    }

    // The displays repaint only what a record changes: what is then on screen
    // must be what a whole paint of the new record draws.
    void partialPaintMatchesWholePaint_data()
    {
        QTest::addColumn<int>("display"); // 0 bars, 1 sky, 2 position
        QTest::addColumn<int>("sat");     // satellite changed, -1 for the in-view count
        QTest::addColumn<int>("prn");
        QTest::addColumn<int>("value"); // SNR, or azimuth (elevation 45), or GPS time step
        QTest::newRow("one bar") << 0 << 7 << 8 << 44;
        QTest::newRow("a PRN wider than its slot") << 0 << 7 << INT_MIN << 44;
        QTest::newRow("slot count") << 0 << -1 << 0 << 0;
        QTest::newRow("a satellite moves") << 1 << 3 << 4 << 200;
        QTest::newRow("a long PRN over its neighbour") << 1 << 3 << INT_MIN << 60;
        QTest::newRow("next second") << 2 << 0 << 0 << 1;
        QTest::newRow("time flagged invalid") << 2 << 0 << 0 << 0;
    }

    void partialPaintMatchesWholePaint()
    {
        QFETCH(int, display);
        QFETCH(int, sat);
        QFETCH(int, prn);
        QFETCH(int, value);
        CGPSDisplayData data;
        data.nSatsInView = 20;
        data.nGPSTime = 1700000000;
        data.nGPSTimeFlag = 1;
        for (int i = 0; i < 20; ++i)
            data.aSats[i] = {i + 1, 20 + i, i % 2 == 0, 18 * i + 1, 10 + 3 * i, i % 4};
        CNavConversions nav(0, 0);
        QWidget window; // holds the display asked for; the others are never shown
        CSignalQuality bars(nullptr);
        CAzimuthElevationWnd sky(nullptr);
        CPositionStatusWnd panel(&nav, nullptr);
        QWidget* pDisplay = QList<QWidget*>{&bars, &sky, &panel}.at(display);
        pDisplay->setParent(&window);
        pDisplay->setGeometry(10, 10, 500, 230);
        auto setData = [&] {
            bars.SetData(data, true);
            sky.SetData(data, true);
            panel.SetData(data);
        };
        setData();
        window.resize(520, 250);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto onScreen = [&] {
            QTest::qWait(20); // the asked-for paint is made
            return QGuiApplication::primaryScreen()
                ->grabWindow(window.winId())
                .toImage()
                .copy(pDisplay->geometry())
                .convertToFormat(QImage::Format_RGB32);
        };
        const QImage before = onScreen();
        if (display == 2) {
            data.nGPSTime += value;
            data.nGPSTimeFlag = value;
        } else if (sat < 0) {
            data.nSatsInView = 16;
        } else {
            data.aSats[sat].nPRN = prn;
            (display == 0 ? data.aSats[sat].nSNR : data.aSats[sat].nAzimuth) = value;
            data.aSats[sat].nElevation = 45;
        }
        setData();
        const QImage after = onScreen();
        QVERIFY(after != before);
        QCOMPARE(after, Render(*pDisplay));
    }
};

QTEST_MAIN(tst_GpsDisplays)
#include "tst_gpsdisplays.moc"

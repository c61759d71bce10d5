// Inputs the fuzzers found, kept as regressions: in the sanitizer build a
// reintroduced overflow fails as a report; everywhere the values saturate.

#include "cgpsdisplaydata.h"
#include "cgpsstatuswnd.h"
#include "cnavconversions.h"
#include "gpsgeometry.h"

#include <QImage>
#include <QTest>

#include <climits>

class TestFindings : public QObject
{
    Q_OBJECT

private slots:
    // A record may carry any 32-bit angle: the projected part saturates and
    // adding the centre to it must not wrap.
    void skyProjectionSaturates_data()
    {
        QTest::addColumn<int>("azimuth");
        QTest::addColumn<int>("elevation");
        QTest::addColumn<int>("x");
        QTest::newRow("east, elevation INT_MIN") << 90 << INT_MIN << INT_MAX;
        QTest::newRow("west, elevation INT_MIN") << 270 << INT_MIN << INT_MIN + 300;
        QTest::newRow("east, elevation INT_MAX") << 90 << INT_MAX << INT_MIN + 300;
    }
    void skyProjectionSaturates()
    {
        QFETCH(int, azimuth);
        QFETCH(int, elevation);
        QFETCH(int, x);
        QCOMPARE(GpsGeometry::SkyProjection(azimuth, elevation, QPointF(300, 200), 400).x(), x);
    }

    // The whole GPS page painted, in an unknown notation, from a record with
    // every field at an end of its range or of what the wire carries.
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
            QImage blank(640, 480, QImage::Format_ARGB32_Premultiplied);
            blank.fill(Qt::black);
            QImage image = blank;
            page.render(&image);
            QVERIFY(image != blank); // the paint finished and drew
        }
    }
};

QTEST_MAIN(TestFindings)
#include "tst_fuzzregressions.moc"

// The GPS page inside the main window, fed by a stand-in service on the real
// loopback port.

#include "cazimuthelevationwnd.h"
#include "cpositionstatuswnd.h"
#include "csignalquality.h"
#include "fakeservice.h"
#include "gpspixels.h"
#include "testwindow.h"

#include <QAction>
#include <QLayout>
#include <QTabWidget>
#include <QtTest>

#include <memory>

using GpsPixels::Render;

class tst_AppGpsPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(StartWindowTests(m_service));
        m_pWindow = std::make_unique<TestWindow>();
        m_pWindow->resize(1000, 700);
        m_pWindow->findChild<QTabWidget*>("tabWidget")->setCurrentIndex(1);
        // The offscreen platform warns when a shown window's size limits change:
        // settle them before it is shown.
        m_pWindow->layout()->activate();
        m_pWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
        QVERIFY(m_service.WaitForNewConnection());
        Find<CPositionStatusWnd>()->installEventFilter(this);
    }

    void gpsRecordReachesTheDisplays()
    {
        CBRFNProtocolQt::CMD_DATA_GPS_STATUS gps;
        gps.nSatsInView = 1;
        gps.nGPSTime = 1700000000;
        gps.nGPSTimeFlag = 1;
        gps.aSats[0] = {2, 12, 90, 45, 55, true}; // state, PRN, azimuth, elevation, SNR, used
        m_service.Send(BRFN::CMD_GPS_STATUS, BRFN::EncodeGPSStatus(gps));

        // Sky plot: a used marker east on the 45° ring.
        CAzimuthElevationWnd* pSky = Find<CAzimuthElevationWnd>();
        const QRectF square = GpsGeometry::SkySquare(pSky->size());
        const QPoint east = GpsGeometry::SkyProjection(90, 45, square.center(), square.width());
        QTRY_VERIFY(GpsPixels::MarkerPanel(Render(*pSky), east, square.width()).green() < 80);
        // Signal bars: one slot across the width, full height, red for state 2.
        const QImage bars = Render(*Find<CSignalQuality>());
        QCOMPARE(bars.pixelColor(5, 2), QColor(192, 0, 0));
        QCOMPARE(bars.pixelColor(bars.width() - 5, 2), QColor(192, 0, 0));
        // Position panel: a valid 2023 time in the palette's colours.
        QCOMPARE(GpsPixels::BoxFill(Render(*Find<CPositionStatusWnd>()), 6),
                 QPalette().color(QPalette::Button));
    }

    void positionChoiceRedrawsThePanel_data()
    {
        QTest::addColumn<QString>("action"); // each differs from the one before
        for (const char* psz : {"actionPosFormatDD_MM_SS_SSS", "actionPosFormatDD_DDDD",
                                "actionPosFormatDD_MM_MMMM", "action_Metric_Units", "action_English_Units"})
            QTest::newRow(psz) << psz;
    }

    void positionChoiceRedrawsThePanel()
    {
        QFETCH(QString, action);
        QTest::qWait(100); // earlier paints are done
        const QImage before = Render(*Find<CPositionStatusWnd>());
        m_nPaints = 0;
        m_pWindow->findChild<QAction*>(action)->trigger();
        QTRY_VERIFY(m_nPaints >= 1); // nothing else asks the panel for a paint
        QVERIFY(Render(*Find<CPositionStatusWnd>()) != before);
    }

protected:
    bool eventFilter(QObject*, QEvent* pEvent) override
    {
        m_nPaints += pEvent->type() == QEvent::Paint;
        return false;
    }

private:
    template <typename T> T* Find() const { return m_pWindow->findChild<T*>(); }
    FakeService m_service;
    std::unique_ptr<TestWindow> m_pWindow;
    int m_nPaints = 0; // paints of the position panel
};

QTEST_MAIN(tst_AppGpsPage)
#include "tst_app_gpspage.moc"

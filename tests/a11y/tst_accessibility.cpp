// What a screen reader hears of every painted display, and Tab reaching every control of the
// pages and of the dialog with text. The window's service is the test peer.

#include "ctimediffoffsetdlg.h"
#include "servicepeer.h"
#include "testwindow.h"

#include <QAccessible>
#include <QTabWidget>
#include <QtTest>

#include <memory>

using Status = CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS;

class tst_Accessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        AllowOffscreenWindowWarnings(); // from showing the window
        QAccessible::setActive(true); // as when a screen reader listens
        QVERIFY(m_service.Listen());
        m_pWindow = std::make_unique<CMainWindow>();
        m_pWindow->show();
        QTRY_VERIFY(m_pWindow->Protocol()->m_bConnected);
        CBRFNProtocolQt::CMD_DATA_GPS_STATUS gps;
        gps.nSatsTracked = gps.nSatsInView = 1;
        gps.aSats[0] = {1, 12, 120, 45, 40, true};
        emit m_pWindow->Protocol()->RxCmdGPSStatus(gps);
        // Time difference, estimated error, control value, (fit), spread, samples, (second fit), loop state.
        const Status status{0.25, 0.0012, -3.5, 0, 0, 0.0005, 7, 0, 0, 0, 0, 0, 6};
        emit m_pWindow->Protocol()->RxCmdControlLoopStatus(status);
        QDateTime now = QDateTime::currentDateTimeUtc();
        emit m_pWindow->SignalOneSecondEpoch(now);
    }

    void describes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("heard");
        const char* aHeard[][2] = {{"Service state", "Locked. Estimated Time Error: 1.200 Milliseconds"},
                                   {"Statistics", "Samples: 7\nUsing time from: GGA & RMC"},
                                   {"Signal levels", "PRN 12: SNR 40, used"},
                                   {"Sky plot", "PRN 12: azimuth 120°, elevation 45°, used"},
                                   {"Position", "Satellites Tracked: 1\nSatellites In View: 1"},
                                   {"Time Difference", "Newest values: 0.0005, 0.25, 0.0012"}};
        for (const auto& row : aHeard)
            QTest::newRow(row[0]) << row[0] << QString::fromUtf8(row[1]);
        QTest::newRow("Clock") << "Clock" << QDate::currentDate().toString(" yyyy, ") + "local time";
    }

    // Exactly one widget of the accessible name, and its description says what the display shows.
    void describes()
    {
        QFETCH(QString, name);
        QFETCH(QString, heard);
        QStringList described;
        for (QWidget* pWidget : m_pWindow->findChildren<QWidget*>())
            if (pWidget->accessibleName() == name)
                described << pWidget->accessibleDescription();
        QCOMPARE(described.size(), 1);
        QVERIFY2(described[0].contains(heard), qPrintable(described[0]));
    }

    void focusReaches_data()
    {
        QTest::addColumn<int>("page"); // of the window (the GPS page has no controls); -1: time offset dialog
        for (int page : {-1, 0, 2, 3})
            QTest::newRow(qPrintable(QString::number(page))) << page;
    }

    // Tab reaches every visible, enabled widget that takes Tab focus.
    void focusReaches()
    {
        QFETCH(int, page);
        std::unique_ptr<QWidget> pDialog(
            page < 0 ? new CTimeDiffOffsetDlg(m_pWindow->Protocol(), m_pWindow.get()) : nullptr);
        QTabWidget* pTabs = m_pWindow->findChild<QTabWidget*>("tabWidget");
        pTabs->setCurrentIndex(qMax(page, 0));
        QWidget* pTop = pDialog ? pDialog.get() : m_pWindow.get();
        pTop->show();
        QApplication::setActiveWindow(pTop);
        QVERIFY(QTest::qWaitForWindowActive(pTop));
        QSet<QWidget*> reached;
        for (int i = 0; i < 80; ++i) {
            reached << QApplication::focusWidget();
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : pTop, Qt::Key_Tab);
        }
        int nControls = 0;
        for (QWidget* pWidget : (pDialog ? pTop : pTabs->currentWidget())->findChildren<QWidget*>())
            if ((pWidget->focusPolicy() & Qt::TabFocus) && pWidget->isVisible() && pWidget->isEnabled()) {
                ++nControls;
                QVERIFY2(reached.contains(pWidget), qPrintable(pWidget->objectName()));
            }
        QVERIFY(nControls > 0);
    }

private:
    ServicePeer m_service;
    std::unique_ptr<CMainWindow> m_pWindow;
};

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"

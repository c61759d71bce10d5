// What a screen reader hears of every painted display, and keyboard focus
// reaching every control of every page and dialog, through Qt's own
// accessibility interfaces. The window's service is a bare loopback listener.

#include "caboutdlg.h"
#include "cgpslockconfigdlg.h"
#include "cipaddressdlg.h"
#include "cloopparametersdlg.h"
#include "cmainwindow.h"
#include "connectdlg.h"
#include "ctimediffoffsetdlg.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QTabWidget>
#include <QTcpServer>
#include <QtTest>

#include <functional>
#include <memory>

using Status = CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS;

class tst_Accessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QAccessible::setActive(true); // as when a screen reader listens
        QVERIFY(m_service.listen(QHostAddress::LocalHost, CBRFNProtocolQt::SERVICE_PORT));
        m_pWindow = std::make_unique<CMainWindow>();
        m_pWindow->show();
        QTRY_VERIFY(m_pWindow->Protocol()->m_bConnected);
        CBRFNProtocolQt::CMD_DATA_GPS_STATUS gps;
        gps.nSatsTracked = 1;
        gps.nSatsInView = 1;
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
                                   {"Time Difference", "Newest values: 0.0005, 0.25, 0.0012"},
                                   {"Control", "Newest values: -3.5"}};
        for (const auto& row : aHeard)
            QTest::newRow(row[0]) << row[0] << QString::fromUtf8(row[1]);
        QTest::newRow("Clock") << "Clock" << QDate::currentDate().toString(" yyyy, ") + "local time";
    }

    // Exactly one accessible object of the name, and its description says what the display shows.
    void describes()
    {
        QFETCH(QString, name);
        QFETCH(QString, heard);
        QList<QAccessibleInterface*> found;
        for (QWidget* pWidget : m_pWindow->findChildren<QWidget*>()) {
            QAccessibleInterface* pFace = QAccessible::queryAccessibleInterface(pWidget);
            if (pFace && pFace->text(QAccessible::Name) == name)
                found << pFace;
        }
        QCOMPARE(found.size(), 1);
        QVERIFY2(found[0]->text(QAccessible::Description).contains(heard),
                 qPrintable(found[0]->text(QAccessible::Description)));
    }

    void focusReaches_data()
    {
        QTest::addColumn<int>("page"); // a page of the window, or -1 - a dialog of the list below
        for (int i = -6; i < 4; ++i)
            QTest::newRow(qPrintable(QString::number(i))) << i;
    }

    // Tab reaches every visible, enabled widget that takes Tab focus, on every page and dialog.
    void focusReaches()
    {
        QFETCH(int, page);
        QWidget* pWin = m_pWindow.get();
        CBRFNProtocolQt* pProtocol = m_pWindow->Protocol();
        // communications, time offset, NTP address, loop parameters, GPS lock, About
        const std::function<QWidget*()> aMake[] = {[&] { return new ConnectDlg(pWin); },
                                                   [&] { return new CTimeDiffOffsetDlg(pProtocol, pWin); },
                                                   [&] { return new CIPAddressDlg(pProtocol, pWin); },
                                                   [&] { return new CLoopParametersDlg(pWin); },
                                                   [&] { return new CGPSLockConfigDlg(pWin); },
                                                   [&] { return new CAboutDlg(pWin); }};
        std::unique_ptr<QWidget> pDialog(page < 0 ? aMake[-1 - page]() : nullptr);
        QTabWidget* pTabs = pWin->findChild<QTabWidget*>("tabWidget");
        pTabs->setCurrentIndex(qMax(page, 0));
        QWidget* pTop = pDialog ? pDialog.get() : pWin;
        pTop->show();
        QApplication::setActiveWindow(pTop);
        QVERIFY(QTest::qWaitForWindowActive(pTop));
        QSet<QWidget*> reached;
        for (int i = 0; i < 80; ++i) {
            reached << QApplication::focusWidget();
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : pTop, Qt::Key_Tab);
        }
        int nControls = 0;
        for (QWidget* pWidget : (pDialog ? pTop : pTabs->currentWidget())->findChildren<QWidget*>()) {
            QWidget* pParent = pWidget->parentWidget(); // the inner edit of a combo or spin box goes with it
            if ((pWidget->focusPolicy() & Qt::TabFocus) && pWidget->isVisible() && pWidget->isEnabled() &&
                !qobject_cast<QComboBox*>(pParent) && !qobject_cast<QAbstractSpinBox*>(pParent)) {
                ++nControls;
                QVERIFY2(reached.contains(pWidget), qPrintable(pWidget->objectName()));
            }
        }
        QVERIFY(nControls > 0 || page == 1 || page == -6); // displays only; the About box's link
    }

private:
    QTcpServer m_service;
    std::unique_ptr<CMainWindow> m_pWindow;
};

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"

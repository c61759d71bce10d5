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

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTcpServer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
QtMessageHandler g_pDefaultHandler = nullptr;
// The offscreen platform cannot pass size hints on to a window system; every
// other message goes on to the default (fatal) handler.
void SkipSizeHintWarning(QtMsgType nType, const QMessageLogContext& context, const QString& strText)
{
    if (strText != QLatin1String("This plugin does not support propagateSizeHints()"))
        g_pDefaultHandler(nType, context, strText);
}
} // namespace

class tst_Accessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void describes_data();
    void describes();
    void focusReaches_data();
    void focusReaches();

private:
    QTcpServer m_Service;
    std::unique_ptr<CMainWindow> m_pWindow;
};

void tst_Accessibility::initTestCase()
{
    g_pDefaultHandler = qInstallMessageHandler(SkipSizeHintWarning);
    QAccessible::setActive(true); // as when a screen reader listens
    QVERIFY(m_Service.listen(QHostAddress::LocalHost, CBRFNProtocolQt::SERVICE_PORT));
    m_pWindow = std::make_unique<CMainWindow>();
    m_pWindow->show();
    QTRY_VERIFY(m_pWindow->Protocol()->m_bConnected);
    CBRFNProtocolQt::CMD_DATA_GPS_STATUS gps;
    gps.nSatsTracked = 1;
    gps.nSatsInView = 1;
    gps.aSats[0] = {1, 12, 120, 45, 40, true};
    CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS status;
    status.nLoopState = 6;
    status.dEstTimeError = 0.0012;
    status.dStdDev = 0.0005;
    status.nSamples = 7;
    status.dTimeDiff = 0.25;
    status.dControlValue = -3.5;
    emit m_pWindow->Protocol()->RxCmdGPSStatus(gps);
    emit m_pWindow->Protocol()->RxCmdControlLoopStatus(status);
    QDateTime now = QDateTime::currentDateTimeUtc();
    emit m_pWindow->SignalOneSecondEpoch(now);
}

void tst_Accessibility::describes_data()
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

void tst_Accessibility::describes()
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

void tst_Accessibility::focusReaches_data()
{
    QTest::addColumn<int>("page"); // a page of the window, or -1 - a dialog
    for (int i = 0; i < 4; ++i)
        QTest::newRow(qPrintable(QString("page %1").arg(i))) << i;
    for (int i = 0; i < 6; ++i)
        QTest::newRow(qPrintable(QString("dialog %1").arg(i))) << -1 - i;
}

void tst_Accessibility::focusReaches()
{
    QFETCH(int, page);
    std::unique_ptr<QWidget> pDialog;
    QWidget* pTop = m_pWindow.get();
    QWidget* pScope = pTop;
    CBRFNProtocolQt* pProtocol = m_pWindow->Protocol();
    // communications, time offset, NTP address, loop parameters, GPS lock, About
    const std::function<QWidget*()> aMake[] = {[&] { return new ConnectDlg(pTop); },
                                               [&] { return new CTimeDiffOffsetDlg(pProtocol, pTop); },
                                               [&] { return new CIPAddressDlg(pProtocol, pTop); },
                                               [&] { return new CLoopParametersDlg(pTop); },
                                               [&] { return new CGPSLockConfigDlg(pTop); },
                                               [&] { return new CAboutDlg(pTop); }};
    if (page < 0) {
        pDialog.reset(aMake[-1 - page]());
    } else {
        QTabWidget* pTabs = pTop->findChild<QTabWidget*>("tabWidget");
        pTabs->setCurrentIndex(page);
        pScope = pTabs->currentWidget();
    }
    if (pDialog) {
        pTop = pScope = pDialog.get();
        pTop->show();
    }
    QApplication::setActiveWindow(pTop);
    QVERIFY(QTest::qWaitForWindowActive(pTop));
    QSet<QWidget*> reached;
    for (int i = 0; i < 80; ++i) {
        reached << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : pTop, Qt::Key_Tab);
    }
    int nControls = 0;
    for (QWidget* pWidget : pScope->findChildren<QWidget*>()) {
        const bool bControl = qobject_cast<QAbstractButton*>(pWidget) || qobject_cast<QLineEdit*>(pWidget) ||
                              qobject_cast<QComboBox*>(pWidget) || qobject_cast<QAbstractSpinBox*>(pWidget) ||
                              qobject_cast<QPlainTextEdit*>(pWidget);
        if (!bControl || !pWidget->isVisible() || !pWidget->isEnabled() ||
            qobject_cast<QComboBox*>(pWidget->parentWidget()) ||
            qobject_cast<QAbstractSpinBox*>(pWidget->parentWidget()))
            continue;
        ++nControls;
        QVERIFY2(reached.contains(pWidget), qPrintable(pWidget->objectName()));
    }
    QVERIFY(nControls > 0 || page == 1 || page == -6); // displays only; the About box's link
}

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"

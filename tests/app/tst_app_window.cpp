// The main window against a stand-in service on the real loopback port:
// records reaching the signals and charts, link loss, chart controls, local
// time, control loop, the request-then-dialog flows, settings, the debug key
// sequence, the data logs and the NMEA page.

#include "cgpsstatuswnd.h"
#include "cstripchartwidget.h"
#include "ctimestatuswidget.h"
#include "fakeservice.h"
#include "testwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QToolBar>
#include <QToolButton>
#include <QUdpSocket>

#include <memory>

using Status = CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS;
using Chart = CStripChartWidget;

namespace {

Status MakeStatus(double dBase)
{
    Status s;
    s.dTimeDiff = dBase + 0.001;
    s.dEstTimeError = dBase + 0.002;
    s.dControlValue = dBase + 3.0;
    s.dFitSlope = 0.5;
    s.dFitIntercept = dBase + 0.25;
    s.dStdDev = dBase + 0.004;
    s.nSamples = 8;
    s.dFit2Slope = 0.125;
    s.dFit2Intercept = dBase + 0.75;
    s.dStdDev2 = dBase + 0.005;
    s.nSamples2 = 16;
    s.nLoopState = 6;
    return s;
}

QList<double> Xs(const Chart* pChart, int nSet)
{
    QList<double> xs;
    for (const Chart::DATA_POINT& p : pChart->DataSet(nSet).arrayPoints)
        xs.append(p.dX);
    return xs;
}

QList<double> Range(int nFirst, int nLast)
{
    QList<double> r;
    for (int i = nFirst; i <= nLast; ++i)
        r.append(i);
    return r;
}

} // namespace

class tst_AppWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void formHasPagesMenusAndToolBar();
    void actionsHaveTheirTextsAndTips_data();
    void actionsHaveTheirTextsAndTips();
    void chartsStartEmptyAndRanged();
    void connectingSendsTheStartupRequests();
    void statusReachesChartsAndSignal();
    void historyPointsComeBeforeTheLiveRecord();
    void linkLossEmitsAllZeroRecordAndKeepsPoints();
    void gpsStatusIsConvertedAndReemitted();
    void gpsConversionCarriesEveryField_data();
    void gpsConversionCarriesEveryField();
    void scaleButtonsSetBothCharts();
    void eraseHistoryRestartsAtZero();
    void showStdDevSwitchesBand();
    void localTimeSwitchReachesClock();
    void enableControlLoopFollowsService();
    void loopParametersOpenOnlyWhenAsked();
    void commPortDialogSendsParsedPort_data();
    void commPortDialogSendsParsedPort();
    void oneDialogPerKindAtATime();
    void gpsLockDialogSendsEditedConfig_data();
    void gpsLockDialogSendsEditedConfig();
    void timeOffsetDialogSendsOffset();
    void aboutActionOpensAbout();
    void navMenusAreExclusiveAndPersist_data();
    void navMenusAreExclusiveAndPersist();
    void unknownStoredFormatLeavesNoMark();
    void debugSequence_data();
    void debugSequence();
    void logsBeforeAnyReplyBothEnabled();
    void logStatusWithoutStartOnlySetsActions_data();
    void logStatusWithoutStartOnlySetsActions();
    void logStartAsksForFileAndStarts_data();
    void logStartAsksForFileAndStarts();
    void logStartCancelledSendsNothing_data();
    void logStartCancelledSendsNothing();
    void logStartWhileRunningOpensNoDialog();
    void logStopReplySetsIdleWhatever_data();
    void logStopReplySetsIdleWhatever();
    void nmeaDatagramsReachThePage_data();
    void nmeaDatagramsReachThePage();
    void nmeaSeveralDatagramsInOrder();
    void nmeaPageKeepsLastThousandLines();
    void nmeaSocketRecreatedOnReconnect();

private:
    std::unique_ptr<TestWindow> NewConnectedWindow();
    QAction* Action(const char* pszName) const { return m_pWindow->findChild<QAction*>(pszName); }
    Chart* TimeDiffChart() const;
    Chart* ControlChart() const;
    QPlainTextEdit* Nmea() const { return m_pWindow->findChild<QPlainTextEdit*>("editNmea"); }
    void SendNmea(const QByteArray& datagram);

    FakeService m_service;
    std::unique_ptr<TestWindow> m_pWindow;
};

void tst_AppWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    CBRFNProtocolQt::RegisterMetaTypes();
    QVERIFY(m_service.Listen());
}

void tst_AppWindow::init()
{
    QSettings("Brightfen", "TellurixPanel").clear();
    m_service.ClearReceived();
}

void tst_AppWindow::cleanup()
{
    m_pWindow.reset();
}

// A window whose link is up and whose start-up requests have arrived.
std::unique_ptr<TestWindow> tst_AppWindow::NewConnectedWindow()
{
    auto pWindow = std::make_unique<TestWindow>();
    const bool bUp = m_service.WaitForNewConnection() &&
                     QTest::qWaitFor([&] { return !m_service.Received(BRFN::CMD_LOOP_PARAMETERS, 0).isEmpty(); },
                                     5000);
    if (!bUp)
        QTest::qFail("the window did not connect to the stand-in service", __FILE__, __LINE__);
    return pWindow;
}

Chart* tst_AppWindow::TimeDiffChart() const
{
    return m_pWindow->findChild<QWidget*>("widgetTimeDiff")->findChild<Chart*>();
}

Chart* tst_AppWindow::ControlChart() const
{
    return m_pWindow->findChild<QWidget*>("widgetControlValue")->findChild<Chart*>();
}

// ---- Form ---------------------------------------------------------------------

void tst_AppWindow::formHasPagesMenusAndToolBar()
{
    m_pWindow = NewConnectedWindow();
    QCOMPARE(m_pWindow->objectName(), QString("CMainWindow"));
    QCOMPARE(m_pWindow->windowTitle(), QString("Tellurix Panel"));
    QCOMPARE(m_pWindow->size(), QSize(916, 649));

    auto* pTabs = m_pWindow->findChild<QTabWidget*>("tabWidget");
    QVERIFY(pTabs);
    QCOMPARE(pTabs->count(), 4);
    const QStringList names = {"tabStatus", "tabGPSStatus", "tabLoopStatus", "tabNmeaOutput"};
    const QStringList texts = {"Status", "GPS Status", "Loop Status", "NMEA Output"};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(pTabs->widget(i)->objectName(), names.at(i));
        QCOMPARE(pTabs->tabText(i), texts.at(i));
    }
    QCOMPARE(pTabs->currentIndex(), 0);

    // The displays sit in their hosts.
    QVERIFY(pTabs->widget(1)->findChild<CGPSStatusWnd*>());
    QVERIFY(m_pWindow->findChild<QWidget*>("widgetTimeStatus")->findChild<CTimeStatusWidget*>());
    QVERIFY(TimeDiffChart() && ControlChart() && TimeDiffChart() != ControlChart());
    QVERIFY(Nmea()->isReadOnly());
    QCOMPARE(Nmea()->document()->maximumBlockCount(), 1000);
    QCOMPARE(m_pWindow->findChild<QToolButton*>("toolButtonEraseHisory")->text(), QString("Erase History"));

    // Menus: titles and the order of their entries (separators as "-").
    auto entries = [](QMenu* pMenu) {
        QStringList list;
        for (QAction* pAction : pMenu->actions())
            list << (pAction->isSeparator() ? QString("-") : pAction->menu() ? pAction->menu()->objectName()
                                                                              : pAction->objectName());
        return list;
    };
    QStringList bar;
    for (QAction* pAction : m_pWindow->menuBar()->actions())
        bar << pAction->menu()->objectName() + "=" + pAction->text();
    QCOMPARE(bar, QStringList({"menu_Tools=&Tools", "menu_Settings=&Settings", "menu_About=&Help"}));
    QCOMPARE(entries(m_pWindow->findChild<QMenu*>("menu_Tools")),
             QStringList({"menuAnalysis", "action_SetTime_DifferenceOffset", "actionSet_Control_Loop_Parameters"}));
    QCOMPARE(entries(m_pWindow->findChild<QMenu*>("menuAnalysis")),
             QStringList({"actionStart_Control_Loop_Log", "actionStop_Control_Loop_Log", "-",
                          "action_Enable_Control_Loop", "-", "actionStart_GPS_Data_Log", "actionStop_GPS_Data_Log",
                          "-"}));
    QCOMPARE(entries(m_pWindow->findChild<QMenu*>("menu_Settings")),
             QStringList({"menu_GPS_2", "menu_Position_Format", "menu_Units", "action_Lock_Criteria"}));
    QCOMPARE(entries(m_pWindow->findChild<QMenu*>("menu_Position_Format")),
             QStringList({"actionPosFormatDD_MM_MMMM", "actionPosFormatDD_MM_SS_SSS", "actionPosFormatDD_DDDD"}));
    QCOMPARE(entries(m_pWindow->findChild<QMenu*>("menu_Altitude")),
             QStringList({"action_English_Units", "action_Metric_Units"}));
    QVERIFY(!m_pWindow->findChild<QMenu*>("menu_About")->toolTipsVisible());

    auto* pToolBar = m_pWindow->findChild<QToolBar*>("mainToolBar");
    QVERIFY(pToolBar);
    QCOMPARE(pToolBar->iconSize(), QSize(48, 48));
    QCOMPARE(pToolBar->actions(), QList<QAction*>({Action("action_About")}));
    QCOMPARE(m_pWindow->toolBarArea(pToolBar), Qt::TopToolBarArea);
    QVERIFY(!Action("action_About")->icon().isNull());
    QVERIFY(!Action("actionSet_Control_Loop_Parameters")->isVisible());
}

void tst_AppWindow::actionsHaveTheirTextsAndTips_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip"); // empty: none set (Qt shows the text)
    QTest::addColumn<bool>("checkable");
    QTest::newRow("about") << "action_About" << "&About" << "Shows About Dialog" << false;
    QTest::newRow("comms") << "action_SetupGPSCommunications" << "&Setup Communications" << "" << false;
    QTest::newRow("offset") << "action_SetTime_DifferenceOffset" << "&Set Time Difference Offset..." << "" << false;
    QTest::newRow("loop parameters") << "actionSet_Control_Loop_Parameters" << "Set &Control Loop Parameters..."
                                     << "" << false;
    QTest::newRow("start loop log") << "actionStart_Control_Loop_Log" << "Start Control Loop Log..."
                                    << "Starts saving the control loop log to a file" << false;
    QTest::newRow("stop loop log") << "actionStop_Control_Loop_Log" << "Stop &Control Loop Log"
                                   << "Stops the log and closes the file" << false;
    QTest::newRow("enable loop") << "action_Enable_Control_Loop" << "&Enable Control Loop"
                                 << "Enable or disables the control loop" << true;
    QTest::newRow("start gps log") << "actionStart_GPS_Data_Log" << "Start &GPS Data Log..." << "" << false;
    QTest::newRow("stop gps log") << "actionStop_GPS_Data_Log" << "Stop GPS &Data Log" << "" << false;
    QTest::newRow("dd mm.mmmm") << "actionPosFormatDD_MM_MMMM" << "dd mm.mmmm'" << "" << true;
    QTest::newRow("dd mm ss") << "actionPosFormatDD_MM_SS_SSS" << "dd mm'ss.sss\"" << "" << true;
    QTest::newRow("dd.dddd") << "actionPosFormatDD_DDDD" << "dd.dddddddddd" << "" << true;
    QTest::newRow("english") << "action_English_Units" << "&English" << "" << true;
    QTest::newRow("metric") << "action_Metric_Units" << "&Metric" << "" << true;
    QTest::newRow("lock") << "action_Lock_Criteria" << "&Lock Criteria..." << "" << false;
}

void tst_AppWindow::actionsHaveTheirTextsAndTips()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(bool, checkable);
    if (!m_pWindow)
        m_pWindow = NewConnectedWindow();
    QCOMPARE(m_pWindow->findChildren<QAction*>(QRegularExpression("^action")).size(), 15);
    QAction* pAction = Action(qPrintable(name));
    QVERIFY(pAction);
    QCOMPARE(pAction->parent(), m_pWindow.get());
    QCOMPARE(pAction->text(), text);
    if (!toolTip.isEmpty())
        QCOMPARE(pAction->toolTip(), toolTip);
    else
        QCOMPARE(pAction->toolTip(), QString(text).remove('&').remove("..."));
    QCOMPARE(pAction->statusTip(), name == "action_About" ? QString("Shows About Dialog") : QString());
    QCOMPARE(pAction->isCheckable(), checkable);
    QVERIFY(pAction->shortcut().isEmpty());
}

void tst_AppWindow::chartsStartEmptyAndRanged()
{
    m_pWindow = NewConnectedWindow();
    Chart* pTD = TimeDiffChart();
    Chart* pCtl = ControlChart();
    QCOMPARE(pTD->m_strTitle, QString("Time Difference"));
    QCOMPARE(pTD->m_strYLabel, QString("Seconds"));
    QCOMPARE(pCtl->m_strTitle, QString("Control"));
    QCOMPARE(pCtl->m_strYLabel, QString("Clock Counter"));
    QCOMPARE(QByteArray(pCtl->ValueFormat()), QByteArray("%.01f"));
    QCOMPARE(QByteArray(pTD->ValueFormat()), QByteArray("%.03f"));
    for (Chart* pChart : {pTD, pCtl}) {
        QCOMPARE(pChart->XMin(), 0.0);
        QCOMPARE(pChart->XMax(), 300.0);
        for (int i = 0; i < Chart::NUM_DATA_SETS; ++i)
            QVERIFY(pChart->DataSet(i).arrayPoints.isEmpty());
    }
    QCOMPARE(pTD->YMin(), -0.025);
    QCOMPARE(pTD->YMax(), 0.025);
    QCOMPARE(pCtl->YMin(), -50.0);
    QCOMPARE(pCtl->YMax(), 50.0);
    QVERIFY(pTD->DataSet(2).bValueTag && pTD->DataSet(3).bValueTag && !pTD->DataSet(0).bValueTag);
    QVERIFY(pCtl->DataSet(0).bValueTag);
    QCOMPARE(pTD->DataSet(2).colorTrace, QColor(0, 0, 255));
    QCOMPARE(pTD->DataSet(3).colorTrace, QColor(192, 0, 0));
    QCOMPARE(pTD->DataSet(0).colorTrace, QColor(255, 192, 192, 128));
    QCOMPARE(pTD->DataSet(1).colorTrace, QColor(192, 192, 255, 128));
    QCOMPARE(pTD->DataSet(0).nStyle, int(Chart::STYLE_BAND));
    QCOMPARE(pTD->DataSet(1).nStyle, int(Chart::STYLE_BAND));
    QVERIFY(pTD->DataSet(1).bHidden);
    QVERIFY(!pTD->DataSet(0).bHidden);
    QVERIFY(!m_pWindow->findChild<QCheckBox*>("checkBoxShowStdDev")->isChecked());
}

// ---- Link ---------------------------------------------------------------------

void tst_AppWindow::connectingSendsTheStartupRequests()
{
    m_pWindow = NewConnectedWindow();
    QTRY_COMPARE(m_service.Received(BRFN::CMD_RECORD_GPS_DATA, 0).size(), 1);
    QCOMPARE(m_service.Received(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, 0).size(), 1);
    QCOMPARE(m_service.Received(BRFN::CMD_CONTROL_LOOP_STATUS_LOG, 0).size(), 1);
    QCOMPARE(m_service.Received(BRFN::CMD_LOOP_PARAMETERS, 0).size(), 1);
    QCOMPARE(m_service.m_received.size(), 4);
}

void tst_AppWindow::statusReachesChartsAndSignal()
{
    m_pWindow = NewConnectedWindow();
    QSignalSpy spy(m_pWindow.get(), SIGNAL(SignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS)));
    Status first = MakeStatus(0.0);
    first.nSamples = -1; // the service counts in unsigned 32 bits: 4294967295
    m_service.Send(BRFN::CMD_CONTROL_LOOP_STATUS, BRFN::EncodeControlLoopStatus(first));
    m_service.Send(BRFN::CMD_CONTROL_LOOP_STATUS, BRFN::EncodeControlLoopStatus(MakeStatus(1.0)));
    QTRY_COMPARE(spy.count(), 2);

    const Status got = spy.at(0).at(0).value<Status>();
    QCOMPARE(got.dTimeDiff, first.dTimeDiff);
    QCOMPARE(got.nLoopState, 6);

    Chart* pTD = TimeDiffChart();
    Chart* pCtl = ControlChart();
    QCOMPARE(Xs(pTD, 2), Range(0, 1));
    QCOMPARE(Xs(pTD, 3), Range(0, 1));
    QCOMPARE(Xs(pCtl, 0), Range(0, 1));
    QCOMPARE(Xs(pTD, 0), Range(0, 1));
    QCOMPARE(Xs(pTD, 1), Range(0, 1));
    QVERIFY(pCtl->DataSet(1).arrayPoints.isEmpty());
    QVERIFY(pTD->DataSet(4).arrayPoints.isEmpty());

    const auto& p2 = pTD->DataSet(2).arrayPoints.at(1);
    QCOMPARE(p2.dY, 1.001);
    QCOMPARE(p2.dZ, 0.0);
    QCOMPARE(pTD->DataSet(3).arrayPoints.at(1).dY, 1.002);
    QCOMPARE(pCtl->DataSet(0).arrayPoints.at(1).dY, 4.0);
    // Bands: half-height the spread, centre the fitted line at the sample count.
    const auto& band0 = pTD->DataSet(0).arrayPoints.at(0);
    QCOMPARE(band0.dY, 0.004);
    QCOMPARE(band0.dZ, 4294967295.0 * 0.5 + 0.25);
    const auto& band1 = pTD->DataSet(1).arrayPoints.at(1);
    QCOMPARE(band1.dY, 1.005);
    QCOMPARE(band1.dZ, 16 * 0.125 + 1.75);
}

void tst_AppWindow::historyPointsComeBeforeTheLiveRecord()
{
    m_pWindow = NewConnectedWindow();
    QSignalSpy spy(m_pWindow.get(), SIGNAL(SignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS)));
    CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY history;
    history.nCount = 10;
    for (int i = 0; i < 10; ++i)
        history.aEntries[i] = MakeStatus(10.0 * i);
    m_service.Send(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, BRFN::EncodeHistory(history));
    m_service.Send(BRFN::CMD_CONTROL_LOOP_STATUS, BRFN::EncodeControlLoopStatus(MakeStatus(500.0)));
    QTRY_COMPARE(spy.count(), 1); // the history itself is not re-emitted
    QCOMPARE(Xs(TimeDiffChart(), 2), Range(0, 10));
    QCOMPARE(Xs(ControlChart(), 0), Range(0, 10));
    QCOMPARE(TimeDiffChart()->DataSet(2).arrayPoints.at(9).dY, 90.001);
    QCOMPARE(TimeDiffChart()->DataSet(2).arrayPoints.at(10).dY, 500.001);
}

void tst_AppWindow::linkLossEmitsAllZeroRecordAndKeepsPoints()
{
    m_pWindow = NewConnectedWindow();
    QSignalSpy spy(m_pWindow.get(), SIGNAL(SignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS)));
    m_service.Send(BRFN::CMD_CONTROL_LOOP_STATUS, BRFN::EncodeControlLoopStatus(MakeStatus(1.0)));
    QTRY_COMPARE(spy.count(), 1);

    m_service.ClearReceived();
    m_service.DropConnection();
    QTRY_COMPARE(spy.count(), 2);
    const Status zero = spy.at(1).at(0).value<Status>();
    QCOMPARE(zero.dTimeDiff, 0.0);
    QCOMPARE(zero.dEstTimeError, 0.0);
    QCOMPARE(zero.dStdDev, 0.0);
    QCOMPARE(zero.nSamples, 0);
    QCOMPARE(zero.nLoopState, 0);
    QCOMPARE(Xs(TimeDiffChart(), 2), Range(0, 0)); // the charts keep their points

    // The client reconnects; a history after it continues at the next x.
    QVERIFY(m_service.WaitForNewConnection());
    QTRY_COMPARE(m_service.Received(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, 0).size(), 1);
    CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY history;
    history.nCount = 2;
    history.aEntries[0] = MakeStatus(2.0);
    history.aEntries[1] = MakeStatus(3.0);
    m_service.Send(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, BRFN::EncodeHistory(history));
    QTRY_COMPARE(Xs(TimeDiffChart(), 2), Range(0, 2));
    QCOMPARE(spy.count(), 2);
}

void tst_AppWindow::gpsStatusIsConvertedAndReemitted()
{
    m_pWindow = NewConnectedWindow();
    QList<CBRFNProtocolQt::CMD_DATA_GPS_STATUS> seen;
    connect(m_pWindow.get(), &CMainWindow::SignalGPSStatus,
            [&](CBRFNProtocolQt::CMD_DATA_GPS_STATUS& Data) { seen.append(Data); });
    CBRFNProtocolQt::CMD_DATA_GPS_STATUS gps;
    gps.dLatitude = 45.5;
    gps.nSatsInView = 7;
    gps.nTimeSource = 1;
    gps.aSats[3].nPRN = 17;
    m_service.Send(BRFN::CMD_GPS_STATUS, BRFN::EncodeGPSStatus(gps));
    QTRY_COMPARE(seen.size(), 1);
    QCOMPARE(seen.at(0).dLatitude, 45.5);
    QCOMPARE(seen.at(0).nSatsInView, 7);
    QCOMPARE(seen.at(0).nTimeSource, 1);
    QCOMPARE(seen.at(0).aSats[3].nPRN, 17);
}

void tst_AppWindow::gpsConversionCarriesEveryField_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("state");
    QTest::newRow("first slot, state 0") << 0 << 0;
    QTest::newRow("state 3") << 40 << 3;
    QTest::newRow("last slot, unknown state 7 carried") << 95 << 7;
    QTest::newRow("negative state carried") << 12 << -2;
}

void tst_AppWindow::gpsConversionCarriesEveryField()
{
    QFETCH(int, slot);
    QFETCH(int, state);
    CBRFNProtocolQt::CMD_DATA_GPS_STATUS gps;
    gps.dLatitude = -33.123456;
    gps.dLongitude = -122.25;
    gps.dAltitude = 1609.344;
    gps.nSatsTracked = 9;
    gps.nSatsInView = 12;
    gps.nGPSTime = 1700000000;
    gps.nGPSTimeFlag = 1;
    gps.nTimeSource = 1; // not part of the display record
    gps.aSats[slot] = {state, 31, 270, 45, 42, true};
    CGPSDisplayData display;
    display.aSats[slot].nPRN = 99; // everything is overwritten
    CMainWindow::ConvertGPSStatus(gps, display);
    QCOMPARE(display.dLatitude, -33.123456);
    QCOMPARE(display.dLongitude, -122.25);
    QCOMPARE(display.dAltitude, 1609.344);
    QCOMPARE(display.nSatsTracked, 9);
    QCOMPARE(display.nSatsInView, 12);
    QCOMPARE(display.nGPSTime, 1700000000);
    QCOMPARE(display.nGPSTimeFlag, 1);
    const CGPSDisplayData::SAT_DATA& sat = display.aSats[slot];
    QCOMPARE(sat.nPRN, 31);
    QCOMPARE(sat.nSNR, 42);
    QCOMPARE(sat.bUsed, true);
    QCOMPARE(sat.nAzimuth, 270);
    QCOMPARE(sat.nElevation, 45);
    QCOMPARE(sat.nStatus, state);
    QCOMPARE(display.aSats[(slot + 1) % 96].nPRN, 0);
}

// ---- Chart controls -------------------------------------------------------------

void tst_AppWindow::scaleButtonsSetBothCharts()
{
    m_pWindow = NewConnectedWindow();
    QCOMPARE(TimeDiffChart()->ScaleMode(), int(Chart::SCALE_WINDOW));
    m_pWindow->findChild<QToolButton*>("toolButtonScaleExtent")->click();
    QCOMPARE(TimeDiffChart()->ScaleMode(), int(Chart::SCALE_EXTENT));
    QCOMPARE(ControlChart()->ScaleMode(), int(Chart::SCALE_EXTENT));
    m_pWindow->findChild<QToolButton*>("toolButtonScaleWindow")->click();
    QCOMPARE(TimeDiffChart()->ScaleMode(), int(Chart::SCALE_WINDOW));
    QCOMPARE(ControlChart()->ScaleMode(), int(Chart::SCALE_WINDOW));
}

void tst_AppWindow::eraseHistoryRestartsAtZero()
{
    m_pWindow = NewConnectedWindow();
    QSignalSpy spy(m_pWindow.get(), SIGNAL(SignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS)));
    m_pWindow->findChild<QToolButton*>("toolButtonScaleExtent")->click();
    for (int i = 0; i < 3; ++i)
        m_service.Send(BRFN::CMD_CONTROL_LOOP_STATUS, BRFN::EncodeControlLoopStatus(MakeStatus(i)));
    QTRY_COMPARE(spy.count(), 3);
    QCOMPARE(TimeDiffChart()->XMax(), 2.0); // extent scaling moved the range

    m_service.ClearReceived();
    m_pWindow->findChild<QToolButton*>("toolButtonEraseHisory")->click();
    QTRY_COMPARE(m_service.Received(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, 1).size(), 1);
    for (Chart* pChart : {TimeDiffChart(), ControlChart()}) {
        for (int i = 0; i < 4; ++i)
            QVERIFY(pChart->DataSet(i).arrayPoints.isEmpty());
        QCOMPARE(pChart->XMin(), 0.0);
        QCOMPARE(pChart->XMax(), 300.0);
        QCOMPARE(pChart->ScaleMode(), int(Chart::SCALE_EXTENT)); // mode is kept
    }
    QCOMPARE(TimeDiffChart()->YMax(), 0.025);
    QCOMPARE(ControlChart()->YMin(), -50.0);

    m_service.Send(BRFN::CMD_CONTROL_LOOP_STATUS, BRFN::EncodeControlLoopStatus(MakeStatus(7.0)));
    QTRY_COMPARE(spy.count(), 4);
    QCOMPARE(Xs(TimeDiffChart(), 2), Range(0, 0));
    QCOMPARE(Xs(ControlChart(), 0), Range(0, 0));
}

void tst_AppWindow::showStdDevSwitchesBand()
{
    m_pWindow = NewConnectedWindow();
    auto* pBox = m_pWindow->findChild<QCheckBox*>("checkBoxShowStdDev");
    QTest::mouseClick(pBox, Qt::LeftButton);
    QVERIFY(pBox->isChecked());
    QVERIFY(!TimeDiffChart()->DataSet(1).bHidden);
    QTest::mouseClick(pBox, Qt::LeftButton);
    QVERIFY(TimeDiffChart()->DataSet(1).bHidden);
    QVERIFY(!TimeDiffChart()->DataSet(0).bHidden); // the other band is never switched
}

void tst_AppWindow::localTimeSwitchReachesClock()
{
    m_pWindow = NewConnectedWindow();
    auto* pBox = m_pWindow->findChild<QCheckBox*>("checkBoxLocalTime");
    auto* pClock = m_pWindow->findChild<CTimeStatusWidget*>();
    QVERIFY(pBox->isChecked());
    QVERIFY(pClock->m_bShowLocalTime);
    QTest::mouseClick(pBox, Qt::LeftButton);
    QVERIFY(!pClock->m_bShowLocalTime);
    QTest::mouseClick(pBox, Qt::LeftButton);
    QVERIFY(pClock->m_bShowLocalTime);
}

// ---- Control loop and dialogs ---------------------------------------------------

void tst_AppWindow::enableControlLoopFollowsService()
{
    m_pWindow = NewConnectedWindow();
    QAction* pEnable = Action("action_Enable_Control_Loop");
    CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS params;
    m_service.Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeLoopParameters(0, params, 1));
    QTRY_VERIFY(pEnable->isChecked());

    m_service.ClearReceived();
    pEnable->trigger(); // off
    QTRY_COMPARE(m_service.Received(BRFN::CMD_LOOP_PARAMETERS, 2).size(), 1);
    QCOMPARE(m_service.m_received.at(0).payload, QByteArray::fromHex("0200"));
    QVERIFY(!pEnable->isChecked());
    pEnable->trigger(); // on again
    QTRY_COMPARE(m_service.Received(BRFN::CMD_LOOP_PARAMETERS, 2).size(), 2);
    QCOMPARE(m_service.m_received.at(1).payload, QByteArray::fromHex("0201"));

    // The service's next reply sets the mark whatever the user did.
    m_service.Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeLoopParameters(0, params, 0));
    QTRY_VERIFY(!pEnable->isChecked());
    QCOMPARE(m_pWindow->m_nDialogRuns, 0); // replies nobody asked for open nothing
}

void tst_AppWindow::loopParametersOpenOnlyWhenAsked()
{
    m_pWindow = NewConnectedWindow();
    CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS params;
    params.dTimeConstant = 100.0;
    params.dGain = 0.001;
    params.dDamping = 0.7;
    params.dDetectorGain = 2.0;
    m_pWindow->m_nDialogResult = QDialog::Accepted;
    m_pWindow->m_loopAnswer = params;
    m_pWindow->m_loopAnswer.dGain = 0.5;
    m_pWindow->m_loopAnswer.bLoopEnabled = 1; // the reset-loop request

    m_service.ClearReceived();
    Action("actionSet_Control_Loop_Parameters")->trigger();
    QTRY_COMPARE(m_service.Received(BRFN::CMD_LOOP_PARAMETERS, 0).size(), 1);
    m_service.Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeLoopParameters(0, params, 1));
    QTRY_COMPARE(m_service.Received(BRFN::CMD_LOOP_PARAMETERS, 1).size(), 1);
    QCOMPARE(m_pWindow->m_nDialogRuns, 1);
    QCOMPARE(m_pWindow->m_loopShown.dTimeConstant, 100.0);
    QCOMPARE(m_pWindow->m_loopShown.dDetectorGain, 2.0);
    const QByteArray set = m_service.Received(BRFN::CMD_LOOP_PARAMETERS, 1).at(0).payload;
    QCOMPARE(set, BRFN::EncodeLoopParameters(1, m_pWindow->m_loopAnswer, 1));

    // The mark was used up: the next reply opens nothing.
    m_service.Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeLoopParameters(0, params, 1));
    QTest::qWait(100);
    QCOMPARE(m_pWindow->m_nDialogRuns, 1);

    // Cancelled: nothing is sent.
    m_pWindow->m_nDialogResult = QDialog::Rejected;
    Action("actionSet_Control_Loop_Parameters")->trigger();
    m_service.Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeLoopParameters(0, params, 1));
    QTRY_COMPARE(m_pWindow->m_nDialogRuns, 2);
    QTest::qWait(100);
    QCOMPARE(m_service.Received(BRFN::CMD_LOOP_PARAMETERS, 1).size(), 1);
}

void tst_AppWindow::commPortDialogSendsParsedPort_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("sentPort"); // -1: nothing sent
    QTest::newRow("COM7") << true << "COM7" << 7;
    QTest::newRow("off is port 0") << true << "off" << 0;
    QTest::newRow("Off is not off") << true << "Off" << -1;
    QTest::newRow("no M sends nothing") << true << "/dev/ttyUSB0" << -1;
    QTest::newRow("ttyACM0 reads as 0") << true << "/dev/ttyACM0" << 0;
    QTest::newRow("COM12 with M inside") << true << "COM12" << 12;
    QTest::newRow("cancelled") << false << "COM7" << -1;
}

void tst_AppWindow::commPortDialogSendsParsedPort()
{
    QFETCH(bool, accept);
    QFETCH(QString, port);
    QFETCH(int, sentPort);
    m_pWindow = NewConnectedWindow();
    m_pWindow->m_nDialogResult = accept ? QDialog::Accepted : QDialog::Rejected;
    m_pWindow->m_strPortAnswer = port;
    m_pWindow->m_nBaudAnswer = 9600;

    m_service.ClearReceived();
    Action("action_SetupGPSCommunications")->trigger();
    QTRY_COMPARE(m_service.Received(BRFN::CMD_COMM_PORT, 0).size(), 1);
    QCOMPARE(m_pWindow->m_nDialogRuns, 0); // the reply opens the dialog, not the menu
    m_service.Send(BRFN::CMD_COMM_PORT, BRFN::EncodeCommPort(0, 3, 4800));
    QTRY_COMPARE(m_pWindow->m_nDialogRuns, 1);
    QCOMPARE(m_pWindow->m_strPortShown, QString("COM3"));
    QCOMPARE(m_pWindow->m_nBaudShown, 4800u);
    if (sentPort < 0) {
        QTest::qWait(100);
        QCOMPARE(m_service.Received(BRFN::CMD_COMM_PORT, 1).size(), 0);
    } else {
        QTRY_COMPARE(m_service.Received(BRFN::CMD_COMM_PORT, 1).size(), 1);
        QCOMPARE(m_service.Received(BRFN::CMD_COMM_PORT, 1).at(0).payload,
                 BRFN::EncodeCommPort(1, sentPort, 9600));
    }
}

void tst_AppWindow::oneDialogPerKindAtATime()
{
    m_pWindow = NewConnectedWindow();
    // Two replies in one segment: the first one's dialog is still queued when
    // the second arrives, which is dropped.
    m_service.SendTogether({{BRFN::CMD_COMM_PORT, BRFN::EncodeCommPort(0, 1, 4800)},
                            {BRFN::CMD_COMM_PORT, BRFN::EncodeCommPort(0, 2, 4800)}});
    QTRY_COMPARE(m_pWindow->m_nDialogRuns, 1);
    QTest::qWait(100);
    QCOMPARE(m_pWindow->m_nDialogRuns, 1);
    QCOMPARE(m_pWindow->m_strPortShown, QString("COM1"));
    // Once it has closed, the next reply opens it again.
    m_service.Send(BRFN::CMD_COMM_PORT, BRFN::EncodeCommPort(0, 2, 4800));
    QTRY_COMPARE(m_pWindow->m_nDialogRuns, 2);
    QCOMPARE(m_pWindow->m_strPortShown, QString("COM2"));
}

void tst_AppWindow::gpsLockDialogSendsEditedConfig_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("accepted") << true;
    QTest::newRow("cancelled") << false;
}

void tst_AppWindow::gpsLockDialogSendsEditedConfig()
{
    QFETCH(bool, accept);
    m_pWindow = NewConnectedWindow();
    m_pWindow->m_nDialogResult = accept ? QDialog::Accepted : QDialog::Rejected;
    m_pWindow->m_lockAnswer.bEnable = false;
    m_pWindow->m_lockAnswer.nDelay = 600;

    m_service.ClearReceived();
    Action("action_Lock_Criteria")->trigger();
    QTRY_COMPARE(m_service.Received(BRFN::CMD_GPS_LOCK_CONFIG, 0).size(), 1);
    CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG config;
    config.bEnable = true;
    config.nDelay = 30;
    if (accept)
        QTest::ignoreMessage(QtDebugMsg, "Blatt!");
    m_service.Send(BRFN::CMD_GPS_LOCK_CONFIG, BRFN::EncodeGPSLockConfig(0, config));
    QTRY_COMPARE(m_pWindow->m_nDialogRuns, 1);
    QCOMPARE(m_pWindow->m_lockShown.bEnable, true);
    QCOMPARE(m_pWindow->m_lockShown.nDelay, 30u);
    if (accept) {
        QTRY_COMPARE(m_service.Received(BRFN::CMD_GPS_LOCK_CONFIG, 1).size(), 1);
        QCOMPARE(m_service.Received(BRFN::CMD_GPS_LOCK_CONFIG, 1).at(0).payload,
                 BRFN::EncodeGPSLockConfig(1, m_pWindow->m_lockAnswer));
    } else {
        QTest::qWait(100);
        QCOMPARE(m_service.Received(BRFN::CMD_GPS_LOCK_CONFIG, 1).size(), 0);
    }
}

void tst_AppWindow::timeOffsetDialogSendsOffset()
{
    m_pWindow = NewConnectedWindow();
    m_pWindow->m_nDialogResult = QDialog::Accepted;
    m_pWindow->m_dOffsetAnswer = 0.015;
    m_service.ClearReceived();
    Action("action_SetTime_DifferenceOffset")->trigger();
    QCOMPARE(m_pWindow->m_nDialogRuns, 1);
    QCOMPARE(m_pWindow->m_dOffsetShown, 0.0);
    QTRY_COMPARE(m_service.Received(BRFN::CMD_TIME_DIFF_OFFSET, 1).size(), 1);
    QCOMPARE(m_service.Received(BRFN::CMD_TIME_DIFF_OFFSET, 1).at(0).payload, BRFN::EncodeTimeDiffOffset(1, 0.015));

    m_pWindow->m_nDialogResult = QDialog::Rejected;
    Action("action_SetTime_DifferenceOffset")->trigger();
    QCOMPARE(m_pWindow->m_nDialogRuns, 2);
    QTest::qWait(100);
    QCOMPARE(m_service.Received(BRFN::CMD_TIME_DIFF_OFFSET, 1).size(), 1);
}

void tst_AppWindow::aboutActionOpensAbout()
{
    m_pWindow = NewConnectedWindow();
    Action("action_About")->trigger();
    QCOMPARE(m_pWindow->m_nAboutRuns, 1);
}

// ---- Settings ---------------------------------------------------------------------

void tst_AppWindow::navMenusAreExclusiveAndPersist_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("units");
    QTest::addColumn<QString>("storedFormat");
    QTest::addColumn<QString>("storedUnits");
    QTest::newRow("dd.dddd, metric") << "actionPosFormatDD_DDDD" << "action_Metric_Units" << "2" << "1";
    QTest::newRow("dd mm ss, english") << "actionPosFormatDD_MM_SS_SSS" << "action_English_Units" << "1" << "0";
    QTest::newRow("dd mm.mmmm, metric") << "actionPosFormatDD_MM_MMMM" << "action_Metric_Units" << "0" << "1";
}

void tst_AppWindow::navMenusAreExclusiveAndPersist()
{
    QFETCH(QString, format);
    QFETCH(QString, units);
    QFETCH(QString, storedFormat);
    QFETCH(QString, storedUnits);
    const QStringList formats = {"actionPosFormatDD_MM_MMMM", "actionPosFormatDD_MM_SS_SSS", "actionPosFormatDD_DDDD"};
    const QStringList unitActions = {"action_English_Units", "action_Metric_Units"};
    auto checked = [this](const QStringList& names) {
        QStringList on;
        for (const QString& name : names)
            if (Action(qPrintable(name))->isChecked())
                on << name;
        return on;
    };

    m_pWindow = NewConnectedWindow();
    // Defaults with an empty store: format 0, English.
    QCOMPARE(checked(formats), QStringList({"actionPosFormatDD_MM_MMMM"}));
    QCOMPARE(checked(unitActions), QStringList({"action_English_Units"}));

    Action(qPrintable(format))->trigger();
    Action(qPrintable(units))->trigger();
    QCOMPARE(checked(formats), QStringList({format}));
    QCOMPARE(checked(unitActions), QStringList({units}));
    // Choosing the checked entry again keeps its mark.
    Action(qPrintable(format))->trigger();
    QCOMPARE(checked(formats), QStringList({format}));

    {
        QSettings settings("Brightfen", "TellurixPanel");
        QCOMPARE(settings.value("PosFormat").toString(), storedFormat);
        QCOMPARE(settings.value("AltitudeUnits").toString(), storedUnits);
    }

    m_pWindow.reset();
    m_pWindow = NewConnectedWindow();
    QCOMPARE(checked(formats), QStringList({format}));
    QCOMPARE(checked(unitActions), QStringList({units}));
}

void tst_AppWindow::unknownStoredFormatLeavesNoMark()
{
    {
        QSettings settings("Brightfen", "TellurixPanel");
        settings.setValue("PosFormat", "7");
        settings.setValue("AltitudeUnits", "junk"); // reads as 0
    }
    QTest::ignoreMessage(QtDebugMsg, "WARNING: switch, m_NavConversions.GetPositionFormat() not handled");
    m_pWindow = NewConnectedWindow();
    for (const char* pszName : {"actionPosFormatDD_MM_MMMM", "actionPosFormatDD_MM_SS_SSS", "actionPosFormatDD_DDDD"})
        QVERIFY2(!Action(pszName)->isChecked(), pszName);
    QVERIFY(Action("action_English_Units")->isChecked());
    QVERIFY(!Action("action_Metric_Units")->isChecked());
}

// ---- Debug key sequence ---------------------------------------------------------

void tst_AppWindow::debugSequence_data()
{
    QTest::addColumn<QString>("keys"); // '^' stands for a press of Shift alone
    QTest::addColumn<bool>("enabled");
    QTest::newRow("debug") << "debug" << true;
    QTest::newRow("DEBUG with shift presses") << "^d^e^b^u^g" << true;
    QTest::newRow("ddebug does not") << "ddebug" << false;
    QTest::newRow("ddebug then debug does") << "ddebugdebug" << true;
    QTest::newRow("interrupted") << "debxug" << false;
    QTest::newRow("prefix only") << "debu" << false;
    QTest::newRow("noise first") << "xxdebug" << true;
}

void tst_AppWindow::debugSequence()
{
    QFETCH(QString, keys);
    QFETCH(bool, enabled);
    m_pWindow = NewConnectedWindow();
    QAction* pAction = Action("actionSet_Control_Loop_Parameters");
    QVERIFY(!pAction->isVisible());
    if (enabled)
        QTest::ignoreMessage(QtDebugMsg, "Debug mode enabled!");
    for (QChar c : keys) {
        if (c == '^')
            QTest::keyClick(m_pWindow.get(), Qt::Key_Shift);
        else
            QTest::keyClick(m_pWindow.get(), c.toLatin1());
    }
    QCOMPARE(pAction->isVisible(), enabled);
    auto* pTools = m_pWindow->findChild<QMenu*>("menu_Tools");
    QCOMPARE(pTools->actions().contains(pAction), true);
}

// ---- Data logs ---------------------------------------------------------------------

namespace {
struct LogCase
{
    quint16 nCommand;
    const char* pszStart;
    const char* pszStop;
    const char* pszCaption;
    const char* pszFilter;
};
const LogCase kLogs[2] = {
    {BRFN::CMD_CONTROL_LOOP_STATUS_LOG, "actionStart_Control_Loop_Log", "actionStop_Control_Loop_Log",
     "Save Control Loop Status Log", "Protocol File (*.csv)"},
    {BRFN::CMD_RECORD_GPS_DATA, "actionStart_GPS_Data_Log", "actionStop_GPS_Data_Log", "Save GPS Data",
     "Protocol File (*.txt)"},
};
void AddLogRows()
{
    QTest::addColumn<int>("log");
    QTest::newRow("control loop log") << 0;
    QTest::newRow("gps data log") << 1;
}
} // namespace

void tst_AppWindow::logsBeforeAnyReplyBothEnabled()
{
    m_pWindow = NewConnectedWindow();
    for (const LogCase& log : kLogs) {
        QVERIFY(Action(log.pszStart)->isEnabled());
        QVERIFY(Action(log.pszStop)->isEnabled());
    }
}

void tst_AppWindow::logStatusWithoutStartOnlySetsActions_data()
{
    AddLogRows();
}

void tst_AppWindow::logStatusWithoutStartOnlySetsActions()
{
    QFETCH(int, log);
    const LogCase& c = kLogs[log];
    m_pWindow = NewConnectedWindow();
    m_service.Send(c.nCommand, BRFN::EncodeLogStatusReply(1, "/tmp/running.csv"));
    QTRY_VERIFY(!Action(c.pszStart)->isEnabled());
    QVERIFY(Action(c.pszStop)->isEnabled());
    m_service.Send(c.nCommand, BRFN::EncodeLogStatusReply(0, ""));
    QTRY_VERIFY(Action(c.pszStart)->isEnabled());
    QVERIFY(!Action(c.pszStop)->isEnabled());
    QTest::qWait(50);
    QVERIFY(m_pWindow->m_fileCaptions.isEmpty());
    // The other log's actions are untouched.
    const LogCase& other = kLogs[1 - log];
    QVERIFY(Action(other.pszStart)->isEnabled() && Action(other.pszStop)->isEnabled());
}

void tst_AppWindow::logStartAsksForFileAndStarts_data()
{
    AddLogRows();
}

void tst_AppWindow::logStartAsksForFileAndStarts()
{
    QFETCH(int, log);
    const LogCase& c = kLogs[log];
    m_pWindow = NewConnectedWindow();
    m_pWindow->m_strFileAnswer = "/home/user/logs/run 1.csv";
    m_service.ClearReceived();

    Action(c.pszStart)->trigger();
    QTRY_COMPARE(m_service.Received(c.nCommand, 0).size(), 1);
    QVERIFY(m_pWindow->m_fileCaptions.isEmpty()); // the reply opens the dialog
    m_service.Send(c.nCommand, BRFN::EncodeLogStatusReply(0, ""));
    QTRY_COMPARE(m_service.Received(c.nCommand, 1).size(), 1);
    QCOMPARE(m_pWindow->m_fileCaptions, QStringList({c.pszCaption}));
    QCOMPARE(m_pWindow->m_fileFilters, QStringList({c.pszFilter}));
    QCOMPARE(m_service.Received(c.nCommand, 1).at(0).payload, BRFN::EncodeLogStart("/home/user/logs/run 1.csv"));
    QTRY_COMPARE(m_service.Received(c.nCommand, 0).size(), 2); // status asked again after the start
    QVERIFY(Action(c.pszStart)->isEnabled());
    QVERIFY(!Action(c.pszStop)->isEnabled());

    QTest::ignoreMessage(QtDebugMsg, "File open success");
    m_service.Send(c.nCommand, BRFN::EncodeLogResultReply(1, 0));
    m_service.Send(c.nCommand, BRFN::EncodeLogStatusReply(1, "/home/user/logs/run 1.csv"));
    QTRY_VERIFY(Action(c.pszStop)->isEnabled());
    QVERIFY(!Action(c.pszStart)->isEnabled());
    QCOMPARE(m_pWindow->m_fileCaptions.size(), 1);

    // Stop: the request only; the actions wait for the reply.
    Action(c.pszStop)->trigger();
    QTRY_COMPARE(m_service.Received(c.nCommand, 2).size(), 1);
    QVERIFY(Action(c.pszStop)->isEnabled());
    m_service.Send(c.nCommand, BRFN::EncodeLogResultReply(2, 0));
    QTRY_VERIFY(Action(c.pszStart)->isEnabled());
    QVERIFY(!Action(c.pszStop)->isEnabled());
}

void tst_AppWindow::logStartCancelledSendsNothing_data()
{
    AddLogRows();
}

void tst_AppWindow::logStartCancelledSendsNothing()
{
    QFETCH(int, log);
    const LogCase& c = kLogs[log];
    m_pWindow = NewConnectedWindow();
    m_pWindow->m_strFileAnswer.clear(); // the user cancels
    m_service.ClearReceived();
    Action(c.pszStart)->trigger();
    QTRY_COMPARE(m_service.Received(c.nCommand, 0).size(), 1);
    m_service.Send(c.nCommand, BRFN::EncodeLogStatusReply(0, ""));
    QTRY_COMPARE(m_pWindow->m_fileCaptions.size(), 1);
    QTest::qWait(100);
    QCOMPARE(m_service.Received(c.nCommand, 1).size(), 0);
    QCOMPARE(m_service.Received(c.nCommand, 0).size(), 1);
    QVERIFY(Action(c.pszStart)->isEnabled());
    QVERIFY(!Action(c.pszStop)->isEnabled());
    // The pending mark is gone: a later status reply opens nothing.
    m_service.Send(c.nCommand, BRFN::EncodeLogStatusReply(0, ""));
    QTest::qWait(100);
    QCOMPARE(m_pWindow->m_fileCaptions.size(), 1);
}

void tst_AppWindow::logStartWhileRunningOpensNoDialog()
{
    m_pWindow = NewConnectedWindow();
    const LogCase& c = kLogs[0];
    m_pWindow->m_strFileAnswer = "/tmp/x.csv";
    Action(c.pszStart)->trigger();
    m_service.Send(c.nCommand, BRFN::EncodeLogStatusReply(1, "/tmp/already.csv"));
    QTRY_VERIFY(!Action(c.pszStart)->isEnabled());
    QTest::qWait(100);
    QVERIFY(m_pWindow->m_fileCaptions.isEmpty());
    QCOMPARE(m_service.Received(c.nCommand, 1).size(), 0);
}

void tst_AppWindow::logStopReplySetsIdleWhatever_data()
{
    AddLogRows();
}

void tst_AppWindow::logStopReplySetsIdleWhatever()
{
    QFETCH(int, log);
    const LogCase& c = kLogs[log];
    m_pWindow = NewConnectedWindow();
    m_service.Send(c.nCommand, BRFN::EncodeLogStatusReply(1, "/tmp/running.txt"));
    QTRY_VERIFY(!Action(c.pszStart)->isEnabled());
    QTest::ignoreMessage(QtDebugMsg, "File open fail code: 5");
    m_service.Send(c.nCommand, BRFN::EncodeLogResultReply(1, 5)); // start reply: only logged
    m_service.Send(c.nCommand, BRFN::EncodeLogResultReply(2, -3)); // stop failed, still idle
    QTRY_VERIFY(Action(c.pszStart)->isEnabled());
    QVERIFY(!Action(c.pszStop)->isEnabled());
}

// ---- NMEA page -------------------------------------------------------------------

void tst_AppWindow::SendNmea(const QByteArray& datagram)
{
    QUdpSocket sender;
    QCOMPARE(sender.writeDatagram(datagram, QHostAddress::LocalHost, CMainWindow::NMEA_PORT), qint64(datagram.size()));
}

void tst_AppWindow::nmeaDatagramsReachThePage_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("shown");
    QTest::newRow("CR LF becomes one line break")
        << QByteArray("$GPGGA,1*00\r\n") << QString("$GPGGA,1*00\n");
    QTest::newRow("every CR removed") << QByteArray("a\rb\r\r\nc\r") << QString("ab\nc");
    QTest::newRow("cut at zero byte") << QByteArray("$GPRMC,2\r\n\0$GPZDA,3\r\n", 22) << QString("$GPRMC,2\n");
    QTest::newRow("zero byte first shows nothing") << QByteArray("\0abc", 4) << QString();
    QTest::newRow("two sentences in one datagram")
        << QByteArray("$A*1\r\n$B*2\r\n") << QString("$A*1\n$B*2\n");
    QTest::newRow("no line end is continued") << QByteArray("$GPG") << QString("$GPG");
    QTest::newRow("utf-8") << QByteArray("\xc2\xb0\n") << QString::fromUtf8("\xc2\xb0\n");
}

void tst_AppWindow::nmeaDatagramsReachThePage()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, shown);
    m_pWindow = NewConnectedWindow();
    QVERIFY(Nmea()->toPlainText().isEmpty());
    SendNmea(datagram);
    SendNmea("END"); // a marker: once it is shown, the datagram before it has been handled
    QTRY_VERIFY(Nmea()->toPlainText().endsWith("END"));
    QCOMPARE(Nmea()->toPlainText(), shown + "END");
}

void tst_AppWindow::nmeaSeveralDatagramsInOrder()
{
    m_pWindow = NewConnectedWindow();
    // The user has put the cursor at the top: new text still goes to the end.
    SendNmea("first\n");
    QTRY_COMPARE(Nmea()->toPlainText(), QString("first\n"));
    QTextCursor cursor = Nmea()->textCursor();
    cursor.movePosition(QTextCursor::Start);
    Nmea()->setTextCursor(cursor);
    for (int i = 0; i < 20; ++i)
        SendNmea(QByteArray("$GPGSV,") + QByteArray::number(i) + "\r\n");
    QString expected = "first\n";
    for (int i = 0; i < 20; ++i)
        expected += QString("$GPGSV,%1\n").arg(i);
    QTRY_COMPARE(Nmea()->toPlainText(), expected);
}

void tst_AppWindow::nmeaPageKeepsLastThousandLines()
{
    m_pWindow = NewConnectedWindow();
    for (int i = 0; i < 1100; i += 50) {
        QByteArray datagram;
        for (int j = i; j < i + 50; ++j)
            datagram += "$L," + QByteArray::number(j) + "\r\n";
        SendNmea(datagram);
    }
    QTRY_VERIFY(Nmea()->toPlainText().endsWith("$L,1099\n"));
    QCOMPARE(Nmea()->document()->blockCount(), 1000);
    // The last (empty) line after the final line break counts as one of the 1000.
    QCOMPARE(Nmea()->document()->firstBlock().text(), QString("$L,101"));

    // A sender that never ends its lines still cannot fill memory: long text
    // is broken so that the line cap applies.
    const QByteArray chunk(4096, 'x');
    for (int i = 0; i < 3; ++i)
        SendNmea(chunk);
    QTRY_COMPARE(Nmea()->toPlainText().count('x'), 3 * 4096);
    QVERIFY(Nmea()->document()->lastBlock().length() - 1 <= 2 * 4096);
    QCOMPARE(Nmea()->document()->blockCount(), 1000);
}

void tst_AppWindow::nmeaSocketRecreatedOnReconnect()
{
    m_pWindow = NewConnectedWindow();
    QUdpSocket* pFirst = m_pWindow->findChild<QUdpSocket*>();
    QVERIFY(pFirst);
    QPointer<QUdpSocket> pOld(pFirst);
    SendNmea("one\n");
    QTRY_COMPARE(Nmea()->toPlainText(), QString("one\n"));

    m_service.DropConnection();
    QVERIFY(m_service.WaitForNewConnection());
    QTRY_VERIFY(pOld.isNull()); // replaced, not reused
    SendNmea("two\n");
    QTRY_COMPARE(Nmea()->toPlainText(), QString("one\ntwo\n"));
    QCOMPARE(m_pWindow->findChildren<QUdpSocket*>().size(), 1);
}

QTEST_MAIN(tst_AppWindow)
#include "tst_app_window.moc"

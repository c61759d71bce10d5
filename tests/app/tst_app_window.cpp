// The main window against a stand-in service on the loopback port and NMEA datagrams on the UDP port:
// the charts, logs, menus, NMEA page and GPS page.

#include "cazimuthelevationwnd.h"
#include "cpositionstatuswnd.h"
#include "csignalquality.h"
#include "cstripchartwidget.h"
#include "ctimestatuswidget.h"
#include "fakeservice.h"
#include "gpspixels.h"
#include "testwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QLayout>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>
#include <QUdpSocket>

#include <memory>

using Status = CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS;
using Chart = CStripChartWidget;

namespace {

// Fields in record order: time difference, estimated error, control value, fit slope and intercept,
// spread, samples, aux flag, second fit slope and intercept, second spread, second samples, loop state.
Status MakeStatus(double d)
{
    return Status{d + 0.001, d + 0.002, d + 3.0,  0.5,       d + 0.25, d + 0.004, 8,
                  0,         0.125,     d + 0.75, d + 0.005, 16,       6};
}

// Every point of a chart as "set:x,y,z", the sets in order.
QStringList Points(const Chart* pChart)
{
    QStringList points;
    for (int i = 0; i < Chart::NUM_DATA_SETS; ++i)
        for (const Chart::DATA_POINT& p : pChart->DataSet(i).arrayPoints)
            points << QString("%1:%2,%3,%4").arg(i).arg(p.dX).arg(p.dY, 0, 'g', 12).arg(p.dZ, 0, 'g', 12);
    return points;
}

} // namespace

class tst_AppWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(StartWindowTests(m_service)); }
    // A new window whose link is up and whose four start-up requests have arrived.
    void init()
    {
        QSettings("Brightfen", "TellurixPanel").clear();
        m_service.m_received.clear();
        m_pWindow = std::make_unique<TestWindow>();
        QVERIFY(m_service.WaitForNewConnection());
        QTRY_COMPARE(m_service.m_received.size(), 4);
    }
    void cleanup() { m_pWindow.reset(); }

    // Records, then the history asked for on every connection, reach the charts; the chart buttons.
    void chartsFollowTheService()
    {
        Find<QToolButton>("toolButtonScaleExtent")->click();
        Status first = MakeStatus(0.0);
        first.nSamples = -1; // the service counts in unsigned 32 bits: 4294967295
        SendStatus(first);
        SendStatus(MakeStatus(1.0));
        QTRY_COMPARE(Points(ControlChart()), QStringList({"0:0,3,0", "0:1,4,0"}));
        // Bands (sets 0, 1): half-height the spread, centre the fitted line at the sample count.
        QCOMPARE(Points(TimeDiffChart()),
                 QStringList({"0:0,0.004,2147483647.75", "0:1,1.004,5.25", "1:0,0.005,2.75", "1:1,1.005,3.75",
                              "2:0,0.001,0", "2:1,1.001,0", "3:0,0.002,0", "3:1,1.002,0"}));
        // Extent scaling fits the x range to the points: it starts at the first.
        QCOMPARE(QList<double>({TimeDiffChart()->XMin(), ControlChart()->XMin()}), QList<double>({0, 0}));
        // The history continues at the next x, a live record after it.
        CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY history;
        history.nCount = 10;
        for (int i = 0; i < 10; ++i)
            history.aEntries[i] = MakeStatus(10.0 * i);
        m_service.Send(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, BRFN::EncodeHistory(history));
        SendStatus(MakeStatus(500.0));
        QTRY_COMPARE(Points(ControlChart()).mid(10), QStringList({"0:10,83,0", "0:11,93,0", "0:12,503,0"}));

        // Erase: the service's history, the points and the count go.
        Find<QToolButton>("toolButtonEraseHisory")->click();
        ExpectSent(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, 1, {BRFN::EncodeSubCommand(1)});
        SendStatus(MakeStatus(7.0));
        QTRY_COMPARE(Points(ControlChart()), QStringList({"0:0,10,0"}));
        QCOMPARE(Points(TimeDiffChart()).size(), 4);
        Find<QToolButton>("toolButtonScaleWindow")->click();
        QCOMPARE(QList<int>({TimeDiffChart()->ScaleMode(), ControlChart()->ScaleMode()}),
                 QList<int>({Chart::SCALE_WINDOW, Chart::SCALE_WINDOW}));
    }

    void checkBoxesReachTheDisplays()
    {
        auto* pStdDev = Find<QCheckBox>("checkBoxShowStdDev");
        QTest::mouseClick(pStdDev, Qt::LeftButton);
        QVERIFY(pStdDev->isChecked() && !TimeDiffChart()->DataSet(1).bHidden);
        QTest::mouseClick(pStdDev, Qt::LeftButton);
        QVERIFY(TimeDiffChart()->DataSet(1).bHidden);

        auto* pClock = m_pWindow->findChild<CTimeStatusWidget*>();
        QVERIFY(pClock->m_bShowLocalTime);
        QTest::mouseClick(Find<QCheckBox>("checkBoxLocalTime"), Qt::LeftButton);
        QVERIFY(!pClock->m_bShowLocalTime);
    }

    void enableControlLoopFollowsService()
    {
        QAction* pEnable = Action("action_Enable_Control_Loop");
        const CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS params;
        m_service.Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeLoopParameters(0, params, 1));
        QTRY_VERIFY(pEnable->isChecked());
        pEnable->trigger(); // off
        pEnable->trigger(); // on again
        ExpectSent(BRFN::CMD_LOOP_PARAMETERS, 2, {QByteArray::fromHex("0200"), QByteArray::fromHex("0201")});
        // The service's next reply sets the mark whatever the user did.
        m_service.Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeLoopParameters(0, params, 0));
        QTRY_VERIFY(!pEnable->isChecked());
        QCOMPARE(m_pWindow->m_nLoopDialogs, 0); // replies nobody asked for open nothing
    }

    // The action only asks the service; its reply opens the dialog, and the
    // number after the "M" of the port chosen is sent.
    void commPortDialogSendsParsedPort()
    {
        const QList<QPair<QString, int>> answers = {{"COM12", 12}, {"/dev/ttyUSB0", -1}};
        for (const auto& answer : answers) {
            m_pWindow->m_strPortAnswer = answer.first;
            m_service.m_received.clear();
            Action("action_SetupGPSCommunications")->trigger();
            QTRY_COMPARE(m_service.Received(BRFN::CMD_COMM_PORT, 0).size(), 1);
            m_service.Send(BRFN::CMD_COMM_PORT, BRFN::EncodeCommPort(0, 3, 4800));
            QTRY_COMPARE(m_pWindow->m_strShown, QString("COM3 4800"));
            m_pWindow->m_strShown.clear();
            const QByteArray sent = BRFN::EncodeCommPort(1, answer.second, 9600);
            ExpectSent(BRFN::CMD_COMM_PORT, 1, answer.second < 0 ? QByteArrayList() : QByteArrayList({sent}));
        }
    }

    // The actions form no action group: the window keeps one mark in each menu,
    // also when the marked one is chosen again.
    void navMenusAreExclusive()
    {
        for (const char* psz : {"actionPosFormatDD_DDDD", "action_Metric_Units", "actionPosFormatDD_DDDD"})
            Action(psz)->trigger();
        QStringList marked;
        for (QAction* pAction : m_pWindow->findChildren<QAction*>(QRegularExpression("PosFormat|_Units$")))
            if (pAction->isChecked())
                marked << pAction->objectName();
        QCOMPARE(marked, QStringList({"actionPosFormatDD_DDDD", "action_Metric_Units"}));
    }

    // Typing "debug" uncovers the loop-parameters action; a wrong key starts the sequence
    // over (and is not itself taken as its first key); Shift presses do not count.
    void debugSequence()
    {
        QAction* pParameters = Action("actionSet_Control_Loop_Parameters");
        TypeKeys("debxug");
        QVERIFY(!pParameters->isVisible());
        TypeKeys("dd^d^e^b^u^g");
        QVERIFY(pParameters->isVisible());
    }

    void logFollowsService_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("log"); // in the names of its actions
        QTest::addColumn<QString>("other");
        const char *pszLoop = "Control_Loop_Log", *pszGps = "GPS_Data_Log";
        QTest::newRow("control loop") << int(BRFN::CMD_CONTROL_LOOP_STATUS_LOG) << pszLoop << pszGps;
        QTest::newRow("GPS data") << int(BRFN::CMD_RECORD_GPS_DATA) << pszGps << pszLoop;
    }

    // Start asks for the log's status; a reply that no file is open then asks
    // for a file name, sends it and asks again. Stop waits for its reply.
    void logFollowsService()
    {
        QFETCH(int, command);
        QFETCH(QString, log);
        QFETCH(QString, other);
        QAction* pStart = Action("actionStart_" + log);
        QAction* pStop = Action("actionStop_" + log);
        pStart->trigger();
        SendLogStatus(command, 1); // already logging: no file dialog
        QTRY_VERIFY(!pStart->isEnabled() && pStop->isEnabled());
        SendLogStatus(command, 0); // the start was forgotten with the last reply
        QTRY_VERIFY(pStart->isEnabled() && !pStop->isEnabled());

        pStart->trigger();
        SendLogStatus(command, 0);
        QTRY_COMPARE(m_pWindow->m_nFileDialogs, 1); // cancelled
        m_pWindow->m_strFileAnswer = "/home/user/logs/run 1.csv";
        pStart->trigger();
        SendLogStatus(command, 0);
        ExpectSent(command, 1, {BRFN::EncodeLogStart(m_pWindow->m_strFileAnswer)});
        QCOMPARE(m_pWindow->m_nFileDialogs, 2);
        QCOMPARE(m_service.Received(command, 0).size(), 5); // start-up, three starts, after the name

        SendLogStatus(command, 1);
        QTRY_VERIFY(!pStart->isEnabled());
        pStop->trigger();
        ExpectSent(command, 2, {BRFN::EncodeSubCommand(2)});
        QVERIFY(pStop->isEnabled()); // until the reply, which idles the actions whatever it says
        m_service.Send(command, BRFN::EncodeLogResultReply(2, -3));
        QTRY_VERIFY(pStart->isEnabled() && !pStop->isEnabled());
        QVERIFY(Action("actionStart_" + other)->isEnabled() && Action("actionStop_" + other)->isEnabled());
    }

    // CRs go wherever they stand, a zero byte ends its datagram, a line may
    // span datagrams, the text is UTF-8, and new text lands at the end even
    // where the user has put the cursor at the top.
    void nmeaDatagramsReachThePage()
    {
        ShowPage(3);
        SendNmea("first\n");
        QTRY_COMPARE(Nmea()->toPlainText(), QString("first\n"));
        QTextCursor cursor = Nmea()->textCursor();
        cursor.movePosition(QTextCursor::Start);
        Nmea()->setTextCursor(cursor);
        const QByteArrayList datagrams = {"a\rb\r\r\nc\r", QByteArray("$GPRMC,2\r\n\0$GPZDA,3\r\n", 22), "$C",
                                          "*3 \xc2\xb0\n"};
        for (const QByteArray& datagram : datagrams)
            SendNmea(datagram);
        QTRY_COMPARE(Nmea()->toPlainText(), QString::fromUtf8("first\nab\nc$GPRMC,2\n$C*3 \xc2\xb0\n"));
    }

    // While the page is hidden its text waits, without layout, and arrives in
    // one piece when the page is shown, as if it had been shown all along: the
    // last 1000 lines, a line without end broken where the page breaks it.
    void nmeaTextWaitsWhileThePageIsHidden()
    {
        ShowPage(3);
        m_pWindow->hide();
        for (int i = 0; i < 2200; i += 50) {
            QByteArray datagram;
            for (int j = i; j < i + 50; ++j)
                datagram += "$L," + QByteArray::number(j) + "\r\n";
            SendNmea(datagram);
        }
        for (const char c : {'A', 'B'})
            SendNmea(QByteArray(3000, c));
        SendNmea("CC");
        Settle();
        QCOMPARE(Nmea()->document()->blockCount(), 1);
        m_pWindow->show(); // the last 1000 lines: from $L,1202 to CC
        QCOMPARE(Nmea()->document()->firstBlock().text(), QString("$L,1202"));
        QCOMPARE(Nmea()->document()->lastBlock().previous().text(), QString(3000, 'A') + QString(3000, 'B'));
        QCOMPARE(Nmea()->document()->lastBlock().text(), QString("CC"));
        // On a full page, a view scrolled up keeps its top line while lines drop off the start.
        QScrollBar* pScroll = Nmea()->verticalScrollBar();
        QTRY_VERIFY(pScroll->maximum() > 500);
        pScroll->setValue(pScroll->maximum() / 2);
        const QString strTop = Nmea()->cursorForPosition(QPoint(1, 1)).block().text();
        SendNmea("$M,1\n$M,2\n$M,3\n");
        QTRY_COMPARE(Nmea()->document()->lastBlock().previous().text(), QString("$M,3"));
        QCOMPARE(Nmea()->document()->firstBlock().text(), QString("$L,1205"));
        QCOMPARE(Nmea()->cursorForPosition(QPoint(1, 1)).block().text(), strTop);
    }

    // A GPS record reaches the sky plot, the signal bars and the position panel.
    void gpsRecordReachesTheDisplays()
    {
        ShowPage(1);
        CBRFNProtocolQt::CMD_DATA_GPS_STATUS gps;
        gps.nSatsInView = 1;
        gps.nGPSTime = 1700000000;
        gps.nGPSTimeFlag = 1;
        gps.aSats[0] = {2, 12, 90, 45, 55, true}; // state, PRN, azimuth, elevation, SNR, used
        m_service.Send(BRFN::CMD_GPS_STATUS, BRFN::EncodeGPSStatus(gps));
        // Sky plot: a used marker east on the 45° ring.
        CAzimuthElevationWnd* pSky = m_pWindow->findChild<CAzimuthElevationWnd*>();
        const QRectF square = GpsGeometry::SkySquare(pSky->size());
        const QPoint east = GpsGeometry::SkyProjection(90, 45, square.center(), square.width());
        QTRY_VERIFY(GpsPixels::MarkerPanel(GpsPixels::Render(*pSky), east, square.width()).green() < 80);
        // Signal bars: one slot across the width, full height, red for state 2.
        const QImage bars = GpsPixels::Render(*m_pWindow->findChild<CSignalQuality*>());
        QCOMPARE(bars.pixelColor(5, 2), QColor(192, 0, 0));
        QCOMPARE(bars.pixelColor(bars.width() - 5, 2), QColor(192, 0, 0));
        // Position panel: a valid 2023 time in the palette's colours.
        QCOMPARE(GpsPixels::BoxFill(GpsPixels::Render(*m_pWindow->findChild<CPositionStatusWnd*>()), 6),
                 QPalette().color(QPalette::Button));
    }

    // Each notation and unit redraws the position panel on screen at once.
    void positionChoiceRedrawsThePanel()
    {
        ShowPage(1);
        QWidget* pPanel = m_pWindow->findChild<CPositionStatusWnd*>();
        auto onScreen = [&] {
            return QGuiApplication::primaryScreen()
                ->grabWindow(m_pWindow->winId())
                .toImage()
                .copy(QRect(pPanel->mapTo(m_pWindow.get(), QPoint()), pPanel->size()));
        };
        for (const char* psz : {"actionPosFormatDD_MM_SS_SSS", "actionPosFormatDD_DDDD",
                                "actionPosFormatDD_MM_MMMM", "action_Metric_Units", "action_English_Units"}) {
            Settle();
            const QImage before = onScreen();
            Action(psz)->trigger();
            QTRY_VERIFY2(onScreen() != before, psz);
        }
    }

private:
    template <typename T> T* Find(const char* pszName) const { return m_pWindow->findChild<T*>(pszName); }
    QAction* Action(const QString& strName) const { return m_pWindow->findChild<QAction*>(strName); }
    Chart* TimeDiffChart() const { return Find<QWidget>("widgetTimeDiff")->findChild<Chart*>(); }
    Chart* ControlChart() const { return Find<QWidget>("widgetControlValue")->findChild<Chart*>(); }
    // Pages are checked as the user sees them: current and shown.
    void ShowPage(int nPage)
    {
        m_pWindow->resize(1000, 700);
        Find<QTabWidget>("tabWidget")->setCurrentIndex(nPage);
        m_pWindow->layout()->activate(); // size limits settled before showing, or offscreen warns
        m_pWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    }
    QPlainTextEdit* Nmea() const { return Find<QPlainTextEdit>("editNmea"); }
    // Waits for exactly these packets of the command and sub-command, and no more.
    void ExpectSent(quint16 nCommand, int nSubCmd, const QList<QByteArray>& payloads)
    {
        QTRY_COMPARE(m_service.Received(nCommand, nSubCmd), payloads);
        Settle();
        QCOMPARE(m_service.Received(nCommand, nSubCmd), payloads);
    }
    void TypeKeys(const QString& strKeys) // '^' stands for a press of Shift alone
    {
        for (QChar c : strKeys)
            QTest::keyClick(m_pWindow.get(), c == '^' ? Qt::Key_Shift : Qt::Key(c.toUpper().unicode()));
    }
    void SendStatus(const Status& s)
    {
        m_service.Send(BRFN::CMD_CONTROL_LOOP_STATUS, BRFN::EncodeControlLoopStatus(s));
    }
    void SendLogStatus(quint16 nCommand, int nFileStatus)
    {
        m_service.Send(nCommand, BRFN::EncodeLogStatusReply(uint8_t(nFileStatus), "/tmp/run"));
    }
    void SendNmea(const QByteArray& datagram)
    {
        QUdpSocket sender;
        QCOMPARE(sender.writeDatagram(datagram, QHostAddress::LocalHost, CMainWindow::NMEA_PORT),
                 qint64(datagram.size()));
    }
    static void Settle() { QTest::qWait(100); } // before checking that nothing (more) happened

    FakeService m_service;
    std::unique_ptr<TestWindow> m_pWindow;
};

QTEST_MAIN(tst_AppWindow)
#include "tst_app_window.moc"

// The main window against a stand-in service on the loopback port and NMEA datagrams on the UDP port:
// the charts, logs, menus, NMEA page, GPS page, the state shown when the link drops, the epochs, what a
// screen reader hears and where Tab goes.

#include "cpositionstatuswnd.h"
#include "cstabilitywindow.h"
#include "cstripchartwidget.h"
#include "csystemstatswidget.h"
#include "csystemstatuswidget.h"
#include "ctimediffoffsetdlg.h"
#include "ctimestatuswidget.h"
#include "servicepeer.h"
#include "testwindow.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
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
    void initTestCase()
    {
        QVERIFY(StartWindowTests(m_service));
        AllowOffscreenWindowWarnings(); // from the log's file prompt and showing windows
        QAccessible::setActive(true);   // as when a screen reader listens
        // Another program listening to the same sentences, bound first: the panel shares the port with it.
        QVERIFY(m_otherListener.bind(QHostAddress::Any, CMainWindow::NMEA_PORT, QUdpSocket::ShareAddress));
    }
    // A new window whose link is up and whose four start-up requests have arrived.
    void init()
    {
        QSettings("Brightfen", "TellurixPanel").clear();
        m_service.ClearIncoming();
        m_pWindow = std::make_unique<TestWindow>();
        m_dialogs.m_opened.clear();
        QVERIFY(m_service.WaitForNewConnection());
        QTRY_COMPARE(m_service.Incoming().size(), 4);
    }
    void cleanup() { m_pWindow.reset(); }

    // Records, then the history asked for on every connection, reach the charts; the chart buttons.
    void chartsFollowTheService()
    {
        m_pWindow->Find<QToolButton>("toolButtonScaleExtent")->click();
        Status first = MakeStatus(0.0);
        first.nSamples = -1; // the service counts in unsigned 32 bits: 4294967295
        SendStatus(first);
        SendStatus(MakeStatus(1.0));
        QTRY_COMPARE(Points(m_pWindow->ControlChart()), QStringList({"0:0,3,0", "0:1,4,0"}));
        // Bands (sets 0, 1): half-height the spread, centre the fitted line at the sample count.
        QCOMPARE(Points(m_pWindow->TimeDiffChart()),
                 QStringList({"0:0,0.004,2147483647.75", "0:1,1.004,5.25", "1:0,0.005,2.75", "1:1,1.005,3.75",
                              "2:0,0.001,0", "2:1,1.001,0", "3:0,0.002,0", "3:1,1.002,0"}));
        // Extent scaling fits the x range to the points: it starts at the first.
        QCOMPARE(XRanges(), QList<double>({0, 1, 0, 1}));
        // The history continues at the next x, a live record after it.
        CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY history;
        history.nCount = 10;
        for (int i = 0; i < 10; ++i)
            history.aEntries[i] = MakeStatus(10.0 * i);
        m_service.Send(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, BRFN::EncodeHistory(history));
        SendStatus(MakeStatus(500.0));
        QTRY_COMPARE(Points(m_pWindow->ControlChart()).mid(10),
                     QStringList({"0:10,83,0", "0:11,93,0", "0:12,503,0"}));

        // Erase: the service's history, the points and the count go; the x ranges start again at 0..300.
        m_pWindow->Find<QToolButton>("toolButtonEraseHisory")->click();
        QCOMPARE(XRanges(), QList<double>({0, 300, 0, 300}));
        ExpectSent(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, 1, {BRFN::EncodeSubCommand(1)});
        SendStatus(MakeStatus(7.0));
        QTRY_COMPARE(Points(m_pWindow->ControlChart()), QStringList({"0:0,10,0"}));
        QCOMPARE(Points(m_pWindow->TimeDiffChart()).size(), 4);
        m_pWindow->Find<QToolButton>("toolButtonScaleWindow")->click();
        QCOMPARE(
            QList<int>({m_pWindow->TimeDiffChart()->ScaleMode(), m_pWindow->ControlChart()->ScaleMode()}),
            QList<int>({Chart::SCALE_WINDOW, Chart::SCALE_WINDOW}));
    }

    void checkBoxesReachTheDisplays()
    {
        auto* pStdDev = m_pWindow->Find<QCheckBox>("checkBoxShowStdDev");
        QTest::mouseClick(pStdDev, Qt::LeftButton);
        QVERIFY(pStdDev->isChecked() && !m_pWindow->TimeDiffChart()->DataSet(1).bHidden);
        QTest::mouseClick(pStdDev, Qt::LeftButton);
        QVERIFY(m_pWindow->TimeDiffChart()->DataSet(1).bHidden);

        auto* pClock = m_pWindow->findChild<CTimeStatusWidget*>();
        QVERIFY(pClock->m_bShowLocalTime);
        QTest::mouseClick(m_pWindow->Find<QCheckBox>("checkBoxLocalTime"), Qt::LeftButton);
        QVERIFY(!pClock->m_bShowLocalTime);
    }

    void enableControlLoopFollowsService()
    {
        QAction* pEnable = m_pWindow->Action("action_Enable_Control_Loop");
        const CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS params;
        m_service.Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeLoopParameters(0, params, 1));
        QTRY_VERIFY(pEnable->isChecked());
        pEnable->trigger(); // off
        pEnable->trigger(); // on again
        ExpectSent(BRFN::CMD_LOOP_PARAMETERS, 2, {QByteArray::fromHex("0200"), QByteArray::fromHex("0201")});
        // The service's next reply sets the mark whatever the user did.
        m_service.Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeLoopParameters(0, params, 0));
        QTRY_VERIFY(!pEnable->isChecked());
        QCOMPARE(m_dialogs.m_opened, QStringList()); // replies nobody asked for open nothing
    }

    // The actions form no action group: the window keeps one mark in each menu,
    // also when the marked one is chosen again.
    void navMenusAreExclusive()
    {
        for (const char* psz : {"actionPosFormatDD_DDDD", "action_Metric_Units", "actionPosFormatDD_DDDD"})
            m_pWindow->Action(psz)->trigger();
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
        QAction* pParameters = m_pWindow->Action("actionSet_Control_Loop_Parameters");
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
        QAction* pStart = m_pWindow->Action("actionStart_" + log);
        QAction* pStop = m_pWindow->Action("actionStop_" + log);
        pStart->trigger();
        SendLogStatus(command, 1); // already logging: no file prompt
        QTRY_VERIFY(!pStart->isEnabled() && pStop->isEnabled());
        SendLogStatus(command, 0); // the start was forgotten with the last reply
        QTRY_VERIFY(pStart->isEnabled() && !pStop->isEnabled());
        Settle();
        QCOMPARE(m_dialogs.m_opened, QStringList());

        const QString strName = m_tmp.filePath("run1.csv");
        m_dialogs.m_scripts = QStringList({"Escape", "=" + strName + " Return"});
        pStart->trigger();
        SendLogStatus(command, 0);
        QTRY_COMPARE(m_dialogs.m_opened.size(), 1); // cancelled
        pStart->trigger();
        SendLogStatus(command, 0);
        ExpectSent(command, 1, {BRFN::EncodeLogStart(strName)});
        QCOMPARE(m_dialogs.m_opened, QStringList({"QFileDialog", "QFileDialog"}));
        QCOMPARE(m_service.Incoming(command, 0).size(), 5); // start-up, three starts, after the name

        SendLogStatus(command, 1);
        QTRY_VERIFY(!pStart->isEnabled());
        pStop->trigger();
        ExpectSent(command, 2, {BRFN::EncodeSubCommand(2)});
        QVERIFY(pStop->isEnabled()); // until the reply, which idles the actions whatever it says
        m_service.Send(command, BRFN::EncodeLogResultReply(2, -3));
        QTRY_VERIFY(pStart->isEnabled() && !pStop->isEnabled());
        QVERIFY(m_pWindow->Action("actionStart_" + other)->isEnabled() &&
                m_pWindow->Action("actionStop_" + other)->isEnabled());
    }

    // CRs go wherever they stand, a zero byte ends its datagram, a line may
    // span datagrams, the text is UTF-8, and new text lands at the end even
    // where the user has put the cursor at the top.
    void nmeaDatagramsReachThePage()
    {
        m_pWindow->ShowPage(TestWindow::NMEA_PAGE);
        SendNmea("first\n");
        QTRY_COMPARE(m_pWindow->Nmea()->toPlainText(), QString("first\n"));
        QTextCursor cursor = m_pWindow->Nmea()->textCursor();
        cursor.movePosition(QTextCursor::Start);
        m_pWindow->Nmea()->setTextCursor(cursor);
        const QByteArrayList datagrams = {"a\rb\r\r\nc\r", QByteArray("$GPRMC,2\r\n\0$GPZDA,3\r\n", 22), "$C",
                                          "*3 \xc2\xb0\n"};
        for (const QByteArray& datagram : datagrams)
            SendNmea(datagram);
        QTRY_COMPARE(m_pWindow->Nmea()->toPlainText(),
                     QString::fromUtf8("first\nab\nc$GPRMC,2\n$C*3 \xc2\xb0\n"));
    }

    // The NMEA text's menu keeps Qt's own entries and adds Save As…, which writes the text as shown.
    void nmeaSaveAs()
    {
        m_pWindow->ShowPage(TestWindow::NMEA_PAGE);
        SendNmea("$GPGGA,1\r\n$GPRMC,2\r\n$GPZDA");
        QTRY_COMPARE(m_pWindow->Nmea()->toPlainText(), QString("$GPGGA,1\n$GPRMC,2\n$GPZDA"));
        QTemporaryDir dir;
        m_dialogs.m_scripts = QStringList{"=" + dir.filePath("gps.nmea") + " Return"};
        const QStringList entries = ContextMenu(m_pWindow->Nmea()->viewport(), "Save As…", QPoint(5, 5));
        QVERIFY2(entries.filter(QRegularExpression("^(\\(disabled\\) &Copy|Select All)\t")).size() == 2 &&
                     entries.mid(entries.size() - 2) == QStringList({"-", "Save As…"}),
                 qPrintable(entries.join('|')));
        QFile file(dir.filePath("gps.nmea"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "$GPGGA,1\n$GPRMC,2\n$GPZDA\n");
    }

    // While the page is hidden its text waits, without layout, and arrives in
    // one piece when the page is shown, as if it had been shown all along: the
    // last 1000 lines, a line without end broken where the page breaks it.
    void nmeaTextWaitsWhileThePageIsHidden()
    {
        m_pWindow->ShowPage(TestWindow::NMEA_PAGE);
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
        QCOMPARE(m_pWindow->Nmea()->document()->blockCount(), 1);
        m_pWindow->show(); // the last 1000 lines: from $L,1202 to CC
        QCOMPARE(m_pWindow->Nmea()->document()->firstBlock().text(), QString("$L,1202"));
        QCOMPARE(m_pWindow->Nmea()->document()->lastBlock().previous().text(),
                 QString(3000, 'A') + QString(3000, 'B'));
        QCOMPARE(m_pWindow->Nmea()->document()->lastBlock().text(), QString("CC"));
        // On a full page, a view scrolled up keeps its top line while lines drop off the start, and
        // selects nothing of what arrives.
        QScrollBar* pScroll = m_pWindow->Nmea()->verticalScrollBar();
        QTRY_VERIFY(pScroll->maximum() > 500);
        pScroll->setValue(pScroll->maximum() / 2);
        const QString strTop = m_pWindow->Nmea()->cursorForPosition(QPoint(1, 1)).block().text();
        SendNmea("$M,1\n$M,2\n$M,3\n");
        QTRY_COMPARE(m_pWindow->Nmea()->document()->lastBlock().previous().text(), QString("$M,3"));
        QCOMPARE(m_pWindow->Nmea()->document()->firstBlock().text(), QString("$L,1205"));
        QCOMPARE(m_pWindow->Nmea()->cursorForPosition(QPoint(1, 1)).block().text(), strTop);
        QVERIFY(!m_pWindow->Nmea()->textCursor().hasSelection()); // the new lines are not selected
    }

    // Each notation and unit redraws the position panel on screen at once.
    void positionChoiceRedrawsThePanel()
    {
        m_pWindow->ShowPage(TestWindow::GPS_PAGE);
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
            m_pWindow->Action(psz)->trigger();
            QTRY_VERIFY2(onScreen() != before, psz);
        }
    }

    // The older of two records is drawn at the next paint, which nothing else asks for.
    void liveRecordRepaintsTheChart()
    {
        m_pWindow->ShowPage(TestWindow::LOOP_PAGE);
        Settle(); // the paints that showing asks for are done
        SendStatus(Status{0.5});
        SendStatus(Status{0.5});
        QTRY_COMPARE(m_pWindow->TimeDiffChart()->VisibleYMax(), 0.5);
    }

    // When the link drops, the displays take the all-zero record under "No Service" instead of
    // keeping the last values (they read as the panel paints them).
    void linkLossEmptiesTheDisplays()
    {
        auto shown = [this] {
            return m_pWindow->findChild<CSystemStatusWidget*>()->accessibleDescription() + " | " +
                   m_pWindow->findChild<CSystemStatsWidget*>()->accessibleDescription().section('\n', 0, 1);
        };
        SendStatus(Status{0.25, 0.0012, -3.5, 0, 0, 0.0005, 7, 0, 0, 0, 0, 0, 6});
        QTRY_COMPARE(shown(), QString::fromUtf8("Locked. Estimated Time Error: 1.200 Milliseconds | "
                                                "1σ = 0.500 ms \nSamples: 7"));
        m_service.Peer()->abort();
        QTRY_COMPARE(shown(), QString::fromUtf8("No Service. Estimated Time Error: Not Available | "
                                                "1σ = 0.000 ms \nSamples: 0"));
        QVERIFY(m_service.WaitForNewConnection()); // the panel's next attempt, taken here
    }

    // Tools > Stability Analysis reads the run of live time differences: the history sent on
    // connecting has no arrival times and stays out, and a lost link ends the run.
    void stabilityRunFollowsTheLink()
    {
        SendStatus(MakeStatus(1.0));
        CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY history; // a late reply
        history.nCount = 10;
        m_service.Send(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, BRFN::EncodeHistory(history));
        QTRY_COMPARE(Points(m_pWindow->ControlChart()).size(), 11);
        m_pWindow->Action("actionStability_Analysis")->trigger();
        auto* pStability = m_pWindow->findChild<CStabilityWindow*>();
        QVERIFY(pStability && pStability->isVisible());
        const auto points = [pStability] { // the status line starts "N points"
            return pStability->findChild<QLabel*>("labelStatus")->text().section(' ', 0, 0).toInt();
        };
        QCOMPARE(points(), 1);
        m_service.Peer()->abort();
        QVERIFY(m_service.WaitForNewConnection());
        SendStatus(MakeStatus(2.0));
        SendStatus(MakeStatus(3.0));
        QTRY_COMPARE(Points(m_pWindow->ControlChart()).size(), 13);
        pStability->findChild<QComboBox*>("comboKind")->setCurrentIndex(1); // looks again
        QTRY_COMPARE(points(), 2);
    }

    // Epochs come once per second of the clock, however often the timer ticks; the update check
    // starts with the first, then with every 86400th, but never within a day of the last check.
    void epochsAndUpdateChecks()
    {
        const qint64 t0 = QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
        int nLastSecond = -1, nEpochs = 0;
        qint64 tNextCheck = 0;
        QList<qint64> checks;         // seconds after t0
        auto tickAt = [&](qint64 t) { // one timer tick; 1 if it was an epoch
            if (!CMainWindow::IsNewEpoch(nLastSecond, QDateTime::fromSecsSinceEpoch(t0 + t, Qt::UTC)))
                return 0;
            if (CMainWindow::IsUpdateCheckDue(nEpochs, tNextCheck, t0 + t))
                checks << t;
            return 1;
        };
        // Epoch 86400 is due for a check, but falls exactly one day after the first check: none
        // starts. The count then allows the next try only at epoch 172800.
        for (qint64 t = 0; t <= 172800; ++t)
            tickAt(t);
        QCOMPARE(checks, QList<qint64>({0, 172800}));
        QCOMPARE(QList<int>({tickAt(172800), tickAt(172801), tickAt(172801)}), QList<int>({0, 1, 0}));
    }

    // Records reach the displays, as a screen reader hears them: exactly one widget of the accessible
    // name, whose description says what the display shows (the state and statistics panels:
    // linkLossEmptiesTheDisplays; where the displays draw it: tests/gps).
    void describes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("heard");
        const char* aHeard[][2] = {{"Signal levels", "PRN 12: SNR 40, used"},
                                   {"Sky plot", "PRN 12: azimuth 120°, elevation 45°, used"},
                                   {"Position", "Satellites Tracked: 1\nSatellites In View: 1"},
                                   {"Time Difference", "Newest values: 0.0005, 0.25, 0.0012"},
                                   {"Statistics", "Using time from: GGA & RMC"}};
        for (const auto& row : aHeard)
            QTest::newRow(row[0]) << row[0] << QString::fromUtf8(row[1]);
        QTest::newRow("Clock") << "Clock" << QDate::currentDate().toString(" yyyy, ") + "local time";
    }
    void describes()
    {
        QFETCH(QString, name);
        QFETCH(QString, heard);
        CBRFNProtocolQt::CMD_DATA_GPS_STATUS gps;
        gps.nSatsTracked = gps.nSatsInView = 1;
        gps.aSats[0] = {1, 12, 120, 45, 40, true};
        m_service.Send(BRFN::CMD_GPS_STATUS, BRFN::EncodeGPSStatus(gps));
        SendStatus(Status{0.25, 0.0012, -3.5, 0, 0, 0.0005, 7, 0, 0, 0, 0, 0, 6});
        auto described = [&] {
            QStringList texts;
            for (QWidget* pWidget : m_pWindow->findChildren<QWidget*>())
                if (pWidget->accessibleName() == name)
                    texts << pWidget->accessibleDescription();
            return texts;
        };
        QTRY_VERIFY2(described().size() == 1 && described()[0].contains(heard),
                     qPrintable(described().join('|')));
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
    QList<double> XRanges() const
    {
        const Chart *pTimeDiff = m_pWindow->TimeDiffChart(), *pControl = m_pWindow->ControlChart();
        return {pTimeDiff->XMin(), pTimeDiff->XMax(), pControl->XMin(), pControl->XMax()};
    }
    // Waits for exactly these packets of the command and sub-command, and no more.
    void ExpectSent(quint16 nCommand, int nSubCmd, const QList<QByteArray>& payloads)
    {
        QTRY_COMPARE(m_service.Incoming(nCommand, nSubCmd), payloads);
        Settle();
        QCOMPARE(m_service.Incoming(nCommand, nSubCmd), payloads);
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

    ServicePeer m_service;
    QUdpSocket m_otherListener;
    DialogDriver m_dialogs;
    QTemporaryDir m_tmp;
    std::unique_ptr<TestWindow> m_pWindow;
};

QTEST_MAIN(tst_AppWindow)
#include "tst_app_window.moc"

// The main window against a stand-in service on the real loopback port and
// NMEA datagrams on the real UDP port.

#include "cstripchartwidget.h"
#include "ctimestatuswidget.h"
#include "fakeservice.h"
#include "testwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>
#include <QUdpSocket>

#include <memory>

using Status = CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS;
using Chart = CStripChartWidget;
#define STATUS_SIGNAL SIGNAL(SignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS))

namespace {

// Fields in record order: time difference, estimated error, control value, fit slope and intercept,
// spread, samples, aux flag, second fit slope and intercept, second spread, second samples, loop state.
Status MakeStatus(double d)
{
    return Status{d + 0.001, d + 0.002, d + 3.0,  0.5,       d + 0.25, d + 0.004, 8,
                  0,         0.125,     d + 0.75, d + 0.005, 16,       6};
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

// Ranges, scale mode and number of points of a chart.
QString State(const Chart* pChart)
{
    int nPoints = 0;
    for (int i = 0; i < Chart::NUM_DATA_SETS; ++i)
        nPoints += pChart->DataSet(i).arrayPoints.size();
    return QString::asprintf("x %g..%g y %g..%g mode %d points %d", pChart->XMin(), pChart->XMax(),
                             pChart->YMin(), pChart->YMax(), pChart->ScaleMode(), nPoints);
}

// The two logs differ only in command, actions and file dialog texts.
struct LogCase
{
    quint16 nCommand;
    const char* pszStart;
    const char* pszStop;
    const char* pszDialog; // "caption|filter"
};
const LogCase kLogs[2] = {
    {BRFN::CMD_CONTROL_LOOP_STATUS_LOG, "actionStart_Control_Loop_Log", "actionStop_Control_Loop_Log",
     "Save Control Loop Status Log|Protocol File (*.csv)"},
    {BRFN::CMD_RECORD_GPS_DATA, "actionStart_GPS_Data_Log", "actionStop_GPS_Data_Log",
     "Save GPS Data|Protocol File (*.txt)"},
};

// The position-format and unit actions, and their short codes in the tests.
const QStringList kNavActions = {"actionPosFormatDD_MM_MMMM", "actionPosFormatDD_MM_SS_SSS",
                                 "actionPosFormatDD_DDDD", "action_English_Units", "action_Metric_Units"};
const QStringList kNavCodes = {"0", "1", "2", "ft", "m"};

} // namespace

class tst_AppWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(StartWindowTests(m_service));
    }
    void init() { QSettings("Brightfen", "TellurixPanel").clear(); }
    void cleanup() { m_pWindow.reset(); }

    void statusReachesChartsAndSignal()
    {
        OpenWindow();
        QSignalSpy spy(m_pWindow.get(), STATUS_SIGNAL);
        Status first = MakeStatus(0.0);
        first.nSamples = -1; // the service counts in unsigned 32 bits: 4294967295
        const Status second = MakeStatus(1.0);
        SendStatus(first);
        SendStatus(second);
        QTRY_COMPARE(spy.count(), 2);
        QCOMPARE(BRFN::EncodeControlLoopStatus(spy.at(0).at(0).value<Status>()),
                 BRFN::EncodeControlLoopStatus(first));

        // Five points per record at x = 0, 1: time difference sets 0..3 and control set 0.
        Chart* pTD = TimeDiffChart();
        Chart* pCtl = ControlChart();
        for (int i = 0; i < Chart::NUM_DATA_SETS; ++i) {
            QCOMPARE(Xs(pTD, i), i < 4 ? Range(0, 1) : QList<double>());
            QCOMPARE(Xs(pCtl, i), i == 0 ? Range(0, 1) : QList<double>());
        }
        auto point = [](const Chart* pChart, int nSet, int i) {
            return pChart->DataSet(nSet).arrayPoints.at(i);
        };
        QCOMPARE(point(pTD, 2, 1).dY, second.dTimeDiff);
        QCOMPARE(point(pTD, 2, 1).dZ, 0.0);
        QCOMPARE(point(pTD, 3, 1).dY, second.dEstTimeError);
        QCOMPARE(point(pCtl, 0, 1).dY, second.dControlValue);
        // Bands: half-height the spread, centre the fitted line at the sample count.
        QCOMPARE(point(pTD, 0, 0).dY, first.dStdDev);
        QCOMPARE(point(pTD, 0, 0).dZ, 4294967295.0 * 0.5 + 0.25);
        QCOMPARE(point(pTD, 1, 1).dY, second.dStdDev2);
        QCOMPARE(point(pTD, 1, 1).dZ, 16 * 0.125 + 1.75);
    }

    // Link loss: an all-zero record for the displays, the points stay. After the
    // reconnection the history (not re-emitted) continues at the next x, a live
    // record after it, and a fresh NMEA socket takes over.
    void linkLossAndReconnection()
    {
        OpenWindow();
        QSignalSpy spy(m_pWindow.get(), STATUS_SIGNAL);
        QPointer<QUdpSocket> pOldSocket(m_pWindow->findChild<QUdpSocket*>());
        QVERIFY(pOldSocket);
        SendStatus(MakeStatus(1.0));
        QTRY_COMPARE(spy.count(), 1);
        m_service.m_received.clear();
        m_service.DropConnection();
        QTRY_COMPARE(spy.count(), 2);
        QCOMPARE(BRFN::EncodeControlLoopStatus(spy.at(1).at(0).value<Status>()),
                 BRFN::EncodeControlLoopStatus(Status()));
        QCOMPARE(Xs(TimeDiffChart(), 2), Range(0, 0));

        QVERIFY(m_service.WaitForNewConnection());
        QTRY_COMPARE(m_service.Received(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, 0).size(), 1);
        CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY history;
        history.nCount = 10;
        for (int i = 0; i < 10; ++i)
            history.aEntries[i] = MakeStatus(10.0 * i);
        m_service.Send(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, BRFN::EncodeHistory(history));
        SendStatus(MakeStatus(500.0));
        QTRY_COMPARE(spy.count(), 3);
        QCOMPARE(Xs(TimeDiffChart(), 2), Range(0, 11));
        QCOMPARE(Xs(ControlChart(), 0), Range(0, 11));
        QCOMPARE(TimeDiffChart()->DataSet(2).arrayPoints.at(10).dY, 90.001);
        QCOMPARE(TimeDiffChart()->DataSet(2).arrayPoints.at(11).dY, 500.001);
        QTRY_VERIFY(pOldSocket.isNull()); // replaced, not reused
        QCOMPARE(m_pWindow->findChildren<QUdpSocket*>().size(), 1);
        SendNmea("two\n");
        QTRY_COMPARE(Nmea()->toPlainText(), QString("two\n"));
    }

    void chartButtonsScaleAndErase()
    {
        OpenWindow();
        QSignalSpy spy(m_pWindow.get(), STATUS_SIGNAL);
        Find<QToolButton>("toolButtonScaleExtent")->click();
        for (int i = 0; i < 3; ++i)
            SendStatus(MakeStatus(i));
        QTRY_COMPARE(spy.count(), 3);
        QCOMPARE(TimeDiffChart()->XMax(), 2.0); // extent scaling fits the x range to the points
        QCOMPARE(ControlChart()->ScaleMode(), int(Chart::SCALE_EXTENT));

        // Erase: the service's history, the points, the ranges; the scale mode stays.
        Find<QToolButton>("toolButtonEraseHisory")->click();
        ExpectSent(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, 1, {BRFN::EncodeSubCommand(1)});
        QCOMPARE(State(TimeDiffChart()), QString("x 0..300 y -0.025..0.025 mode 0 points 0"));
        QCOMPARE(State(ControlChart()), QString("x 0..300 y -50..50 mode 0 points 0"));
        SendStatus(MakeStatus(7.0));
        QTRY_COMPARE(spy.count(), 4);
        QCOMPARE(Xs(TimeDiffChart(), 2), Range(0, 0));
        QCOMPARE(Xs(ControlChart(), 0), Range(0, 0));

        Find<QToolButton>("toolButtonScaleWindow")->click();
        QCOMPARE(QList<int>({TimeDiffChart()->ScaleMode(), ControlChart()->ScaleMode()}),
                 QList<int>({Chart::SCALE_WINDOW, Chart::SCALE_WINDOW}));
    }

    void checkBoxesReachTheDisplays()
    {
        OpenWindow();
        auto* pStdDev = Find<QCheckBox>("checkBoxShowStdDev");
        QTest::mouseClick(pStdDev, Qt::LeftButton);
        QVERIFY(pStdDev->isChecked() && !TimeDiffChart()->DataSet(1).bHidden);
        QTest::mouseClick(pStdDev, Qt::LeftButton);
        QVERIFY(TimeDiffChart()->DataSet(1).bHidden);
        QVERIFY(!TimeDiffChart()->DataSet(0).bHidden); // the other band is never switched

        auto* pLocal = Find<QCheckBox>("checkBoxLocalTime");
        auto* pClock = m_pWindow->findChild<CTimeStatusWidget*>();
        QVERIFY(pLocal->isChecked() && pClock->m_bShowLocalTime);
        QTest::mouseClick(pLocal, Qt::LeftButton);
        QVERIFY(!pClock->m_bShowLocalTime);
    }

    void enableControlLoopFollowsService()
    {
        OpenWindow();
        QAction* pEnable = Action("action_Enable_Control_Loop");
        const CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS params;
        m_service.Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeLoopParameters(0, params, 1));
        QTRY_VERIFY(pEnable->isChecked());
        pEnable->trigger(); // off
        QVERIFY(!pEnable->isChecked());
        pEnable->trigger(); // on again
        ExpectSent(BRFN::CMD_LOOP_PARAMETERS, 2, {QByteArray::fromHex("0200"), QByteArray::fromHex("0201")});
        // The service's next reply sets the mark whatever the user did.
        m_service.Send(BRFN::CMD_LOOP_PARAMETERS, BRFN::EncodeLoopParameters(0, params, 0));
        QTRY_VERIFY(!pEnable->isChecked());
        QCOMPARE(m_pWindow->m_nDialogRuns, 0); // replies nobody asked for open nothing
    }

    void commPortDialogSendsParsedPort_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("sentPort"); // -1: nothing sent
        QTest::newRow("off is port 0") << true << "off" << 0;
        QTest::newRow("Off is not off") << true << "Off" << -1;
        QTest::newRow("no M sends nothing") << true << "/dev/ttyUSB0" << -1;
        QTest::newRow("ttyACM0 reads as 0") << true << "/dev/ttyACM0" << 0;
        QTest::newRow("COM12") << true << "COM12" << 12;
        QTest::newRow("cancelled") << false << "COM7" << -1;
    }

    void commPortDialogSendsParsedPort()
    {
        QFETCH(bool, accept);
        QFETCH(QString, port);
        QFETCH(int, sentPort);
        OpenWindow();
        m_pWindow->m_nDialogResult = accept ? QDialog::Accepted : QDialog::Rejected;
        m_pWindow->m_strPortAnswer = port;
        m_pWindow->m_nBaudAnswer = 9600;
        // The action only asks the service; its reply opens the dialog.
        Action("action_SetupGPSCommunications")->trigger();
        QTRY_COMPARE(m_service.Received(BRFN::CMD_COMM_PORT, 0).size(), 1);
        QCOMPARE(m_pWindow->m_nDialogRuns, 0);
        m_service.Send(BRFN::CMD_COMM_PORT, BRFN::EncodeCommPort(0, 3, 4800));
        QTRY_COMPARE(m_pWindow->m_nDialogRuns, 1);
        QCOMPARE(m_pWindow->m_strPortShown, QString("COM3"));
        QCOMPARE(m_pWindow->m_nBaudShown, 4800u);
        ExpectSent(BRFN::CMD_COMM_PORT, 1,
                   sentPort < 0 ? QList<QByteArray>()
                                : QList<QByteArray>({BRFN::EncodeCommPort(1, sentPort, 9600)}));
    }

    void navMenusAreExclusiveAndPersist_data()
    {
        // Position formats 0, 1, 2 and altitude units ft, m, as in the menus. Each row:
        // "PosFormat/AltitudeUnits" stored before the start (empty: none), check marks after the start, the
        // actions chosen, check marks after them and again after a restart, "PosFormat/AltitudeUnits" saved.
        QTest::addColumn<QStringList>("row");
        QTest::newRow("2 twice, metric") << QStringList{"", "0 ft", "2 m 2", "2 m", "2/1"};
        QTest::newRow("stored 1/1, then 0") << QStringList{"1/1", "1 m", "0", "0 m", "0/1"};
    }

    void navMenusAreExclusiveAndPersist()
    {
        QFETCH(QStringList, row);
        const QString stored = row[0], initial = row[1], triggers = row[2], marks = row[3], saved = row[4];
        QSettings settings("Brightfen", "TellurixPanel");
        if (!stored.isEmpty()) {
            settings.setValue("PosFormat", stored.section('/', 0, 0));
            settings.setValue("AltitudeUnits", stored.section('/', 1, 1));
            settings.sync();
        }
        OpenWindow();
        QCOMPARE(Marks(), initial);
        for (const QString& code : triggers.split(' ', Qt::SkipEmptyParts))
            Action(kNavActions.at(kNavCodes.indexOf(code)))->trigger();
        QCOMPARE(Marks(), marks);
        settings.sync();
        QCOMPARE(settings.value("PosFormat").toString() + "/" + settings.value("AltitudeUnits").toString(),
                 saved);
        OpenWindow(); // a restart
        QCOMPARE(Marks(), marks);
    }

    void debugSequence_data()
    {
        QTest::addColumn<QString>("keys"); // '^' stands for a press of Shift alone
        QTest::addColumn<bool>("enabled");
        QTest::newRow("debug") << "debug" << true;
        QTest::newRow("DEBUG with shift presses") << "^d^e^b^u^g" << true;
        QTest::newRow("ddebug does not") << "ddebug" << false;
        QTest::newRow("ddebug then debug does") << "ddebugdebug" << true;
        QTest::newRow("interrupted") << "debxug" << false;
    }

    void debugSequence()
    {
        QFETCH(QString, keys);
        QFETCH(bool, enabled);
        OpenWindow();
        if (enabled)
            QTest::ignoreMessage(QtDebugMsg, "Debug mode enabled!");
        for (QChar c : keys)
            QTest::keyClick(m_pWindow.get(), c == '^' ? Qt::Key_Shift : Qt::Key(c.toUpper().unicode()));
        QCOMPARE(Action("actionSet_Control_Loop_Parameters")->isVisible(), enabled);
    }

    void logStatusReply_data()
    {
        QTest::addColumn<int>("log");
        QTest::addColumn<bool>("start");     // the Start action was chosen before the reply
        QTest::addColumn<int>("fileStatus"); // of the status reply: 1 logging
        QTest::addColumn<QString>("answer"); // of the file dialog; empty: cancelled
        QTest::addColumn<bool>("dialog");    // the file dialog opens
        QTest::newRow("loop log: no start, idle") << 0 << false << 0 << "/tmp/x.csv" << false;
        QTest::newRow("loop log: start, name chosen")
            << 0 << true << 0 << "/home/user/logs/run 1.csv" << true;
        QTest::newRow("gps log: start, name chosen") << 1 << true << 0 << "/home/user/gps.txt" << true;
        QTest::newRow("loop log: start, cancelled") << 0 << true << 0 << "" << true;
        QTest::newRow("gps log: start while running") << 1 << true << 1 << "/tmp/x.txt" << false;
    }

    void logStatusReply()
    {
        QFETCH(int, log);
        QFETCH(bool, start);
        QFETCH(int, fileStatus);
        QFETCH(QString, answer);
        QFETCH(bool, dialog);
        const LogCase& c = kLogs[log];
        const bool bStarts = dialog && !answer.isEmpty();
        OpenWindow();
        QVERIFY(Action(c.pszStart)->isEnabled() && Action(c.pszStop)->isEnabled()); // before any reply
        m_pWindow->m_strFileAnswer = answer;
        m_service.m_received.clear();
        if (start) {
            Action(c.pszStart)->trigger();
            QTRY_COMPARE(m_service.Received(c.nCommand, 0).size(), 1);
            QVERIFY(m_pWindow->m_fileDialogs.isEmpty()); // the reply opens the dialog
        }
        m_service.Send(c.nCommand,
                       BRFN::EncodeLogStatusReply(uint8_t(fileStatus), fileStatus ? "/tmp/running" : ""));
        QTRY_VERIFY(Action(c.pszStart)->isEnabled() !=
                    Action(c.pszStop)->isEnabled()); // the reply has arrived
        QCOMPARE(Action(c.pszStop)->isEnabled(), fileStatus == 1);
        // A chosen name is sent to the service, then the status is asked again.
        ExpectSent(c.nCommand, 1,
                   bStarts ? QList<QByteArray>({BRFN::EncodeLogStart(answer)}) : QList<QByteArray>());
        QCOMPARE(m_service.Received(c.nCommand, 0).size(), int(start) + int(bStarts));
        QCOMPARE(m_pWindow->m_fileDialogs, dialog ? QStringList({c.pszDialog}) : QStringList());
        // The start is forgotten with the reply: the next status reply opens nothing.
        m_service.Send(c.nCommand, BRFN::EncodeLogStatusReply(0, ""));
        QTRY_VERIFY(!Action(c.pszStop)->isEnabled());
        Settle();
        QCOMPARE(m_pWindow->m_fileDialogs.size(), int(dialog));
        const LogCase& other = kLogs[1 - log]; // untouched
        QVERIFY(Action(other.pszStart)->isEnabled() && Action(other.pszStop)->isEnabled());
    }

    // The start reply is only logged; a stop reply makes the actions idle whatever it says.
    void logStartAndStopReplies()
    {
        OpenWindow();
        for (const auto& results :
             {QPair<int, int>(0, 0), QPair<int, int>(5, -3)}) { // start, stop; 0 success
            const LogCase& c = kLogs[results.first ? 1 : 0];
            QTest::ignoreMessage(QtDebugMsg, results.first ? "File open fail code: 5" : "File open success");
            m_service.Send(c.nCommand, BRFN::EncodeLogResultReply(1, int8_t(results.first)));
            m_service.Send(c.nCommand, BRFN::EncodeLogStatusReply(1, "/tmp/run"));
            QTRY_VERIFY(!Action(c.pszStart)->isEnabled());
            QVERIFY(Action(c.pszStop)->isEnabled());
            Action(c.pszStop)->trigger(); // the request only; the actions wait for the reply
            ExpectSent(c.nCommand, 2, {BRFN::EncodeSubCommand(2)});
            QVERIFY(Action(c.pszStop)->isEnabled());
            m_service.Send(c.nCommand, BRFN::EncodeLogResultReply(2, int8_t(results.second)));
            QTRY_VERIFY(Action(c.pszStart)->isEnabled());
            QVERIFY(!Action(c.pszStop)->isEnabled());
        }
    }

    void nmeaDatagramsReachThePage_data()
    {
        QTest::addColumn<QByteArrayList>("datagrams");
        QTest::addColumn<QString>("shown");
        QTest::newRow("every CR removed") << QByteArrayList{"a\rb\r\r\nc\r"} << "ab\nc";
        QTest::newRow("cut at zero byte")
            << QByteArrayList{QByteArray("$GPRMC,2\r\n\0$GPZDA,3\r\n", 22)} << "$GPRMC,2\n";
        QTest::newRow("several datagrams in order, a line across two")
            << QByteArrayList{"$A*1\r\n", "$B*2\r\n$C", "*3\r\n", "$D*4\r\n"} << "$A*1\n$B*2\n$C*3\n$D*4\n";
        QTest::newRow("utf-8") << QByteArrayList{"\xc2\xb0\n"} << QString::fromUtf8("\xc2\xb0\n");
    }

    void nmeaDatagramsReachThePage()
    {
        QFETCH(QByteArrayList, datagrams);
        QFETCH(QString, shown);
        OpenWindow();
        SendNmea("first\n");
        QTRY_COMPARE(Nmea()->toPlainText(), QString("first\n"));
        // The user has put the cursor at the top: new text still goes to the end.
        QTextCursor cursor = Nmea()->textCursor();
        cursor.movePosition(QTextCursor::Start);
        Nmea()->setTextCursor(cursor);
        for (const QByteArray& datagram : datagrams)
            SendNmea(datagram);
        SendNmea("END"); // a marker: once it is shown, the datagrams before it have been handled
        QTRY_VERIFY(Nmea()->toPlainText().endsWith("END"));
        QCOMPARE(Nmea()->toPlainText(), "first\n" + shown + "END");
    }

    void nmeaPageKeepsLastThousandLines()
    {
        OpenWindow();
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
        // Lines that never end are held to the cap too: tst_hostile's hostileUdp.
    }

private:
    // A new window whose link is up and whose four start-up requests have arrived.
    void OpenWindow()
    {
        m_pWindow.reset();
        m_service.m_received.clear();
        m_pWindow = std::make_unique<TestWindow>();
        QVERIFY(m_service.WaitForNewConnection());
        QTRY_COMPARE(m_service.m_received.size(), 4);
        for (quint16 nCommand : {BRFN::CMD_RECORD_GPS_DATA, BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY,
                                 BRFN::CMD_CONTROL_LOOP_STATUS_LOG, BRFN::CMD_LOOP_PARAMETERS})
            QCOMPARE(m_service.Received(nCommand, 0).size(), 1);
    }
    template <typename T> T* Find(const char* pszName) const { return m_pWindow->findChild<T*>(pszName); }
    QAction* Action(const QString& strName) const { return m_pWindow->findChild<QAction*>(strName); }
    Chart* TimeDiffChart() const { return Find<QWidget>("widgetTimeDiff")->findChild<Chart*>(); }
    Chart* ControlChart() const { return Find<QWidget>("widgetControlValue")->findChild<Chart*>(); }
    QPlainTextEdit* Nmea() const { return Find<QPlainTextEdit>("editNmea"); }
    // Waits for exactly these packets of the command and sub-command, and no more.
    void ExpectSent(quint16 nCommand, int nSubCmd, const QList<QByteArray>& payloads)
    {
        QTRY_COMPARE(m_service.Received(nCommand, nSubCmd), payloads);
        Settle();
        QCOMPARE(m_service.Received(nCommand, nSubCmd), payloads);
    }
    // checked position-format and unit actions
    QString Marks() const
    {
        QStringList on;
        for (int i = 0; i < kNavActions.size(); ++i)
            if (Action(kNavActions.at(i))->isChecked())
                on << kNavCodes.at(i);
        return on.join(' ');
    }
    void SendStatus(const Status& s)
    {
        m_service.Send(BRFN::CMD_CONTROL_LOOP_STATUS, BRFN::EncodeControlLoopStatus(s));
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

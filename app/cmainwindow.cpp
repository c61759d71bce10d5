#include "cmainwindow.h"

#include "caboutdlg.h"
#include "cdesktopnotifier.h"
#include "cgpslockconfigdlg.h"
#include "cgpsstatuswnd.h"
#include "cloopparametersdlg.h"
#include "connectdlg.h"
#include "cstabilitywindow.h"
#include "cstatenotifier.h"
#include "cstripchartwidget.h"
#include "csystemstatswidget.h"
#include "csystemstatuswidget.h"
#include "ctimediffoffsetdlg.h"
#include "ctimestatuswidget.h"
#include "savefile.h"
#include "servicestate.h"
#include "trayicon.h"
#include "ui_cmainwindow.h"

#include <QCloseEvent>
#include <QDebug>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QScopedPointer>
#include <QScrollBar>
#include <QSettings>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QUdpSocket>
#include <QVBoxLayout>

#include <limits>
#include <memory>
#include <utility>

int CMainWindow::s_nEpochCount = 0;
qint64 CMainWindow::s_tNextUpdateCheck = 0;

namespace {
const int kFastTimerMs = 50;
const int kSecondsPerDay = 86400;
const int kNmeaMaxLines = 1000;
// A line longer than this is broken before more text is added, so that a
// sender that never ends its lines cannot get around the line limit.
const int kNmeaMaxLineLength = 4096;

const char* const kSettingsOrganisation = "Brightfen";
const char* const kSettingsApplication = "TellurixPanel";
const char* const kKeyPosFormat = "PosFormat";
const char* const kKeyAltitudeUnits = "AltitudeUnits";
const char* const kKeyNotify = "NotifyOnStateChanges"; // true by default
const char* const kKeyShowInTray = "ShowInSystemTray"; // false by default
const char* const kKeyTrayHintShown = "TrayHintShown"; // the first hide to the tray was explained

// A stored flag: "true" or "false" (any case, or 1 and 0); anything else, or
// nothing stored, is bDefault.
bool ReadFlag(const QSettings& settings, const char* pszKey, bool bDefault)
{
    const QString strValue = settings.value(QLatin1String(pszKey)).toString().trimmed().toLower();
    if (strValue == QLatin1String("true") || strValue == QLatin1String("1"))
        return true;
    if (strValue == QLatin1String("false") || strValue == QLatin1String("0"))
        return false;
    return bDefault;
}

void WriteFlag(const char* pszKey, bool bValue)
{
    QSettings settings(QString::fromLatin1(kSettingsOrganisation), QString::fromLatin1(kSettingsApplication));
    settings.setValue(QLatin1String(pszKey), bValue ? QStringLiteral("true") : QStringLiteral("false"));
}

// The charts' ranges at start-up and after Erase History: 300 samples from 0,
// the time difference over +-25 ms (also its smallest window-mode span), the
// control value over +-50.
void SetChartStartRanges(CStripChartWidget* pTimeDiff, CStripChartWidget* pControl)
{
    pTimeDiff->SetYRangeAndMinimum(-0.025, 0.025, true);
    pTimeDiff->SetXRange(0, 300, true);
    pControl->SetYRange(-50, 50, true);
    pControl->SetXRange(0, 300, true);
}
} // namespace

// The toolbar's icon lives in the application library; make sure it is
// registered even when the linker had no other reason to keep it.
static void InitResources()
{
    Q_INIT_RESOURCE(tellurix);
}

CMainWindow::CMainWindow(QWidget* pParent) : QMainWindow(pParent), m_SWUpdate(nullptr)
{
    m_ArrivalClock.start();
    InitResources();
    ui = new Ui_CMainWindow;
    ui->setupUi(this);

    // Typing D E B U G uncovers the loop-parameters action.
    m_pszDebugKeys = "DEBUG";
    m_nDebugKeyIndex = 0;
    m_bDebugMode = false;
    ui->actionSet_Control_Loop_Parameters->setVisible(false);

    m_pProtocol = new CBRFNProtocolQt(this);
    connect(m_pProtocol, SIGNAL(RxCmdCommPort(CBRFNProtocolQt::CMD_DATA_COMM_PORT)), this,
            SLOT(OnRxCmdCommPort(CBRFNProtocolQt::CMD_DATA_COMM_PORT)));
    connect(m_pProtocol, SIGNAL(RxCmdControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS)), this,
            SLOT(OnRxControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS)));
    connect(m_pProtocol, SIGNAL(RxCmdGPSStatus(CBRFNProtocolQt::CMD_DATA_GPS_STATUS)), this,
            SLOT(OnRxCmdGPSStatus(CBRFNProtocolQt::CMD_DATA_GPS_STATUS)));
    connect(m_pProtocol, SIGNAL(RxCmdLoopParameters(CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS)), this,
            SLOT(OnRxCmdLoopParameters(CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS)));
    connect(m_pProtocol, SIGNAL(SignalDisconnected()), this, SLOT(OnBRFNProtocolDisconnected()));
    connect(m_pProtocol, SIGNAL(SignalConnected()), this, SLOT(OnBRFNProtocolConnected()));
    connect(m_pProtocol,
            SIGNAL(RxCmdControlLoopStatusHistory(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY&)),
            this, SLOT(OnRxControlLoopStatusHistory(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY&)));
    connect(m_pProtocol, SIGNAL(RxCmdControlLoopStatusLog(int, int, int, QString&)), this,
            SLOT(OnRxCmdControlLoopStatusLog(int, int, int, QString&)));
    connect(m_pProtocol, SIGNAL(RxCmdRecordGPSData(int, int, int, QString&)), this,
            SLOT(OnRxCmdRecordGPSData(int, int, int, QString&)));
    connect(m_pProtocol, SIGNAL(RxCmdGPSLockConfig(CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG)), this,
            SLOT(OnRxCmdGPSLockStatus(CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG)));

    // m_NavConversions takes its position format and altitude units from the
    // settings at the end of the constructor.

    // Loop Status page: the two charts.
    QWidget* pLoopPage = ui->tabWidget->widget(2);
    m_pTimeDiffChart = new CStripChartWidget(pLoopPage);
    m_pControlChart = new CStripChartWidget(pLoopPage);
    m_pTimeDiffChart->SetValueTag(2, true, false);
    m_pTimeDiffChart->SetValueTag(3, true, false);
    m_pTimeDiffChart->m_strTitle = QStringLiteral("Time Difference");
    m_pControlChart->m_strTitle = QStringLiteral("Control");
    m_pControlChart->SetValueFormat("%.01f", false);
    m_pControlChart->SetValueTag(0, true, false);
    m_pTimeDiffChart->m_strYLabel = QStringLiteral("Seconds");
    m_pControlChart->m_strYLabel = QStringLiteral("Clock Counter");
    QVBoxLayout* pTimeDiffLayout = new QVBoxLayout(ui->widgetTimeDiff);
    pTimeDiffLayout->addWidget(m_pTimeDiffChart);
    QVBoxLayout* pControlLayout = new QVBoxLayout(ui->widgetControlValue);
    pControlLayout->addWidget(m_pControlChart);
    SetChartStartRanges(m_pTimeDiffChart, m_pControlChart);
    m_nSampleCount = 0;
    m_pTimeDiffChart->SetDataSetColor(2, QColor(0, 0, 255));
    m_pTimeDiffChart->SetDataSetColor(3, QColor(192, 0, 0));
    m_pTimeDiffChart->SetDataSetStyle(0, CStripChartWidget::STYLE_BAND);
    m_pTimeDiffChart->SetDataSetColor(0, QColor(255, 192, 192, 128));
    m_pTimeDiffChart->SetDataSetStyle(1, CStripChartWidget::STYLE_BAND);
    m_pTimeDiffChart->SetDataSetColor(1, QColor(192, 192, 255, 128));
    ui->checkBoxShowStdDev->setChecked(false);
    m_pTimeDiffChart->SetDataSetHidden(1, true, true);
    // Names of the columns of an exported table, in the order written.
    m_pTimeDiffChart->m_strXName = QStringLiteral("Sample");
    m_pTimeDiffChart->SetDataSetName(2, QStringLiteral("Time Difference"));
    m_pTimeDiffChart->SetDataSetName(3, QStringLiteral("Estimated Error"));
    m_pTimeDiffChart->SetDataSetName(0, QStringLiteral("Fit 1"));
    m_pTimeDiffChart->SetDataSetName(1, QStringLiteral("Fit 2"));
    m_pControlChart->m_strXName = QStringLiteral("Sample");
    m_pControlChart->SetDataSetName(0, QStringLiteral("Control Value"));

    // GPS Status page.
    QWidget* pGPSPage = ui->tabWidget->widget(1);
    m_pGPSStatusWnd = new CGPSStatusWnd(&m_GPSData, &m_NavConversions, pGPSPage);
    QVBoxLayout* pGPSLayout = new QVBoxLayout(pGPSPage);
    pGPSLayout->addWidget(m_pGPSStatusWnd);

    // Status page: service state, clock and statistics.
    CSystemStatusWidget* pSystemStatus = new CSystemStatusWidget(m_pProtocol, ui->widgetSystemStatus);
    connect(this, &CMainWindow::SignalControlLoopStatus, pSystemStatus,
            &CSystemStatusWidget::OnSignalControlLoopStatus);
    QVBoxLayout* pSystemStatusLayout = new QVBoxLayout(ui->widgetSystemStatus);
    pSystemStatusLayout->addWidget(pSystemStatus);
    m_pTimeStatusWidget = new CTimeStatusWidget(ui->widgetTimeStatus);
    connect(this, &CMainWindow::SignalOneSecondEpoch, m_pTimeStatusWidget,
            &CTimeStatusWidget::OnSignalOneSecondEpoch);
    QVBoxLayout* pTimeStatusLayout = new QVBoxLayout(ui->widgetTimeStatus);
    pTimeStatusLayout->addWidget(m_pTimeStatusWidget);
    CSystemStatsWidget* pSystemStats = new CSystemStatsWidget(ui->widgetSystemStats);
    connect(this, &CMainWindow::SignalControlLoopStatus, pSystemStats,
            &CSystemStatsWidget::OnSignalControlLoopStatus);
    connect(this, &CMainWindow::SignalGPSStatus, pSystemStats, &CSystemStatsWidget::OnGPSStatus);
    QVBoxLayout* pSystemStatsLayout = new QVBoxLayout(ui->widgetSystemStats);
    pSystemStatsLayout->addWidget(pSystemStats);

    QTimer* pFastTimer = new QTimer(this);
    connect(pFastTimer, SIGNAL(timeout()), this, SLOT(OnFastTimer()));
    pFastTimer->start(kFastTimerMs);

    m_bLocalTime = true;
    ApplyLocalTime();

    // The GPS data log's actions follow the service once this reply arrives;
    // the control-loop log's status is asked for by the client on connecting.
    m_pProtocol->RequestRecordGPSData();

    connect(&m_SWUpdate, SIGNAL(SoftwareUpdateStatus(CheckForSWUpdate::SW_UPDATE_STATUS)), this,
            SLOT(OnSoftwareUpdateStatus(CheckForSWUpdate::SW_UPDATE_STATUS)));

    ui->editNmea->document()->setMaximumBlockCount(kNmeaMaxLines);
    ui->editNmea->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->editNmea, &QWidget::customContextMenuRequested, this, &CMainWindow::OnNmeaContextMenu);
    ui->editNmea->installEventFilter(this);

    // Desktop notifications of the service's state changes: the quiet time
    // after the start runs from here.
    auto pUptime = std::make_shared<QElapsedTimer>();
    pUptime->start();
    m_pStateNotifier = new CStateNotifier([pUptime] { return pUptime->elapsed(); },
                                          [] { return QDateTime::currentDateTime(); }, this);
    m_pDesktopNotifier = new CDesktopNotifier(this);
    connect(m_pStateNotifier, SIGNAL(SignalNotify(int, QString, QString)), m_pDesktopNotifier,
            SLOT(OnNotify(int, QString, QString)));
    connect(m_pProtocol, SIGNAL(SignalConnected()), m_pStateNotifier, SLOT(OnLinkUp()));
    connect(m_pProtocol, SIGNAL(SignalDisconnected()), m_pStateNotifier, SLOT(OnLinkDown()));
    m_pStateNotifier->StartTicking();
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        ui->actionShow_in_System_Tray->setEnabled(false);
        ui->actionShow_in_System_Tray->setToolTip(
            QStringLiteral("This desktop has no system tray to show the icon in."));
    }
    UpdateTrayIcon(false, 0, 0.0);

    LoadSettings();
    UpdateNavMenus();
}

CMainWindow::~CMainWindow()
{
    // It reads the recorder, a member that goes before the child widgets do.
    delete m_pStabilityWindow;
    if (m_pTrayIcon)
        QGuiApplication::setQuitOnLastWindowClosed(true);
    delete ui;
}

// ---- Status routing ---------------------------------------------------------

void CMainWindow::AddStatusToCharts(const CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS& Data, bool bRepaint)
{
    const double dX = m_nSampleCount;
    // The band centres are the fitted lines at the current sample count,
    // which the service sends as an unsigned number.
    const double dCentre = double(quint32(Data.nSamples)) * Data.dFitSlope + Data.dFitIntercept;
    const double dCentre2 = double(quint32(Data.nSamples2)) * Data.dFit2Slope + Data.dFit2Intercept;
    m_pTimeDiffChart->AddPoint(2, dX, Data.dTimeDiff, 0.0, bRepaint);
    m_pTimeDiffChart->AddPoint(3, dX, Data.dEstTimeError, 0.0, bRepaint);
    m_pControlChart->AddPoint(0, dX, Data.dControlValue, 0.0, bRepaint);
    m_pTimeDiffChart->AddPoint(0, dX, Data.dStdDev, dCentre, bRepaint);
    m_pTimeDiffChart->AddPoint(1, dX, Data.dStdDev2, dCentre2, bRepaint);
}

void CMainWindow::OnRxControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS Data)
{
    AddStatusToCharts(Data, true);
    // Only live records have an arrival time; the history's entries do not
    // enter the recorder.
    m_PhaseRecorder.Add(m_ArrivalClock.nsecsElapsed() * 1e-9, Data.dTimeDiff);
    // Saturates: a peer flooding records for days must not overflow the
    // counter (the charts stop keeping points long before that).
    if (m_nSampleCount < std::numeric_limits<int>::max())
        m_nSampleCount += 1;
    emit SignalControlLoopStatus(Data);
    m_pStateNotifier->OnStatus(Data.nLoopState, Data.dEstTimeError);
    UpdateTrayIcon(m_pProtocol->m_bConnected, Data.nLoopState, Data.dEstTimeError);
}

// History entries are drawn all together at the charts' next repaint.
void CMainWindow::OnRxControlLoopStatusHistory(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY& Data)
{
    const int nCount = qBound(0, int(Data.nCount), int(BRFN::MAX_HISTORY_ENTRIES));
    for (int i = 0; i < nCount; ++i) {
        AddStatusToCharts(Data.aEntries[i], false);
        if (m_nSampleCount < std::numeric_limits<int>::max())
            m_nSampleCount += 1;
    }
}

void CMainWindow::ConvertGPSStatus(const CBRFNProtocolQt::CMD_DATA_GPS_STATUS& Data,
                                   CGPSDisplayData& rDisplay)
{
    rDisplay.dLatitude = Data.dLatitude;
    rDisplay.dLongitude = Data.dLongitude;
    rDisplay.dAltitude = Data.dAltitude;
    rDisplay.nSatsTracked = Data.nSatsTracked;
    rDisplay.nSatsInView = Data.nSatsInView;
    rDisplay.nGPSTime = Data.nGPSTime;
    rDisplay.nGPSTimeFlag = Data.nGPSTimeFlag;
    for (int i = 0; i < CGPSDisplayData::MAX_SATELLITES; ++i) {
        const CBRFNProtocolQt::SATELLITE_DATA& sat = Data.aSats[i];
        CGPSDisplayData::SAT_DATA& shown = rDisplay.aSats[i];
        shown.nPRN = sat.nPRN;
        shown.nSNR = sat.nSNR;
        shown.bUsed = sat.bUsed;
        shown.nAzimuth = sat.nAzimuth;
        shown.nElevation = sat.nElevation;
        // Codes outside 0..3 are carried as they come; the bars draw them in
        // their fallback colour.
        shown.nStatus = sat.nStatus;
    }
}

void CMainWindow::OnRxCmdGPSStatus(CBRFNProtocolQt::CMD_DATA_GPS_STATUS Data)
{
    CGPSDisplayData display;
    ConvertGPSStatus(Data, display);
    m_GPSData.SetData(display);
    m_pGPSStatusWnd->UpdateGPSStatus();
    emit SignalGPSStatus(Data);
}

// ---- Link up and down -------------------------------------------------------

void CMainWindow::OnBRFNProtocolConnected()
{
    // A fresh socket for every connection. The old one is closed first: of
    // two sockets sharing a port, the one bound last gets every datagram.
    if (m_pUdpNmea) {
        m_pUdpNmea->close();
        m_pUdpNmea->deleteLater();
        m_pUdpNmea = nullptr;
    }
    m_pUdpNmea = new QUdpSocket(this);
    // Shared, so that other programs may listen to the same sentences. A
    // failed bind leaves the page empty and is not reported. The socket stays
    // merely bound: connecting it to the any-address would narrow its local
    // address to one interface and drop datagrams sent to the others.
    m_pUdpNmea->bind(QHostAddress::Any, NMEA_PORT, QAbstractSocket::ShareAddress);
    connect(m_pUdpNmea, SIGNAL(readyRead()), this, SLOT(OnUdpNmeaReadyRead()));
}

void CMainWindow::OnBRFNProtocolDisconnected()
{
    // The run of time differences ends with the link; the all-zero record
    // below is for the displays and is not a measurement.
    m_PhaseRecorder.Break();
    repaint();
    // An all-zero record takes every display back to its empty state; the
    // charts keep their points.
    emit SignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS());
    UpdateTrayIcon(false, 0, 0.0);
}

void CMainWindow::OnUdpNmeaReadyRead()
{
    QUdpSocket* pSocket = m_pUdpNmea;
    if (!pSocket)
        return;
    while (pSocket->hasPendingDatagrams()) {
        QByteArray datagram;
        datagram.resize(int(qBound<qint64>(1, pSocket->pendingDatagramSize(), 65536)));
        const qint64 nRead = pSocket->readDatagram(datagram.data(), datagram.size());
        if (nRead < 0)
            break;
        datagram.truncate(int(nRead));
        const int nZero = datagram.indexOf('\0');
        if (nZero >= 0)
            datagram.truncate(nZero);
        QString strText = QString::fromUtf8(datagram);
        strText.remove(QLatin1Char('\r'));
        // One datagram may hold 64 K characters without a line end: break such
        // runs too, so that the line cap also caps the page's memory and no
        // line is too long to lay out at once.
        for (int nStart = 0, nEnd = 0; nStart < strText.size(); nStart = nEnd + 1) {
            nEnd = strText.indexOf(QLatin1Char('\n'), nStart);
            if (nEnd < 0)
                nEnd = strText.size();
            if (nEnd - nStart > kNmeaMaxLineLength) {
                nEnd = nStart + kNmeaMaxLineLength;
                strText.insert(nEnd, QLatin1Char('\n'));
            }
        }
        if (strText.isEmpty())
            continue;
        if (ui->editNmea->isVisible())
            ShowNmeaText(strText);
        else
            HoldNmeaText(strText);
    }
}

// While the page is hidden its text waits here, a string and no layout (laying
// out each datagram took a fifth of the panel's time on the GPS page); the
// page takes it in one piece when shown. The page keeps its last 1000 lines,
// so older held lines go, in batches, and a line held without end is broken
// as the page breaks it.
void CMainWindow::HoldNmeaText(const QString& strText)
{
    if (m_strNmeaHeld.size() - 1 - m_strNmeaHeld.lastIndexOf(QLatin1Char('\n')) >= kNmeaMaxLineLength) {
        m_strNmeaHeld += QLatin1Char('\n');
        ++m_nNmeaHeldLines;
    }
    m_strNmeaHeld += strText;
    m_nNmeaHeldLines += strText.count(QLatin1Char('\n'));
    if (m_nNmeaHeldLines <= kNmeaMaxLines + kNmeaMaxLines / 10)
        return;
    int nCut = 0;
    for (int n = m_nNmeaHeldLines - kNmeaMaxLines; n > 0; --n)
        nCut = m_strNmeaHeld.indexOf(QLatin1Char('\n'), nCut) + 1;
    m_strNmeaHeld.remove(0, nCut);
    m_nNmeaHeldLines = kNmeaMaxLines;
}

bool CMainWindow::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == ui->editNmea && pEvent->type() == QEvent::Show && !m_strNmeaHeld.isEmpty()) {
        m_nNmeaHeldLines = 0;
        ShowNmeaText(std::exchange(m_strNmeaHeld, QString()));
    }
    return QMainWindow::eventFilter(pWatched, pEvent);
}

void CMainWindow::OnNmeaContextMenu(const QPoint& ptAt)
{
    QScopedPointer<QMenu> pMenu(ui->editNmea->createStandardContextMenu(ptAt));
    pMenu->addSeparator();
    pMenu->addAction(tr("Save As…"), this, [this] {
        // The text as shown, taken now: datagrams that arrive while the
        // dialog is open are not in the file.
        const QString strText = ui->editNmea->toPlainText();
        QString strFilter = tr("NMEA text (*.nmea)");
        const QString strPath =
            DataOut::AskSaveFileName(this, tr("Save As"), QStringLiteral("nmea-output.nmea"),
                                     {strFilter, tr("Text file (*.txt)")}, &strFilter);
        if (strPath.isEmpty())
            return;
        QByteArray bytes = strText.toUtf8();
        if (!bytes.isEmpty() && !bytes.endsWith('\n'))
            bytes += '\n';
        DataOut::SaveFile(this, tr("Save As"), strPath,
                          [&](QIODevice& file) { return file.write(bytes) == bytes.size(); });
    });
    pMenu->exec(ui->editNmea->viewport()->mapToGlobal(ptAt));
}

void CMainWindow::ShowNmeaText(const QString& strText)
{
    // New text always lands at the end, through a cursor of its own, so a
    // user who scrolled up to read or holds a selection to copy keeps both;
    // the view follows the end only while it shows the last line and
    // nothing is selected (as a terminal does).
    QScrollBar* pScroll = ui->editNmea->verticalScrollBar();
    const bool bFollow = !ui->editNmea->textCursor().hasSelection() && pScroll->value() >= pScroll->maximum();
    // The top line shown, followed through the lines the cap drops from the
    // start of the page: a full page would otherwise move under the reader.
    QTextDocument* pDocument = ui->editNmea->document();
    const QTextCursor top(pDocument->findBlockByLineNumber(pScroll->value()));
    const int nLineInBlock = pScroll->value() - top.block().firstLineNumber();
    if (!bFollow) {
        // A selection that reaches the end would otherwise grow with the text.
        // A bare cursor at the end moves on with it instead: a kept position
        // holds only the position, its anchor would move and select the text.
        QTextCursor view = ui->editNmea->textCursor();
        view.setKeepPositionOnInsert(view.hasSelection());
        ui->editNmea->setTextCursor(view);
    }
    QTextCursor cursor(pDocument->lastBlock());
    cursor.movePosition(QTextCursor::EndOfBlock);
    if (cursor.block().length() - 1 >= kNmeaMaxLineLength)
        cursor.insertText(QStringLiteral("\n"));
    cursor.insertText(strText);
    if (bFollow) {
        ui->editNmea->setTextCursor(cursor);
        pScroll->setValue(pScroll->maximum());
    } else {
        // Setting the cursor scrolls it into view: a user who scrolled
        // away from it (wheel, scroll bar, keys) keeps the lines read.
        pScroll->setValue(top.block().firstLineNumber() + nLineInBlock);
    }
}

// ---- One-second epoch and the daily update check -----------------------------

void CMainWindow::OnFastTimer()
{
    QDateTime now = QDateTime::currentDateTimeUtc();
    if (!IsNewEpoch(m_nLastSecond, now))
        return;
    emit SignalOneSecondEpoch(now);
    // A build without the update check never starts one.
    if (CheckForSWUpdate::ChecksEnabled() &&
        IsUpdateCheckDue(s_nEpochCount, s_tNextUpdateCheck, now.toSecsSinceEpoch()))
        StartUpdateCheck();
}

bool CMainWindow::IsNewEpoch(int& rnLastSecond, const QDateTime& now)
{
    const int nSecond = now.time().second();
    return std::exchange(rnLastSecond, nSecond) != nSecond;
}

bool CMainWindow::IsUpdateCheckDue(int& rnEpochCount, qint64& rtNextCheck, qint64 tNow)
{
    const bool bDue = rnEpochCount % kSecondsPerDay == 0 && rtNextCheck < tNow;
    if (bDue)
        rtNextCheck = tNow + kSecondsPerDay;
    rnEpochCount += 1;
    return bDue;
}

void CMainWindow::StartUpdateCheck()
{
    m_SWUpdate.CheckVersion(CheckForSWUpdate::WebServer() +
                                QString::fromLatin1(CheckForSWUpdate::VERSION_DOCUMENT),
                            CheckForSWUpdate::OWN_VERSION_MAJOR, CheckForSWUpdate::OWN_VERSION_MINOR,
                            CheckForSWUpdate::OWN_VERSION_BUILD);
}

void CMainWindow::OnSoftwareUpdateStatus(CheckForSWUpdate::SW_UPDATE_STATUS nStatus)
{
    qDebug() << "SW_UPDATE_STATUS:" << int(nStatus);
}

// ---- Local time and chart controls ------------------------------------------

void CMainWindow::on_checkBoxLocalTime_clicked()
{
    m_bLocalTime = ui->checkBoxLocalTime->isChecked();
    ApplyLocalTime();
}

void CMainWindow::ApplyLocalTime()
{
    ui->checkBoxLocalTime->setChecked(m_bLocalTime);
    m_pTimeStatusWidget->m_bShowLocalTime = m_bLocalTime;
    m_pTimeStatusWidget->repaint();
}

void CMainWindow::on_toolButtonScaleExtent_clicked()
{
    m_pTimeDiffChart->SetScaleMode(CStripChartWidget::SCALE_EXTENT, true);
    m_pControlChart->SetScaleMode(CStripChartWidget::SCALE_EXTENT, true);
}

void CMainWindow::on_toolButtonScaleWindow_clicked()
{
    m_pTimeDiffChart->SetScaleMode(CStripChartWidget::SCALE_WINDOW, true);
    m_pControlChart->SetScaleMode(CStripChartWidget::SCALE_WINDOW, true);
}

void CMainWindow::on_toolButtonEraseHisory_clicked()
{
    m_pProtocol->EraseHistory();
    SetChartStartRanges(m_pTimeDiffChart, m_pControlChart);
    m_pTimeDiffChart->EraseData(true);
    m_pControlChart->EraseData(true);
    m_nSampleCount = 0;
    m_PhaseRecorder.Break();
}

void CMainWindow::on_checkBoxShowStdDev_clicked()
{
    m_pTimeDiffChart->SetDataSetHidden(1, !ui->checkBoxShowStdDev->isChecked(), true);
}

// ---- Control loop -------------------------------------------------------------

// The action's check mark flips with the click; the service's reply to the
// next parameters request confirms it.
void CMainWindow::on_action_Enable_Control_Loop_triggered()
{
    m_bControlLoopEnabled = !m_bControlLoopEnabled;
    m_pProtocol->EnableControlLoop(m_bControlLoopEnabled);
}

void CMainWindow::on_actionSet_Control_Loop_Parameters_triggered()
{
    m_bLoopParametersPending = true;
    m_pProtocol->RequestLoopParameters();
}

void CMainWindow::OnRxCmdLoopParameters(CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS Data)
{
    if (m_bLoopParametersPending) {
        m_bLoopParametersPending = false;
        OpenDialogLater(m_bLoopParametersDialogBusy, "CMainWindow::OnRxCmdLoopParameters():", [this, Data] {
            CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS Params = Data;
            // On acceptance bLoopEnabled carries the reset-loop request.
            CLoopParametersDlg dlg(this);
            dlg.setModal(true);
            if (dlg.EditLoopParameters(Params) == QDialog::Accepted)
                m_pProtocol->SetLoopParameters(Params, Params.bLoopEnabled != 0);
        });
    }
    m_bControlLoopEnabled = Data.bLoopEnabled != 0;
    ui->action_Enable_Control_Loop->setChecked(m_bControlLoopEnabled);
}

// ---- Communications, time offset, GPS lock, About ----------------------------

void CMainWindow::on_action_SetupGPSCommunications_triggered()
{
    m_pProtocol->RequestCommPort();
}

void CMainWindow::OnRxCmdCommPort(CBRFNProtocolQt::CMD_DATA_COMM_PORT Data)
{
    OpenDialogLater(m_bCommPortDialogBusy, "CMainWindow::OnRxCmdCommPort():", [this, Data] {
        QString strPort = QString::asprintf("COM%d", Data.nPort);
        unsigned int nBaud = quint32(Data.nBaud);
        ConnectDlg dlg(this);
        dlg.setModal(true);
        if (dlg.Execute(strPort, nBaud) == QDialog::Accepted) {
            qDebug() << "Port:" << strPort;
            qDebug() << "Baud:" << nBaud;
            // "off": the service reads no serial port (port 0). A port it cannot
            // address by number is never sent: the user is told instead.
            const int nPort = ConnectDlg::PortNumber(strPort);
            if (nPort >= 0)
                m_pProtocol->SetCommPort(nPort, int(nBaud));
            else
                QMessageBox::warning(this, tr("Serial Port"),
                                     tr("The service cannot read \"%1\": it addresses serial ports by number "
                                        "(\"COM1\", \"COM2\", \u2026). Nothing was changed.")
                                         .arg(strPort));
        }
    });
}

void CMainWindow::on_action_SetTime_DifferenceOffset_triggered()
{
    // The dialog talks to the service itself while it is open (offset, NTP
    // calibration and server); only the accepted offset is sent from here.
    double dOffset = 0.0;
    CTimeDiffOffsetDlg dlg(m_pProtocol, this);
    dlg.setModal(true);
    if (dlg.Execute(dOffset) == QDialog::Accepted)
        m_pProtocol->SetTimeDiffOffset(dOffset);
}

void CMainWindow::on_action_Lock_Criteria_triggered()
{
    m_pProtocol->RequestGPSLockConfig();
}

void CMainWindow::OnRxCmdGPSLockStatus(CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG Data)
{
    OpenDialogLater(m_bGPSLockDialogBusy, "CMainWindow::OnRxCmdGPSLockStatus():", [this, Data] {
        CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG Config = Data;
        CGPSLockConfigDlg dlg(this);
        dlg.setModal(true);
        if (dlg.EditLockConfig(Config) == QDialog::Accepted) {
            qDebug() << "Blatt!";
            m_pProtocol->SetGPSLockConfig(Config);
        }
    });
}

void CMainWindow::on_action_About_triggered()
{
    // Each About box starts its own update check; closing it ends the check.
    CAboutDlg dlg(this);
    dlg.setModal(true);
    dlg.exec();
}

void CMainWindow::on_actionStability_Analysis_triggered()
{
    // Not modal: it follows the records while the panel is used.
    if (!m_pStabilityWindow)
        m_pStabilityWindow = new CStabilityWindow(m_PhaseRecorder, this);
    m_pStabilityWindow->show();
    m_pStabilityWindow->raise();
    m_pStabilityWindow->activateWindow();
}

// ---- Data logs ------------------------------------------------------------------

void CMainWindow::on_actionStart_Control_Loop_Log_triggered()
{
    m_bControlLoopLogStartPending = true;
    m_pProtocol->RequestControlLoopStatusLog();
}

void CMainWindow::on_actionStop_Control_Loop_Log_triggered()
{
    m_pProtocol->StopControlLoopStatusLog();
}

void CMainWindow::on_actionStart_GPS_Data_Log_triggered()
{
    m_bGPSDataLogStartPending = true;
    m_pProtocol->RequestRecordGPSData();
}

void CMainWindow::on_actionStop_GPS_Data_Log_triggered()
{
    m_pProtocol->StopRecordGPSData();
}

void CMainWindow::OnRxCmdControlLoopStatusLog(int nSubCmd, int nFileStatus, int nResult, QString&)
{
    OnLogReply(LOG_CONTROL_LOOP, nSubCmd, nFileStatus, nResult);
}

void CMainWindow::OnRxCmdRecordGPSData(int nSubCmd, int nFileStatus, int nResult, QString&)
{
    OnLogReply(LOG_GPS_DATA, nSubCmd, nFileStatus, nResult);
}

// Status replies (0) say whether the service has the file open (1); start (1)
// and stop (2) replies carry the service's result code (0 = success).
void CMainWindow::OnLogReply(LogKind nKind, int nSubCmd, int nFileStatus, int nResult)
{
    const bool bControlLoop = nKind == LOG_CONTROL_LOOP;
    bool& bPending = bControlLoop ? m_bControlLoopLogStartPending : m_bGPSDataLogStartPending;
    QAction* pStart = bControlLoop ? ui->actionStart_Control_Loop_Log : ui->actionStart_GPS_Data_Log;
    QAction* pStop = bControlLoop ? ui->actionStop_Control_Loop_Log : ui->actionStop_GPS_Data_Log;
    switch (nSubCmd) {
    case 0:
        if (nFileStatus == 0 && bPending)
            AskForLogFile(nKind);
        bPending = false;
        pStart->setEnabled(nFileStatus != 1);
        pStop->setEnabled(nFileStatus == 1);
        break;
    case 1:
        if (nResult != 0)
            qDebug() << "File open fail code:" << nResult;
        else
            qDebug() << "File open success";
        break;
    case 2:
        pStart->setEnabled(true);
        pStop->setEnabled(false);
        break;
    default:
        break;
    }
}

// The file dialog runs from the event loop, after the reply's handler.
void CMainWindow::AskForLogFile(LogKind nKind)
{
    bool& rbBusy = nKind == LOG_CONTROL_LOOP ? m_bControlLoopLogDialogBusy : m_bGPSDataLogDialogBusy;
    OpenDialogLater(rbBusy, "CMainWindow::AskForLogFile():", [this, nKind] {
        if (nKind == LOG_CONTROL_LOOP) {
            const QString strName =
                GetSaveFileName(tr("Save Control Loop Status Log"), tr("Protocol File (*.csv)"));
            if (!strName.isEmpty()) {
                m_pProtocol->StartControlLoopStatusLog(strName);
                m_pProtocol->RequestControlLoopStatusLog();
            }
        } else {
            const QString strName = GetSaveFileName(tr("Save GPS Data"), tr("Protocol File (*.txt)"));
            if (!strName.isEmpty()) {
                m_pProtocol->StartRecordGPSData(strName);
                m_pProtocol->RequestRecordGPSData();
            }
        }
    });
}

// A dialog opened from a reply runs from the event loop once the reply's
// handler has returned (a modal loop inside the socket's read notification
// would keep the socket from reading until more bytes arrived). One dialog per
// busy flag: a reply that arrives while its dialog is open or queued is dropped.
void CMainWindow::OpenDialogLater(bool& rbBusy, const char* pszWhere, const std::function<void()>& fnOpen)
{
    if (rbBusy) {
        qDebug() << pszWhere << "dialog already open, reply dropped";
        return;
    }
    rbBusy = true;
    QTimer::singleShot(0, this, [&rbBusy, fnOpen] {
        fnOpen();
        rbBusy = false;
    });
}

QString CMainWindow::GetSaveFileName(const QString& strCaption, const QString& strFilter)
{
    return QFileDialog::getSaveFileName(this, strCaption, QString(), strFilter);
}

// ---- Position format, units and settings ------------------------------------

void CMainWindow::ApplyPositionFormat(unsigned int nFormat)
{
    m_NavConversions.SetPositionFormat(nFormat);
    m_pGPSStatusWnd->UpdateGPSStatus();
    SaveSettings();
    UpdateNavMenus();
}

void CMainWindow::ApplyAltitudeUnits(unsigned int nUnits)
{
    m_NavConversions.SetAltitudeUnits(nUnits);
    m_pGPSStatusWnd->UpdateGPSStatus();
    SaveSettings();
    UpdateNavMenus();
}

void CMainWindow::on_actionPosFormatDD_MM_MMMM_triggered()
{
    ApplyPositionFormat(CNavConversions::PosFormatDD_MM_MMMM);
}

void CMainWindow::on_actionPosFormatDD_MM_SS_SSS_triggered()
{
    ApplyPositionFormat(CNavConversions::PosFormatDD_MM_SS_SSS);
}

void CMainWindow::on_actionPosFormatDD_DDDD_triggered()
{
    ApplyPositionFormat(CNavConversions::PosFormatDD_DDDD);
}

void CMainWindow::on_action_English_Units_triggered()
{
    ApplyAltitudeUnits(CNavConversions::AltitudeEnglish);
}

void CMainWindow::on_action_Metric_Units_triggered()
{
    ApplyAltitudeUnits(CNavConversions::AltitudeMetric);
}

// The actions form no action group: one check mark per group is kept here.
void CMainWindow::UpdateNavMenus()
{
    ui->actionPosFormatDD_DDDD->setChecked(false);
    ui->actionPosFormatDD_MM_MMMM->setChecked(false);
    ui->actionPosFormatDD_MM_SS_SSS->setChecked(false);
    ui->action_English_Units->setChecked(false);
    ui->action_Metric_Units->setChecked(false);
    switch (m_NavConversions.GetPositionFormat()) {
    case CNavConversions::PosFormatDD_MM_MMMM:
        ui->actionPosFormatDD_MM_MMMM->setChecked(true);
        break;
    case CNavConversions::PosFormatDD_MM_SS_SSS:
        ui->actionPosFormatDD_MM_SS_SSS->setChecked(true);
        break;
    case CNavConversions::PosFormatDD_DDDD:
        ui->actionPosFormatDD_DDDD->setChecked(true);
        break;
    default:
        qDebug() << "WARNING: switch, m_NavConversions.GetPositionFormat() not handled";
        break;
    }
    switch (m_NavConversions.GetAltitudeUnits()) {
    case CNavConversions::AltitudeEnglish:
        ui->action_English_Units->setChecked(true);
        break;
    case CNavConversions::AltitudeMetric:
        ui->action_Metric_Units->setChecked(true);
        break;
    default:
        break;
    }
}

// Values are not range-checked: an unknown one leaves its menu without a mark.
// It must stay unknown across loads and saves: -1 is kept as 4294967295 (and
// reads back as that), while a number outside -2^31 .. 2^32-1 (2^32 would wrap
// to 0) reads as 4294967295, never as a known value. Text that is no number
// reads as 0, the first format and unit.
void CMainWindow::LoadSettings()
{
    QSettings settings(QString::fromLatin1(kSettingsOrganisation), QString::fromLatin1(kSettingsApplication));
    auto read = [&settings](const char* pszKey) {
        const QString strValue = settings.value(QLatin1String(pszKey), QStringLiteral("0")).toString();
        bool bInteger = false, bNumber = false;
        const qlonglong n = strValue.toLongLong(&bInteger);
        strValue.toDouble(&bNumber);
        const unsigned nUnknown = std::numeric_limits<unsigned>::max();
        if (!bInteger)
            return bNumber ? nUnknown : 0u;
        const bool bFits = n >= std::numeric_limits<int>::min() && n <= qlonglong(nUnknown);
        return bFits ? unsigned(n) : nUnknown;
    };
    m_NavConversions.SetPositionFormat(read(kKeyPosFormat));
    m_NavConversions.SetAltitudeUnits(read(kKeyAltitudeUnits));

    // The actions' slots store what they are set to; loading stores nothing.
    const bool bNotify = ReadFlag(settings, kKeyNotify, true);
    const bool bTray = ReadFlag(settings, kKeyShowInTray, false);
    m_bTrayHintShown = ReadFlag(settings, kKeyTrayHintShown, false);
    {
        const QSignalBlocker blockNotify(ui->actionNotify_on_State_Changes);
        const QSignalBlocker blockTray(ui->actionShow_in_System_Tray);
        ui->actionNotify_on_State_Changes->setChecked(bNotify);
        ui->actionShow_in_System_Tray->setChecked(bTray);
    }
    m_pStateNotifier->SetEnabled(bNotify);
    ShowTrayIcon(bTray && ui->actionShow_in_System_Tray->isEnabled());
}

void CMainWindow::SaveSettings()
{
    QSettings settings(QString::fromLatin1(kSettingsOrganisation), QString::fromLatin1(kSettingsApplication));
    settings.setValue(QLatin1String(kKeyPosFormat), QString::number(m_NavConversions.GetPositionFormat()));
    settings.setValue(QLatin1String(kKeyAltitudeUnits), QString::number(m_NavConversions.GetAltitudeUnits()));
}

// ---- Notifications and the tray icon ---------------------------------------------

void CMainWindow::on_actionNotify_on_State_Changes_toggled(bool bChecked)
{
    m_pStateNotifier->SetEnabled(bChecked);
    WriteFlag(kKeyNotify, bChecked);
}

void CMainWindow::on_actionShow_in_System_Tray_toggled(bool bChecked)
{
    ShowTrayIcon(bChecked);
    if (!bChecked && !isVisible())
        show(); // never leave the panel without a way back
    WriteFlag(kKeyShowInTray, bChecked);
}

void CMainWindow::ShowTrayIcon(bool bShow)
{
    // While the icon is shown the panel lives in the tray: closing the last
    // visible window (a dialog or the Stability Analysis window while the main
    // window is hidden) must not end it; only Quit does.
    QGuiApplication::setQuitOnLastWindowClosed(!bShow);
    if (!bShow) {
        delete m_pTrayIcon; // its menu is its child
        m_pTrayIcon = nullptr;
        return;
    }
    if (m_pTrayIcon)
        return;
    m_pTrayIcon = new QSystemTrayIcon(this);
    auto* pMenu = new QMenu(this);
    connect(m_pTrayIcon, &QObject::destroyed, pMenu, &QObject::deleteLater);
    pMenu->addAction(QStringLiteral("&Show/Hide"), this, SLOT(OnTrayShowHide()))
        ->setObjectName("actionTrayShowHide");
    pMenu->addAction(QStringLiteral("&Quit"), this, SLOT(OnTrayQuit()))->setObjectName("actionTrayQuit");
    m_pTrayIcon->setContextMenu(pMenu);
    connect(m_pTrayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason nReason) { OnTrayActivated(int(nReason)); });
    m_colorTrayShown = QColor(); // none drawn yet
    DrawTrayIcon();
    m_pTrayIcon->show();
}

// Keeps the tray's tooltip (the state panel's accessible description) and
// badge colour (its fill) for the icon, shown now or later.
void CMainWindow::UpdateTrayIcon(bool bConnected, int nLoopState, double dEstTimeError)
{
    m_strTrayState = ServiceState::AccessibleDescription(bConnected, nLoopState, dEstTimeError);
    m_colorTrayBadge = ServiceState::Look(bConnected, nLoopState).colorFill;
    DrawTrayIcon();
}

// The icon is drawn again only when the badge's colour changes.
void CMainWindow::DrawTrayIcon()
{
    if (!m_pTrayIcon)
        return;
    m_pTrayIcon->setToolTip(m_strTrayState);
    if (m_colorTrayBadge == m_colorTrayShown)
        return;
    m_colorTrayShown = m_colorTrayBadge;
    const QImage imgBase(QStringLiteral(":/Resources/ToolbarAbout.png"));
    QIcon icon;
    for (int nSize : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(TrayIcon::Render(imgBase, m_colorTrayBadge, nSize)));
    m_pTrayIcon->setIcon(icon);
}

void CMainWindow::OnTrayActivated(int nReason)
{
    if (nReason == QSystemTrayIcon::Trigger)
        OnTrayShowHide();
}

void CMainWindow::OnTrayShowHide()
{
    if (isVisible() && !isMinimized()) {
        hide();
        return;
    }
    showNormal();
    raise();
    activateWindow();
}

void CMainWindow::OnTrayQuit()
{
    m_bQuitting = true;
    if (close())
        QCoreApplication::quit();
}

void CMainWindow::closeEvent(QCloseEvent* pEvent)
{
    if (!m_pTrayIcon || m_bQuitting) {
        QMainWindow::closeEvent(pEvent);
        return;
    }
    pEvent->ignore();
    hide();
    if (!m_bTrayHintShown) {
        m_bTrayHintShown = true;
        WriteFlag(kKeyTrayHintShown, true);
        m_pTrayIcon->showMessage(
            QStringLiteral("Tellurix Panel"),
            QStringLiteral("The panel keeps running in the system tray. Click its icon to "
                           "show the window; choose Quit from its menu to end it."));
    }
}

// ---- Debug mode -----------------------------------------------------------------

void CMainWindow::keyPressEvent(QKeyEvent* pEvent)
{
    // Modifier presses are not part of the sequence: typing it with Shift held
    // must still work.
    switch (pEvent->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_CapsLock:
        return;
    default:
        break;
    }
    if (m_bDebugMode)
        return;
    // A mismatching key is not compared again with the first character.
    if ((pEvent->key() & 0xFF) != static_cast<unsigned char>(m_pszDebugKeys[m_nDebugKeyIndex])) {
        m_nDebugKeyIndex = 0;
        return;
    }
    ++m_nDebugKeyIndex;
    if (m_pszDebugKeys[m_nDebugKeyIndex] == '\0') {
        m_bDebugMode = true;
        qDebug() << "Debug mode enabled!";
        ui->actionSet_Control_Loop_Parameters->setVisible(true);
    }
}

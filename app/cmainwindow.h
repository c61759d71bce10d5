#ifndef CMAINWINDOW_H
#define CMAINWINDOW_H

#include "cbrfnprotocolqt.h"
#include "cgpsdisplaydata.h"
#include "checkforswupdate.h"
#include "cnavconversions.h"
#include "phaserecorder.h"

#include <QColor>
#include <QDateTime>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <functional>

class CDesktopNotifier;
class CGPSStatusWnd;
class CStabilityWindow;
class CStateNotifier;
class CStripChartWidget;
class CTimeStatusWidget;
class QCloseEvent;
class QKeyEvent;
class QSystemTrayIcon;
class QUdpSocket;
class Ui_CMainWindow;

// What the GPS page reads through pointers: the last GPS status in display
// form and the position format and altitude units in force. The window holds
// them as a virtual base: virtual bases are built before and destroyed after
// every other part of the window, QMainWindow and its child widgets included,
// so the page can never point at them after they are gone, not even while
// the window is being destroyed.
struct CMainWindowGPSState
{
    CGPSDisplayData m_GPSData;              // all zero until the first GPS status
    CNavConversions m_NavConversions{0, 0}; // dd mm.mmmm', feet until the settings load
};

// The panel's only top-level window: owns the connection to the service,
// shows the four pages (Status, GPS Status, Loop Status, NMEA Output), routes
// every received record to the displays and every menu action to the service.
class CMainWindow : public QMainWindow, private virtual CMainWindowGPSState
{
    Q_OBJECT

public:
    explicit CMainWindow(QWidget* pParent = nullptr);
    ~CMainWindow() override;

    // The connection to the service; the displays read its connection flag.
    CBRFNProtocolQt* Protocol() const { return m_pProtocol; }

    // Turns a GPS status from the service into the record the GPS page shows.
    static void ConvertGPSStatus(const CBRFNProtocolQt::CMD_DATA_GPS_STATUS& Data, CGPSDisplayData& rDisplay);

    // The one-second epoch: a reading of the clock is an epoch when its second
    // of the minute differs from the last reading's (rnLastSecond, -1 before
    // the first).
    static bool IsNewEpoch(int& rnLastSecond, const QDateTime& now);
    // Counts the epoch (rnEpochCount) and says whether the daily update check
    // starts with it: at every 86400th epoch from the first, and never within
    // 86400 s of the last check (rtNextCheck, seconds since 1970).
    static bool IsUpdateCheckDue(int& rnEpochCount, qint64& rtNextCheck, qint64 tNow);

    // UDP port on which the service sends the NMEA sentences it reads.
    static constexpr quint16 NMEA_PORT = 51502;

signals:
    void SignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS Data);
    void SignalOneSecondEpoch(QDateTime& timeNowUTC);
    void SignalGPSStatus(CBRFNProtocolQt::CMD_DATA_GPS_STATUS& Data);

private slots:
    void OnRxCmdCommPort(CBRFNProtocolQt::CMD_DATA_COMM_PORT Data);
    void OnRxControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS Data);
    void OnRxCmdGPSStatus(CBRFNProtocolQt::CMD_DATA_GPS_STATUS Data);
    void OnRxCmdLoopParameters(CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS Data);
    void OnRxControlLoopStatusHistory(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY& Data);
    void OnRxCmdControlLoopStatusLog(int nSubCmd, int nFileStatus, int nResult, QString& strFileName);
    void OnRxCmdRecordGPSData(int nSubCmd, int nFileStatus, int nResult, QString& strFileName);
    void OnRxCmdGPSLockStatus(CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG Data);
    void on_action_SetupGPSCommunications_triggered();
    void on_action_SetTime_DifferenceOffset_triggered();
    void on_actionSet_Control_Loop_Parameters_triggered();
    void OnBRFNProtocolDisconnected();
    void OnBRFNProtocolConnected();
    void OnFastTimer();
    void on_toolButtonScaleExtent_clicked();
    void on_toolButtonScaleWindow_clicked();
    void on_action_About_triggered();
    void on_checkBoxLocalTime_clicked();
    void OnSoftwareUpdateStatus(CheckForSWUpdate::SW_UPDATE_STATUS nStatus);
    void on_actionStart_Control_Loop_Log_triggered();
    void on_actionStop_Control_Loop_Log_triggered();
    void on_action_Enable_Control_Loop_triggered();
    void on_toolButtonEraseHisory_clicked();
    void on_checkBoxShowStdDev_clicked();
    void on_actionStart_GPS_Data_Log_triggered();
    void on_actionStop_GPS_Data_Log_triggered();
    void on_actionPosFormatDD_MM_MMMM_triggered();
    void on_actionPosFormatDD_MM_SS_SSS_triggered();
    void on_actionPosFormatDD_DDDD_triggered();
    void on_action_English_Units_triggered();
    void on_action_Metric_Units_triggered();
    void OnUdpNmeaReadyRead();
    // Qt's own entries of the NMEA text's menu, then Save As….
    void OnNmeaContextMenu(const QPoint& ptAt);
    void on_action_Lock_Criteria_triggered();
    void on_actionStability_Analysis_triggered();
    void on_actionNotify_on_State_Changes_toggled(bool bChecked);
    void on_actionShow_in_System_Tray_toggled(bool bChecked);
    void OnTrayActivated(int nReason);
    void OnTrayShowHide();
    void OnTrayQuit();

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
    // While the tray icon is shown, closing hides the window to the tray.
    void closeEvent(QCloseEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    enum LogKind
    {
        LOG_CONTROL_LOOP,
        LOG_GPS_DATA
    };

    void AddStatusToCharts(const CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS& Data, bool bRepaint);
    void ApplyLocalTime();
    void StartUpdateCheck();
    QString GetSaveFileName(const QString& strCaption, const QString& strFilter);
    void UpdateNavMenus();
    void LoadSettings();
    void SaveSettings();
    void OnLogReply(LogKind nKind, int nSubCmd, int nFileStatus, int nResult);
    void AskForLogFile(LogKind nKind);
    void OpenDialogLater(bool& rbBusy, const char* pszWhere, const std::function<void()>& fnOpen);
    void ApplyPositionFormat(unsigned int nFormat);
    void ApplyAltitudeUnits(unsigned int nUnits);
    void ShowNmeaText(const QString& strText);
    void HoldNmeaText(const QString& strText);
    void ShowTrayIcon(bool bShow);
    void UpdateTrayIcon(bool bConnected, int nLoopState, double dEstTimeError);
    void DrawTrayIcon();

    CBRFNProtocolQt* m_pProtocol = nullptr;
    CStripChartWidget* m_pTimeDiffChart = nullptr;
    CStripChartWidget* m_pControlChart = nullptr;
    int m_nSampleCount = 0;
    CGPSStatusWnd* m_pGPSStatusWnd = nullptr;
    int m_nLastSecond = -1; // no second of a minute, so the first tick is an epoch
    CTimeStatusWidget* m_pTimeStatusWidget = nullptr;
    bool m_bLocalTime = false;
    CheckForSWUpdate m_SWUpdate;
    bool m_bControlLoopLogStartPending = false;
    bool m_bGPSDataLogStartPending = false;
    bool m_bLoopParametersPending = false;
    bool m_bControlLoopEnabled = false;
    const char* m_pszDebugKeys = nullptr;
    int m_nDebugKeyIndex = 0;
    bool m_bDebugMode = false;
    QUdpSocket* m_pUdpNmea = nullptr;
    QString m_strNmeaHeld; // datagrams' text while the NMEA page is hidden
    int m_nNmeaHeldLines = 0;
    Ui_CMainWindow* ui = nullptr;

    // The time differences of the live records since the link came up or the
    // history was erased, for the Stability Analysis window (created on first
    // use, destroyed before the recorder). Arrival times are seconds of
    // m_ArrivalClock, which runs from the window's construction.
    CPhaseRecorder m_PhaseRecorder;
    QElapsedTimer m_ArrivalClock;
    QPointer<CStabilityWindow> m_pStabilityWindow;
    // Desktop notifications of state changes and the tray icon.
    CStateNotifier* m_pStateNotifier = nullptr;
    CDesktopNotifier* m_pDesktopNotifier = nullptr;
    QSystemTrayIcon* m_pTrayIcon = nullptr; // while "Show in System Tray" is on
    QString m_strTrayState;                 // the tray's tooltip, the state panel's description
    QColor m_colorTrayBadge;                // the state panel's fill
    QColor m_colorTrayShown;                // the badge drawn in the tray's icon now
    bool m_bTrayHintShown = false;          // the balloon on the first hide to the tray
    bool m_bQuitting = false;               // Quit from the tray's menu: closing ends the panel

    // A dialog opened from a reply runs after the reply's handler has
    // returned; one of each kind at a time (open or queued).
    bool m_bCommPortDialogBusy = false;
    bool m_bLoopParametersDialogBusy = false;
    bool m_bGPSLockDialogBusy = false;
    bool m_bControlLoopLogDialogBusy = false;
    bool m_bGPSDataLogDialogBusy = false;

    // Process-wide: epochs emitted so far and the earliest time (seconds since
    // 1970) at which the next update check may start.
    static int s_nEpochCount;
    static qint64 s_tNextUpdateCheck;
};

#endif // CMAINWINDOW_H

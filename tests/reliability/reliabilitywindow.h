#ifndef RELIABILITYWINDOW_H
#define RELIABILITYWINDOW_H

// The main window as the reliability tests drive it: no update check leaves
// the machine, every dialog a reply would open is answered "Cancel" at once,
// and the log save prompt answers with m_strLogName.

#include "cmainwindow.h"

#include <QDialog>
#include <QTabWidget>

class ReliabilityWindow : public CMainWindow
{
public:
    QString m_strLogName;

    enum Page
    {
        STATUS_PAGE = 0,
        GPS_PAGE = 1,
        LOOP_PAGE = 2,
        NMEA_PAGE = 3
    };
    void ShowPage(int nPage) { findChild<QTabWidget*>("tabWidget")->setCurrentIndex(nPage); }

protected:
    static constexpr int kCancel = QDialog::Rejected;
    void StartUpdateCheck() override {}
    QString GetSaveFileName(const QString&, const QString&) override { return m_strLogName; }
    int ExecCommPortDialog(QString&, unsigned int&) override { return kCancel; }
    int ExecTimeDiffOffsetDialog(double&) override { return kCancel; }
    int ExecLoopParametersDialog(CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS&) override { return kCancel; }
    int ExecGPSLockConfigDialog(CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG&) override { return kCancel; }
    void ExecAboutDialog() override {}
};

#endif // RELIABILITYWINDOW_H

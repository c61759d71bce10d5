#ifndef RELIABILITYWINDOW_H
#define RELIABILITYWINDOW_H

// The main window as the reliability tests drive it: no update check leaves
// the machine, and the two dialogs any reply opens are answered "Cancel" at
// once (the others open only on a user's action).

#include "cmainwindow.h"

#include <QDialog>
#include <QTabWidget>

class ReliabilityWindow : public CMainWindow
{
public:
    enum Page
    {
        STATUS_PAGE = 0,
        GPS_PAGE = 1,
        LOOP_PAGE = 2,
        NMEA_PAGE = 3
    };
    void ShowPage(int nPage) { findChild<QTabWidget*>("tabWidget")->setCurrentIndex(nPage); }

protected:
    void StartUpdateCheck() override {}
    int ExecCommPortDialog(QString&, unsigned int&) override { return QDialog::Rejected; }
    int ExecGPSLockConfigDialog(CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG&) override
    {
        return QDialog::Rejected;
    }
};

#endif // RELIABILITYWINDOW_H

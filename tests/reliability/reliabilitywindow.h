#ifndef RELIABILITYWINDOW_H
#define RELIABILITYWINDOW_H

// The main window as the reliability tests drive it: no update check leaves
// the machine, every dialog a reply would open is answered "Cancel" at once
// (counted), and the log save prompt answers with m_strLogName.

#include "cmainwindow.h"

#include <QDialog>
#include <QTabWidget>

#include <cstdio>
#include <unistd.h>

class ReliabilityWindow : public CMainWindow
{
public:
    int m_nDialogs = 0;
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
    void StartUpdateCheck() override {}
    QString GetSaveFileName(const QString&, const QString&) override { return m_strLogName; }
    int ExecCommPortDialog(QString&, unsigned int&) override { return Cancel(); }
    int ExecTimeDiffOffsetDialog(double&) override { return Cancel(); }
    int ExecLoopParametersDialog(CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS&) override { return Cancel(); }
    int ExecGPSLockConfigDialog(CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG&) override { return Cancel(); }
    void ExecAboutDialog() override {}

private:
    int Cancel() { return ++m_nDialogs, QDialog::Rejected; }
};

// Resident memory of this process in bytes (Linux).
inline qint64 ResidentBytes()
{
    long nPages = 0, nResident = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (f) {
        if (std::fscanf(f, "%ld %ld", &nPages, &nResident) != 2)
            nResident = 0;
        std::fclose(f);
    }
    return qint64(nResident) * sysconf(_SC_PAGESIZE);
}

#endif // RELIABILITYWINDOW_H

#ifndef TESTWINDOW_H
#define TESTWINDOW_H

// The main window with its outside world scripted: a settable clock, counted
// update checks, and dialogs that answer as the test says and record how they
// were called.

#include "cmainwindow.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class TestWindow : public CMainWindow
{
public:
    using CMainWindow::CMainWindow;

    // Clock: the real one until a test sets a time.
    QDateTime m_fakeNow;
    QDateTime CurrentDateTimeUtc() const override
    {
        return m_fakeNow.isValid() ? m_fakeNow : CMainWindow::CurrentDateTimeUtc();
    }

    QList<QDateTime> m_updateChecks; // clock reading at each started check
    void StartUpdateCheck() override { m_updateChecks.append(CurrentDateTimeUtc()); }

    // Save-file prompt: returns m_strFileAnswer (empty = cancelled).
    QString m_strFileAnswer;
    QStringList m_fileCaptions, m_fileFilters;
    QString GetSaveFileName(const QString& strCaption, const QString& strFilter) override
    {
        m_fileCaptions.append(strCaption);
        m_fileFilters.append(strFilter);
        return m_strFileAnswer;
    }

    // Every dialog: accepted when m_nDialogResult is 1; the edit hooks change
    // the values as a user would.
    int m_nDialogResult = QDialog::Rejected;
    int m_nDialogRuns = 0;

    QString m_strPortShown;
    unsigned int m_nBaudShown = 0;
    QString m_strPortAnswer;
    unsigned int m_nBaudAnswer = 0;
    int ExecCommPortDialog(QString& strPort, unsigned int& nBaud) override
    {
        ++m_nDialogRuns;
        m_strPortShown = strPort;
        m_nBaudShown = nBaud;
        if (m_nDialogResult == QDialog::Accepted) {
            strPort = m_strPortAnswer;
            nBaud = m_nBaudAnswer;
        }
        return m_nDialogResult;
    }

    double m_dOffsetShown = -1.0;
    double m_dOffsetAnswer = 0.0;
    int ExecTimeDiffOffsetDialog(double& dOffset) override
    {
        ++m_nDialogRuns;
        m_dOffsetShown = dOffset;
        if (m_nDialogResult == QDialog::Accepted)
            dOffset = m_dOffsetAnswer;
        return m_nDialogResult;
    }

    CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS m_loopShown, m_loopAnswer;
    int ExecLoopParametersDialog(CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS& Params) override
    {
        ++m_nDialogRuns;
        m_loopShown = Params;
        if (m_nDialogResult == QDialog::Accepted)
            Params = m_loopAnswer;
        return m_nDialogResult;
    }

    CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG m_lockShown, m_lockAnswer;
    int ExecGPSLockConfigDialog(CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG& Config) override
    {
        ++m_nDialogRuns;
        m_lockShown = Config;
        if (m_nDialogResult == QDialog::Accepted)
            Config = m_lockAnswer;
        return m_nDialogResult;
    }

    int m_nAboutRuns = 0;
    void ExecAboutDialog() override { ++m_nAboutRuns; }
};

#endif // TESTWINDOW_H

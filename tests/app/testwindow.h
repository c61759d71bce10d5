#ifndef TESTWINDOW_H
#define TESTWINDOW_H

// The main window with its outside world scripted: a settable clock, counted
// update checks, and dialogs that answer as the test says and record what
// they were shown.

#include "cmainwindow.h"

#include <QDialog>
#include <QStringList>

class TestWindow : public CMainWindow
{
    using Loop = CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS;
    using Lock = CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG;

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
    QStringList m_fileDialogs; // "caption|filter" of each prompt
    QString GetSaveFileName(const QString& strCaption, const QString& strFilter) override
    {
        m_fileDialogs.append(strCaption + "|" + strFilter);
        return m_strFileAnswer;
    }

    // Every dialog records what it was shown and, when m_nDialogResult is 1,
    // hands back the answer as a user's edit would.
    int m_nDialogResult = QDialog::Rejected;
    int m_nDialogRuns = 0;
    template <typename T> int Run(T& value, T& shown, const T& answer)
    {
        ++m_nDialogRuns;
        shown = value;
        if (m_nDialogResult == QDialog::Accepted)
            value = answer;
        return m_nDialogResult;
    }

    QString m_strPortShown, m_strPortAnswer;
    unsigned int m_nBaudShown = 0, m_nBaudAnswer = 0;
    int ExecCommPortDialog(QString& strPort, unsigned int& nBaud) override
    {
        m_nBaudShown = nBaud;
        if (m_nDialogResult == QDialog::Accepted)
            nBaud = m_nBaudAnswer;
        return Run(strPort, m_strPortShown, m_strPortAnswer);
    }
    double m_dOffsetShown = -1.0, m_dOffsetAnswer = 0.0;
    int ExecTimeDiffOffsetDialog(double& d) override { return Run(d, m_dOffsetShown, m_dOffsetAnswer); }
    Loop m_loopShown, m_loopAnswer;
    int ExecLoopParametersDialog(Loop& p) override { return Run(p, m_loopShown, m_loopAnswer); }
    Lock m_lockShown, m_lockAnswer;
    int ExecGPSLockConfigDialog(Lock& c) override { return Run(c, m_lockShown, m_lockAnswer); }
    int m_nAboutRuns = 0;
    void ExecAboutDialog() override { ++m_nAboutRuns; }
};

#endif // TESTWINDOW_H

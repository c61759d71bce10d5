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

    // The port dialog records what it was shown and, when m_nDialogResult is
    // Accepted, hands back the answer as a user's edit would.
    int m_nDialogResult = QDialog::Rejected;
    int m_nDialogRuns = 0;
    QString m_strPortShown, m_strPortAnswer;
    unsigned int m_nBaudShown = 0, m_nBaudAnswer = 0;
    int ExecCommPortDialog(QString& strPort, unsigned int& nBaud) override
    {
        m_strPortShown = strPort;
        m_nBaudShown = nBaud;
        if (m_nDialogResult == QDialog::Accepted)
            strPort = m_strPortAnswer, nBaud = m_nBaudAnswer;
        return ++m_nDialogRuns, m_nDialogResult;
    }
    // The other dialogs are driven for real by tests/dialogs; here they only count.
    int ExecLoopParametersDialog(Loop&) override { return ++m_nDialogRuns, m_nDialogResult; }
    int ExecGPSLockConfigDialog(Lock&) override { return ++m_nDialogRuns, m_nDialogResult; }
    int ExecTimeDiffOffsetDialog(double&) override { return ++m_nDialogRuns, m_nDialogResult; }
    void ExecAboutDialog() override { ++m_nDialogRuns; }
};

#endif // TESTWINDOW_H

#ifndef TESTWINDOW_H
#define TESTWINDOW_H

// The main window with its outside world scripted: a settable clock, counted
// update checks, and dialogs that answer as the test says and record what
// they were shown.

#include "cmainwindow.h"

#include <QDialog>

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
    int m_nFileDialogs = 0;
    QString GetSaveFileName(const QString&, const QString&) override
    {
        ++m_nFileDialogs;
        return m_strFileAnswer;
    }

    // The port dialog records what it was shown ("port baud") and hands back
    // m_strPortAnswer at 9600 baud as a user's choice.
    QString m_strShown, m_strPortAnswer;
    int ExecCommPortDialog(QString& strPort, unsigned int& nBaud) override
    {
        m_strShown = strPort + ' ' + QString::number(nBaud);
        strPort = m_strPortAnswer;
        nBaud = 9600;
        return QDialog::Accepted;
    }
    // The real dialogs are driven by tests/dialogs; here a reply must not open this one.
    int m_nLoopDialogs = 0;
    int ExecLoopParametersDialog(CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS&) override
    {
        ++m_nLoopDialogs;
        return QDialog::Rejected;
    }
};

#endif // TESTWINDOW_H

#ifndef CABOUTDLG_H
#define CABOUTDLG_H

#include "checkforswupdate.h"

#include <QDialog>
#include <QString>

#include <memory>

class Ui_CAboutDlg;

// The About box: the panel's picture, its version, a link to the product's
// web page, and a status line that tells whether a newer release exists.
// Every About box starts its own update check when it is built and shows the
// outcome when the check reports (at the latest when the check times out);
// the checker is its child, so a report due after the box has closed goes
// nowhere. A box built with checks turned off creates no checker and says so
// at once.
//
// The status line is 91 px tall: the longest status takes three lines of a
// 9 pt sans font, more than a two-line 41 px label shows.
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    // strWebServer (scheme and host) serves the version document and the web
    // page; nTimeoutMs bounds the wait for the document; bCheck (the build's
    // setting unless given) says whether the box checks at all.
    explicit CAboutDlg(QWidget* pParent = nullptr,
                       const QString& strWebServer = CheckForSWUpdate::WebServer(),
                       int nTimeoutMs = CheckForSWUpdate::TIMEOUT_MS,
                       bool bCheck = CheckForSWUpdate::ChecksEnabled());
    ~CAboutDlg() override;

private slots:
    void OnSoftwareUpdateStatus(CheckForSWUpdate::SW_UPDATE_STATUS nStatus);

private:
    std::unique_ptr<Ui_CAboutDlg> ui;
    CheckForSWUpdate* m_pSWUpdate = nullptr;
};

#endif // CABOUTDLG_H

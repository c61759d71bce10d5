#ifndef CGPSLOCKCONFIGDLG_H
#define CGPSLOCKCONFIGDLG_H

#include "cbrfnprotocolqt.h"

#include <QDialog>

#include <memory>

class Ui_CGPSLockConfigDlg;

// Edits the service's GPS lock delay: whether it applies and how many seconds
// it lasts. The two are independent: a delay can be set while it is off. It
// does not talk to the service: the window fetches, runs and sends.
class CGPSLockConfigDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CGPSLockConfigDlg(QWidget* pParent = nullptr);
    ~CGPSLockConfigDlg() override;

    // Shows the setting and runs the dialog. On acceptance writes back the
    // check box and the delay field as a whole number (0 when it holds none);
    // on rejection Config is untouched. Returns the QDialog result.
    int EditLockConfig(CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG& Config);

private:
    std::unique_ptr<Ui_CGPSLockConfigDlg> ui;
};

#endif // CGPSLOCKCONFIGDLG_H

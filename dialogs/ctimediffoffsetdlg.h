#ifndef CTIMEDIFFOFFSETDLG_H
#define CTIMEDIFFOFFSETDLG_H

#include "cbrfnprotocolqt.h"

#include <QDialog>
#include <QString>

#include <memory>

class Ui_CTimeDiffOffsetDlg;

// Edits the time difference offset, the seconds the service adds to the
// measured difference between GPS time and the system clock. Unlike the other
// configuration dialogs it talks to the service itself while it is open: it
// fetches the offset, starts a fresh NTP calibration and shows its estimate,
// and sets the NTP server. The offset itself is sent by the caller.
class CTimeDiffOffsetDlg : public QDialog
{
    Q_OBJECT

public:
    // Asks the service for its offset, a new calibration and its NTP server.
    // pProtocol must outlive the dialog (the window owns both).
    CTimeDiffOffsetDlg(CBRFNProtocolQt* pProtocol, QWidget* pParent = nullptr);
    ~CTimeDiffOffsetDlg() override;

    // Runs the dialog; on acceptance dOffset becomes the number in the offset
    // field (0 when it holds none). Returns the QDialog result.
    int Execute(double& dOffset);

private slots:
    void OnCmdNTPCalibration(CBRFNProtocolQt::CMD_DATA_NTP_CALIBRATION Data);
    void OnRxCmdTimeDiffOffset(CBRFNProtocolQt::CMD_DATA_TIME_DIFF_OFFSET Data);
    void OnRxCmdForceNTPCalibration();
    void OnCmdNTPAddress(CBRFNProtocolQt::CMD_DATA_NTP_CALIBRATION Data);
    void on_buttonUpdate_clicked();
    void on_buttonApplyCalibration_clicked();
    void on_buttonNTPServer_clicked();

private:
    std::unique_ptr<Ui_CTimeDiffOffsetDlg> ui;
    CBRFNProtocolQt* m_pProtocol = nullptr; // not owned
    QString m_strNTPAddress;                // as the service last reported it
};

#endif // CTIMEDIFFOFFSETDLG_H

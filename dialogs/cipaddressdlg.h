#ifndef CIPADDRESSDLG_H
#define CIPADDRESSDLG_H

#include <QDialog>
#include <QString>

#include <memory>

class CBRFNProtocolQt;
class Ui_CIPAddressDlg;

// Edits the address of the NTP server the service calibrates against. Free
// text, not checked: the caller sends whatever the user accepted.
class CIPAddressDlg : public QDialog
{
    Q_OBJECT

public:
    // The dialog sends nothing itself; the client is the caller's.
    explicit CIPAddressDlg(CBRFNProtocolQt* pProtocol, QWidget* pParent = nullptr);
    ~CIPAddressDlg() override;

    // Shows strAddress and runs the dialog; on acceptance strAddress becomes
    // the edited text (empty included). Returns the QDialog result.
    int Execute(QString& strAddress);

private:
    std::unique_ptr<Ui_CIPAddressDlg> ui;
};

#endif // CIPADDRESSDLG_H

#include "cipaddressdlg.h"

#include "dialogfields.h"
#include "ui_cipaddressdlg.h"

CIPAddressDlg::CIPAddressDlg(CBRFNProtocolQt*, QWidget* pParent)
    : QDialog(pParent), ui(std::make_unique<Ui_CIPAddressDlg>())
{
    ui->setupUi(this);
    DialogFields::LayOutNow(this);
}

CIPAddressDlg::~CIPAddressDlg() = default;

int CIPAddressDlg::Execute(QString& strAddress)
{
    ui->editAddress->setText(strAddress);
    const int nResult = exec();
    if (nResult == QDialog::Accepted)
        strAddress = ui->editAddress->text();
    return nResult;
}

#include "cgpslockconfigdlg.h"

#include "dialogfields.h"
#include "ui_cgpslockconfigdlg.h"

CGPSLockConfigDlg::CGPSLockConfigDlg(QWidget* pParent)
    : QDialog(pParent), ui(std::make_unique<Ui_CGPSLockConfigDlg>())
{
    ui->setupUi(this);
    DialogFields::LayOutNow(this);
}

CGPSLockConfigDlg::~CGPSLockConfigDlg() = default;

int CGPSLockConfigDlg::EditLockConfig(CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG& Config)
{
    ui->checkBoxEnableGPSLockDelay->setChecked(Config.bEnable);
    // Shown as a signed number, and read back the same way: what the field
    // shows is what is sent.
    ui->lineEditGPSLockDelay->setText(QString::asprintf("%d", int(Config.nDelay)));
    const int nResult = exec();
    if (nResult == QDialog::Accepted) {
        Config.bEnable = ui->checkBoxEnableGPSLockDelay->isChecked();
        Config.nDelay = uint32_t(ui->lineEditGPSLockDelay->text().toInt(nullptr, 10));
    }
    return nResult;
}

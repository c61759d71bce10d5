#include "cgpslockconfigdlg.h"

#include "dialogfields.h"
#include "ui_cgpslockconfigdlg.h"

CGPSLockConfigDlg::CGPSLockConfigDlg(QWidget* pParent)
    : QDialog(pParent), ui(std::make_unique<Ui_CGPSLockConfigDlg>())
{
    ui->setupUi(this);
    // Whole seconds, as the service holds them: 0 to 4294967295.
    DialogFields::WatchNumberFields(ui->buttonBox->button(QDialogButtonBox::Ok),
                                    {{ui->lineEditGPSLockDelay, {0, 4294967295.0, true}}});
    DialogFields::LayOutNow(this);
}

CGPSLockConfigDlg::~CGPSLockConfigDlg() = default;

int CGPSLockConfigDlg::EditLockConfig(CBRFNProtocolQt::CMD_DATA_GPS_LOCK_CONFIG& Config)
{
    ui->checkBoxEnableGPSLockDelay->setChecked(Config.bEnable);
    ui->lineEditGPSLockDelay->setText(QString::number(Config.nDelay));
    double dDelay = 0;
    if (exec() != QDialog::Accepted || !DialogFields::ReadNumber(ui->lineEditGPSLockDelay, &dDelay))
        return QDialog::Rejected;
    Config.bEnable = ui->checkBoxEnableGPSLockDelay->isChecked();
    Config.nDelay = uint32_t(dDelay);
    return QDialog::Accepted;
}

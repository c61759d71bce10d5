#include "cloopparametersdlg.h"

#include "dialogfields.h"
#include "ui_cloopparametersdlg.h"

CLoopParametersDlg::CLoopParametersDlg(QWidget* pParent)
    : QDialog(pParent), ui(std::make_unique<Ui_CLoopParametersDlg>())
{
    ui->setupUi(this);
    DialogFields::WatchNumberFields(
        ui->buttonBox->button(QDialogButtonBox::Ok),
        {{ui->editTimeConstant, {}}, {ui->editGain, {}}, {ui->editDamping, {}}, {ui->editDetectorGain, {}}});
    DialogFields::LayOutNow(this);
}

CLoopParametersDlg::~CLoopParametersDlg() = default;

int CLoopParametersDlg::EditLoopParameters(CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS& Params)
{
    // A reset is asked for afresh each time: the box starts unchecked.
    ui->editTimeConstant->setText(QString::asprintf("%g", Params.dTimeConstant));
    ui->editGain->setText(QString::asprintf("%g", Params.dGain));
    ui->editDamping->setText(QString::asprintf("%g", Params.dDamping));
    ui->editDetectorGain->setText(QString::asprintf("%g", Params.dDetectorGain));
    CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS edited = Params;
    if (exec() != QDialog::Accepted ||
        !DialogFields::ReadNumber(ui->editTimeConstant, &edited.dTimeConstant) ||
        !DialogFields::ReadNumber(ui->editGain, &edited.dGain) ||
        !DialogFields::ReadNumber(ui->editDamping, &edited.dDamping) ||
        !DialogFields::ReadNumber(ui->editDetectorGain, &edited.dDetectorGain))
        return QDialog::Rejected;
    edited.bLoopEnabled = ui->cbResetLoop->isChecked() ? 1 : 0;
    Params = edited;
    return QDialog::Accepted;
}

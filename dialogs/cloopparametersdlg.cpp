#include "cloopparametersdlg.h"

#include "dialogfields.h"
#include "ui_cloopparametersdlg.h"

CLoopParametersDlg::CLoopParametersDlg(QWidget* pParent)
    : QDialog(pParent), ui(std::make_unique<Ui_CLoopParametersDlg>())
{
    ui->setupUi(this);
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
    const int nResult = exec();
    if (nResult == QDialog::Accepted) {
        Params.dTimeConstant = DialogFields::ToDouble(ui->editTimeConstant->text());
        Params.dGain = DialogFields::ToDouble(ui->editGain->text());
        Params.dDamping = DialogFields::ToDouble(ui->editDamping->text());
        Params.dDetectorGain = DialogFields::ToDouble(ui->editDetectorGain->text());
        Params.bLoopEnabled = ui->cbResetLoop->isChecked() ? 1 : 0;
    }
    return nResult;
}

#include "ctimediffoffsetdlg.h"

#include "cipaddressdlg.h"
#include "dialogfields.h"
#include "ui_ctimediffoffsetdlg.h"

CTimeDiffOffsetDlg::CTimeDiffOffsetDlg(CBRFNProtocolQt* pProtocol, QWidget* pParent)
    : QDialog(pParent), ui(std::make_unique<Ui_CTimeDiffOffsetDlg>()), m_pProtocol(pProtocol)
{
    ui->setupUi(this);
    DialogFields::WatchNumberFields(ui->buttonBox->button(QDialogButtonBox::Ok), {{ui->editOffset, {}}});
    DialogFields::LayOutNow(this);

    connect(m_pProtocol, SIGNAL(RxCmdNTPCalibration(CBRFNProtocolQt::CMD_DATA_NTP_CALIBRATION)), this,
            SLOT(OnCmdNTPCalibration(CBRFNProtocolQt::CMD_DATA_NTP_CALIBRATION)));
    connect(m_pProtocol, SIGNAL(RxCmdTimeDiffOffset(CBRFNProtocolQt::CMD_DATA_TIME_DIFF_OFFSET)), this,
            SLOT(OnRxCmdTimeDiffOffset(CBRFNProtocolQt::CMD_DATA_TIME_DIFF_OFFSET)));
    connect(m_pProtocol, SIGNAL(RxCmdForceNTPCalibration()), this, SLOT(OnRxCmdForceNTPCalibration()));
    connect(m_pProtocol, SIGNAL(RxCmdNTPAddress(CBRFNProtocolQt::CMD_DATA_NTP_CALIBRATION)), this,
            SLOT(OnCmdNTPAddress(CBRFNProtocolQt::CMD_DATA_NTP_CALIBRATION)));

    // Every opening asks for a fresh calibration; its estimate arrives once
    // the service reports it ready.
    m_pProtocol->RequestTimeDiffOffset();
    m_pProtocol->ForceNTPCalibration();
    m_pProtocol->RequestNTPAddress();
}

CTimeDiffOffsetDlg::~CTimeDiffOffsetDlg() = default;

int CTimeDiffOffsetDlg::Execute(double& dOffset)
{
    if (exec() != QDialog::Accepted || !DialogFields::ReadNumber(ui->editOffset, &dOffset))
        return QDialog::Rejected;
    return QDialog::Accepted;
}

// The service's value replaces the field at once, even while it is being
// edited: what the field shows is what the service holds.
void CTimeDiffOffsetDlg::OnRxCmdTimeDiffOffset(CBRFNProtocolQt::CMD_DATA_TIME_DIFF_OFFSET Data)
{
    ui->editOffset->setText(QString::asprintf("%G", Data.dTimeDiffOffset));
}

// 99999.9: the service got no NTP response.
void CTimeDiffOffsetDlg::OnCmdNTPCalibration(CBRFNProtocolQt::CMD_DATA_NTP_CALIBRATION Data)
{
    ui->label_EstimatedCalibratedValue->setText(QString::asprintf("%G", Data.dEstCalibration));
}

void CTimeDiffOffsetDlg::OnCmdNTPAddress(CBRFNProtocolQt::CMD_DATA_NTP_CALIBRATION Data)
{
    m_strNTPAddress = Data.strNTPAddress;
}

// The calibration is ready: fetch its value.
void CTimeDiffOffsetDlg::OnRxCmdForceNTPCalibration()
{
    m_pProtocol->RequestNTPCalibration();
}

void CTimeDiffOffsetDlg::on_buttonUpdate_clicked()
{
    m_pProtocol->ForceNTPCalibration();
}

// The estimate is copied as shown, so OK sends exactly what the user saw.
void CTimeDiffOffsetDlg::on_buttonApplyCalibration_clicked()
{
    ui->editOffset->setText(ui->label_EstimatedCalibratedValue->text());
}

// The new server takes effect in the service at once, whether or not this
// dialog is accepted afterwards.
void CTimeDiffOffsetDlg::on_buttonNTPServer_clicked()
{
    CIPAddressDlg dlg(m_pProtocol, this);
    dlg.setModal(true);
    QString strAddress = m_strNTPAddress;
    if (dlg.Execute(strAddress) == QDialog::Accepted) {
        m_strNTPAddress = strAddress;
        m_pProtocol->SetNTPAddress(m_strNTPAddress);
    }
}

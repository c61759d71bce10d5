#include "connectdlg.h"

#include "dialogfields.h"
#include "ui_connectdlg.h"

#include <QSerialPortInfo>

namespace {
const int kBaudRates[] = {4800, 9600, 19200, 38400, 57600, 115200};

QList<ConnectDlg::PortEntry> SystemPorts()
{
    QList<ConnectDlg::PortEntry> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.append(
            {QStringLiteral("%1 - %2").arg(info.portName(), info.description()), info.systemLocation()});
    return ports;
}
} // namespace

QList<ConnectDlg::PortEntry> (*ConnectDlg::s_pfnLister)() = nullptr;

ConnectDlg::ConnectDlg(QWidget* pParent) : QDialog(pParent), ui(std::make_unique<Ui_ConnectDlg>())
{
    ui->setupUi(this);
    ui->cbPortList->addItem(tr("Off"), QStringLiteral("off"));
    for (const PortEntry& port : s_pfnLister ? s_pfnLister() : SystemPorts())
        ui->cbPortList->addItem(port.strText, port.strLocation);
    for (int nRate : kBaudRates)
        ui->cbBaudList->addItem(QString::number(nRate), nRate);
    DialogFields::LayOutNow(this);
}

ConnectDlg::~ConnectDlg() = default;

int ConnectDlg::Execute(QString& strPort, unsigned int& nBaud)
{
    // Only an exact match is preselected; any other rate leaves the edit
    // field empty.
    ui->cbBaudList->setCurrentIndex(
        ui->cbBaudList->findText(QString::number(nBaud), Qt::MatchExactly | Qt::MatchCaseSensitive));
    // The first entry that contains the port, in any case ("COM1" also picks a
    // "COM10" listed before it), else "Off".
    ui->cbPortList->setCurrentIndex(qMax(0, ui->cbPortList->findText(strPort, Qt::MatchContains)));
    const int nResult = exec();
    if (nResult == QDialog::Accepted) {
        strPort = ui->cbPortList->currentData().toString();
        nBaud = unsigned(ui->cbBaudList->currentText().toInt(nullptr, 10));
    }
    return nResult;
}

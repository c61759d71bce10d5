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
        ui->cbPortList->addItem(
            PortNumber(port.strLocation) < 0 ? tr("%1 (not addressable)").arg(port.strText) : port.strText,
            port.strLocation);
    for (int nRate : kBaudRates)
        ui->cbBaudList->addItem(QString::number(nRate), nRate);
    DialogFields::WatchNumberFields(ui->buttonBox->button(QDialogButtonBox::Ok),
                                    {{ui->cbBaudList->lineEdit(), {1, 4000000, true}}});
    DialogFields::LayOutNow(this);
}

ConnectDlg::~ConnectDlg() = default;

int ConnectDlg::Execute(QString& strPort, unsigned int& nBaud)
{
    // Only an exact match is preselected; any other rate is the box's text.
    const QString strRate = QString::number(nBaud);
    ui->cbBaudList->setCurrentIndex(
        ui->cbBaudList->findText(strRate, Qt::MatchExactly | Qt::MatchCaseSensitive));
    if (ui->cbBaudList->currentIndex() < 0)
        ui->cbBaudList->setEditText(strRate);
    // The first entry that contains the port, in any case ("COM1" also picks a
    // "COM10" listed before it); a port the service reads but this computer
    // does not list is added; "Off" for port 0.
    int nPort = ui->cbPortList->findText(strPort, Qt::MatchContains);
    if (nPort < 0 && PortNumber(strPort) > 0) {
        ui->cbPortList->addItem(tr("%1 (current)").arg(strPort), strPort);
        nPort = ui->cbPortList->count() - 1;
    }
    ui->cbPortList->setCurrentIndex(qMax(0, nPort));
    double dBaud = 0;
    if (exec() != QDialog::Accepted || !DialogFields::ReadNumber(ui->cbBaudList->lineEdit(), &dBaud))
        return QDialog::Rejected;
    strPort = ui->cbPortList->currentData().toString();
    nBaud = unsigned(dBaud);
    return QDialog::Accepted;
}

int ConnectDlg::PortNumber(const QString& strPort)
{
    if (strPort == QLatin1String("off"))
        return 0;
    const QStringList parts = strPort.split(QLatin1Char('M'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    bool bOk = false;
    const int nPort = parts.size() >= 2 ? parts.at(1).toInt(&bOk, 10) : 0;
    return bOk && nPort > 0 ? nPort : -1;
}

#ifndef CONNECTDLG_H
#define CONNECTDLG_H

#include <QDialog>
#include <QList>
#include <QString>

#include <memory>

class Ui_ConnectDlg;

// Chooses the serial port and baud rate on which the service reads the GPS
// receiver. The port list holds "Off" (the service reads no serial port) and
// the computer's serial ports; the baud box offers the usual rates and takes
// any typed one.
class ConnectDlg : public QDialog
{
    Q_OBJECT

public:
    // One serial port as the list shows it.
    struct PortEntry
    {
        QString strText;     // "name - description"
        QString strLocation; // handed back when chosen, e.g. "/dev/ttyUSB0"
    };

    // Lists the serial ports present on the computer.
    explicit ConnectDlg(QWidget* pParent = nullptr);
    // Lists the given ports instead.
    explicit ConnectDlg(const QList<PortEntry>& ports, QWidget* pParent = nullptr);
    ~ConnectDlg() override;

    // The computer's serial ports, in the order the system lists them.
    static QList<PortEntry> AvailablePorts();

    // Shows the service's port ("COM3") and baud rate and runs the dialog. On
    // acceptance strPort becomes "off" or the chosen port's location and nBaud
    // the baud text as a number (0 when it is none); on rejection both stay.
    // Returns the QDialog result (1 when accepted).
    int Execute(QString& strPort, unsigned int& nBaud);

private:
    std::unique_ptr<Ui_ConnectDlg> ui;
};

#endif // CONNECTDLG_H

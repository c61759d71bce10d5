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

    // Lists "Off" and the computer's serial ports, in the order the system
    // lists them, or what the lister set below returns.
    explicit ConnectDlg(QWidget* pParent = nullptr);
    ~ConnectDlg() override;

    // Replaces the system's port list (nullptr: the system's again), for a
    // machine whose serial hardware is not the one to be shown.
    static void SetPortLister(QList<PortEntry> (*pfnLister)()) { s_pfnLister = pfnLister; }

    // Shows the service's port ("COM3") and baud rate and runs the dialog. On
    // acceptance strPort becomes "off" or the chosen port's location and nBaud
    // the baud text as a number (0 when it is none); on rejection both stay.
    // Returns the QDialog result (1 when accepted).
    int Execute(QString& strPort, unsigned int& nBaud);

private:
    std::unique_ptr<Ui_ConnectDlg> ui;
    static QList<PortEntry> (*s_pfnLister)();
};

#endif // CONNECTDLG_H

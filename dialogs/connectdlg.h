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

    // Shows the service's port ("COM3") and baud rate and runs the dialog. A
    // current port this computer does not list is its own entry ("COM3
    // (current)") and a current rate not in the list the box's text, so that
    // accepting unchanged keeps both. On acceptance strPort becomes "off" or
    // the chosen port's location and nBaud the typed rate (1 to 4000000; OK
    // stays disabled for any other text); on rejection both stay. Returns the
    // QDialog result (1 when accepted).
    int Execute(QString& strPort, unsigned int& nBaud);

    // The number by which the service addresses a chosen port: 0 for "off",
    // else the number after the first "M" ("COM3": 3), or -1 when that is no
    // positive number ("/dev/ttyACM0", "/dev/ttyAMA0", "/dev/ttyUSB0"): such a
    // port cannot be chosen for the service, and the list marks it.
    static int PortNumber(const QString& strPort);

private:
    std::unique_ptr<Ui_ConnectDlg> ui;
    static QList<PortEntry> (*s_pfnLister)();
};

#endif // CONNECTDLG_H

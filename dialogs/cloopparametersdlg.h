#ifndef CLOOPPARAMETERSDLG_H
#define CLOOPPARAMETERSDLG_H

#include "cbrfnprotocolqt.h"

#include <QDialog>

#include <memory>

class Ui_CLoopParametersDlg;

// Edits the four tuning parameters of the service's clock control loop and
// can ask for a loop reset. It does not talk to the service: the window
// fetches the parameters, runs the dialog and sends the result.
class CLoopParametersDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CLoopParametersDlg(QWidget* pParent = nullptr);
    ~CLoopParametersDlg() override;

    // Shows the parameters ("%g", six significant digits) and runs the
    // dialog. On acceptance writes back the four numbers as shown in the
    // fields (0 for a field that holds none) and, in bLoopEnabled, the reset
    // request; on rejection Params is untouched. Returns the QDialog result.
    int EditLoopParameters(CBRFNProtocolQt::CMD_DATA_LOOP_PARAMETERS& Params);

private:
    std::unique_ptr<Ui_CLoopParametersDlg> ui;
};

#endif // CLOOPPARAMETERSDLG_H

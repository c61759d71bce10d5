#ifndef CSYSTEMSTATUSWIDGET_H
#define CSYSTEMSTATUSWIDGET_H

#include "cbrfnprotocolqt.h"

#include <QWidget>

class CMainWindow;

// The service state panel of the Status page: the state of the service's
// control loop ("Locked", "Holdover", ... or "No Service") and its estimated
// time error.
//
// Still to come: the painting of the state word and the error line in the
// state's colours. Until then the widget keeps the latest record and paints
// only its background.
class CSystemStatusWidget : public QWidget
{
    Q_OBJECT

public:
    CSystemStatusWidget(CMainWindow* pMainWindow, QWidget* pParent);

public slots:
    void OnSignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS Data);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    CMainWindow* m_pMainWindow;
    CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS m_Status;
};

#endif // CSYSTEMSTATUSWIDGET_H

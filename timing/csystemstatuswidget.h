#ifndef CSYSTEMSTATUSWIDGET_H
#define CSYSTEMSTATUSWIDGET_H

#include "cbrfnprotocolqt.h"

#include <QColor>
#include <QString>
#include <QWidget>

class CMainWindow;

// The service state panel of the Status page: the state of the service's
// control loop ("Locked", "Holdover", ... or "No Service") in the state's
// colours, with the service's estimated time error below it.
class CSystemStatusWidget : public QWidget
{
    Q_OBJECT

public:
    CSystemStatusWidget(CMainWindow* pMainWindow, QWidget* pParent);

    // One row of the service-state table.
    struct STATE_LOOK
    {
        const char* pszText;
        QColor colorFill;
        QColor colorText; // outline and text
    };
    // The connection decides first: without one it is "No Service" whatever
    // the last record said; then the loop state, "Unknown" outside 0..8.
    static STATE_LOOK StateLook(bool bConnected, int nLoopState);
    // "Estimated Time Error: ..." in seconds above 0.5 s, else in
    // milliseconds; only a locked loop (state 6) has one.
    static QString ErrorText(int nLoopState, double dEstTimeError);

public slots:
    void OnSignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS Data);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    CMainWindow* m_pMainWindow;
    CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS m_Status;
};

#endif // CSYSTEMSTATUSWIDGET_H

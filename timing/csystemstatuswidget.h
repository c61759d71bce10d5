#ifndef CSYSTEMSTATUSWIDGET_H
#define CSYSTEMSTATUSWIDGET_H

#include "cbrfnprotocolqt.h"

#include <QWidget>

// The service state panel of the Status page: the state of the service's
// control loop ("Locked", "Holdover", ... or "No Service") in the state's
// colours, with the service's estimated time error below it. The owner
// connects its control-loop status records to OnSignalControlLoopStatus.
class CSystemStatusWidget : public QWidget
{
    Q_OBJECT

public:
    // pLink, the connection to the service, outlives the panel; its
    // connection flag is read at every paint.
    CSystemStatusWidget(const CBRFNProtocolQt* pLink, QWidget* pParent);

public slots:
    void OnSignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS Data);

    // Room for the longest state word over the error line, broken in two,
    // at the legible size.
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    const CBRFNProtocolQt* m_pLink;
    CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS m_Status;
};

#endif // CSYSTEMSTATUSWIDGET_H

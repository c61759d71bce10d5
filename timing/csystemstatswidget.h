#ifndef CSYSTEMSTATSWIDGET_H
#define CSYSTEMSTATSWIDGET_H

#include "cbrfnprotocolqt.h"

#include <QString>
#include <QWidget>

class CMainWindow;

// The statistics panel of the Status page: the one-sigma spread of the time
// difference, the number of samples behind it and the NMEA sentences the
// service takes its time from.
//
// Still to come: the painting of the three lines. Until then the widget keeps
// the latest record and time source and paints only its background.
class CSystemStatsWidget : public QWidget
{
    Q_OBJECT

public:
    CSystemStatsWidget(CMainWindow* pMainWindow, QWidget* pParent);

public slots:
    void OnSignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS Data);
    void OnGPSStatus(CBRFNProtocolQt::CMD_DATA_GPS_STATUS& Data);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    CMainWindow* m_pMainWindow;
    CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS m_Status;
    QString m_strTimeSource;
};

#endif // CSYSTEMSTATSWIDGET_H

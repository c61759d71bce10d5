#ifndef CSYSTEMSTATSWIDGET_H
#define CSYSTEMSTATSWIDGET_H

#include "cbrfnprotocolqt.h"

#include <QString>
#include <QWidget>

// The statistics panel of the Status page: the one-sigma spread of the time
// difference, the number of samples behind it and the NMEA sentences the
// service takes its time from. The owner connects its control-loop and GPS
// status records to the two slots.
class CSystemStatsWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CSystemStatsWidget(QWidget* pParent);

public slots:
    void OnSignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS Data);
    void OnGPSStatus(CBRFNProtocolQt::CMD_DATA_GPS_STATUS& Data);

    // Room for the three lines at the legible size.
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS m_Status;
    QString m_strTimeSource; // "--" until the first GPS status
};

#endif // CSYSTEMSTATSWIDGET_H

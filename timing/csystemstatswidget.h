#ifndef CSYSTEMSTATSWIDGET_H
#define CSYSTEMSTATSWIDGET_H

#include "cbrfnprotocolqt.h"

#include <QString>
#include <QWidget>

class CMainWindow;

// The statistics panel of the Status page: the one-sigma spread of the time
// difference, the number of samples behind it and the NMEA sentences the
// service takes its time from.
class CSystemStatsWidget : public QWidget
{
    Q_OBJECT

public:
    CSystemStatsWidget(CMainWindow* pMainWindow, QWidget* pParent);

    // The three lines: spread in ms up to 0.8 s, else in seconds; samples;
    // time source.
    static QString StatsText(const CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS& Status,
                             const QString& strTimeSource);

public slots:
    void OnSignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS Data);
    void OnGPSStatus(CBRFNProtocolQt::CMD_DATA_GPS_STATUS& Data);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    CMainWindow* m_pMainWindow;
    CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS m_Status;
    QString m_strTimeSource; // "--" until the first GPS status
};

#endif // CSYSTEMSTATSWIDGET_H

#ifndef CTIMESTATUSWIDGET_H
#define CTIMESTATUSWIDGET_H

#include <QDateTime>
#include <QWidget>

class CMainWindow;

// The clock of the Status page: the time of day with the date below it, in
// local time or UTC, repainted once a second.
//
// Still to come: the painting of the time and date. Until then the widget
// repaints every second and paints only its background.
class CTimeStatusWidget : public QWidget
{
    Q_OBJECT

public:
    CTimeStatusWidget(CMainWindow* pMainWindow, QWidget* pParent);

    // true: local time; false: UTC. Written by the main window, which repaints.
    bool m_bShowLocalTime;

public slots:
    void OnSignalOneSecondEpoch(QDateTime& timeNowUTC);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    CMainWindow* m_pMainWindow;
};

#endif // CTIMESTATUSWIDGET_H

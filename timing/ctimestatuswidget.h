#ifndef CTIMESTATUSWIDGET_H
#define CTIMESTATUSWIDGET_H

#include <QDateTime>
#include <QWidget>

// The clock of the Status page: the time of day in large bold digits with the
// date below it, in local time or UTC. Repainted once a second; every paint
// reads the computer's clock. The owner connects its one-second epoch to
// OnSignalOneSecondEpoch.
class CTimeStatusWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CTimeStatusWidget(QWidget* pParent);

    // true: local time; false: UTC. Written by the main window, which repaints.
    bool m_bShowLocalTime;

public slots:
    void OnSignalOneSecondEpoch(QDateTime& timeNowUTC);

    // Room for the time over the date at the legible size.
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
};

#endif // CTIMESTATUSWIDGET_H

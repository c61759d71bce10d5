#ifndef CAZIMUTHELEVATIONWND_H
#define CAZIMUTHELEVATIONWND_H

#include "cgpsdisplaydata.h"

#include <QWidget>

// Polar sky plot: the horizon circle, the 45° elevation ring and a
// north-south / east-west cross, with a marker and PRN label for every
// satellite whose azimuth and elevation are known. Satellites in the
// solution and outside it get different markers.
class CAzimuthElevationWnd : public QWidget
{
    Q_OBJECT

public:
    explicit CAzimuthElevationWnd(QWidget* pParent);
    ~CAzimuthElevationWnd() override;

    QSize sizeHint() const override;

    // Keeps a copy of the record; bRepaint has it drawn as soon as the event
    // loop runs (requests from a burst of records make one paint).
    bool SetData(const CGPSDisplayData& data, bool bRepaint);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    CGPSDisplayData m_Data;
};

#endif // CAZIMUTHELEVATIONWND_H

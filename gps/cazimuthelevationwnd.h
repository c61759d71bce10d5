#ifndef CAZIMUTHELEVATIONWND_H
#define CAZIMUTHELEVATIONWND_H

#include "cgpsdisplaydata.h"

#include <QPixmap>
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

    // Keeps a copy of the record; bRepaint has the satellites that move, come
    // or go drawn as soon as the event loop runs (requests from a burst of
    // records make one paint).
    bool SetData(const CGPSDisplayData& data, bool bRepaint);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    // Height of a line of the PRN labels' font at this size.
    int LabelLineHeight() const;
    // What a satellite's marker and label may cover, or an empty rect for a
    // satellite that is not drawn.
    QRect SatelliteReach(const CGPSDisplayData::SAT_DATA& sat, int nLineHeight) const;

    // The marker image of a satellite in (bUsed) or out of the solution,
    // scaled to size once.
    const QPixmap& Marker(bool bUsed, QSize size);

    CGPSDisplayData m_Data;
    QPixmap m_aMarkers[2];
    QSize m_markerSize;
};

#endif // CAZIMUTHELEVATIONWND_H

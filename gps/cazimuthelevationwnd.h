#ifndef CAZIMUTHELEVATIONWND_H
#define CAZIMUTHELEVATIONWND_H

#include "cgpsdisplaydata.h"

#include <QFont>
#include <QPixmap>
#include <QWidget>

// Polar sky plot: the horizon circle, the 45° elevation ring and a
// north-south / east-west cross, with a marker and PRN label for every
// satellite whose azimuth and elevation are known. Satellites in the
// solution and outside it get different markers. All markers are drawn
// before all labels, and a label that would cover another moves to a free
// side of its marker, so every PRN is read whole.
class CAzimuthElevationWnd : public QWidget
{
    Q_OBJECT

public:
    explicit CAzimuthElevationWnd(QWidget* pParent);
    ~CAzimuthElevationWnd() override;

    QSize sizeHint() const override;

    // Keeps a copy of the record; bRepaint has the satellites whose marker or
    // label moves, comes or goes drawn as soon as the event loop runs
    // (requests from a burst of records make one paint).
    bool SetData(const CGPSDisplayData& data, bool bRepaint);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    // Copy Image and Save Image….
    void contextMenuEvent(QContextMenuEvent* pEvent) override;

private:
    // Where each slot's marker and label are drawn for a record at the
    // widget's size; empty rectangles for a satellite that is not drawn.
    struct LAYOUT
    {
        QRect aMarkers[CGPSDisplayData::MAX_SATELLITES];
        QRectF aLabels[CGPSDisplayData::MAX_SATELLITES];
    };
    void Layout(const CGPSDisplayData& data, LAYOUT& layout) const;
    QFont LabelFont() const;

    // The marker image of a satellite in (bUsed) or out of the solution,
    // scaled to size once.
    const QPixmap& Marker(bool bUsed, QSize size);

    CGPSDisplayData m_Data;
    LAYOUT m_Layout;    // of m_Data
    QSize m_layoutSize; // the size m_Layout was made for; empty when stale
    QPixmap m_aMarkers[2];
    QSize m_markerSize;
};

#endif // CAZIMUTHELEVATIONWND_H

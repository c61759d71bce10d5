#ifndef GPSPIXELS_H
#define GPSPIXELS_H

// What a user sees of the GPS displays, read from rendered pixels.

#include "gpsgeometry.h"

#include <QImage>
#include <QWidget>

namespace GpsPixels {

inline QImage Render(QWidget& w)
{
    QImage img(w.size(), QImage::Format_RGB32);
    w.render(&img);
    return img;
}

// Colour on a marker's left panel, clear of the body and of the PRN label.
inline QColor MarkerPanel(const QImage& img, QPoint point, double dSide)
{
    const QRectF m = GpsGeometry::SkyMarkerRect(point, dSide);
    return img.pixelColor(QPointF(m.x() + 0.12 * m.width(), m.y() + 0.2 * m.height()).toPoint());
}

// Fill of a position-panel box, at its lower right where no text reaches.
inline QColor BoxFill(const QImage& img, int nBox)
{
    const QRectF inner = GpsGeometry::BoxInnerRect(GpsGeometry::PositionBox(nBox, img.size()));
    return img.pixelColor(int(inner.right() - inner.height() / 4), int(inner.bottom() - 3));
}

} // namespace GpsPixels

#endif // GPSPIXELS_H

#ifndef PIXELS_H
#define PIXELS_H

// What a user sees of a widget, read from its rendered pixels; for the sky
// plot, where its markers lie (worked out here from the numbers, not by the
// display).

#include <QImage>
#include <QWidget>

inline QImage Render(QWidget& w)
{
    // Qt never paints a 0 x 0 widget; the image still needs a pixel to be a paint device.
    QImage image(w.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(Qt::black);
    w.render(&image);
    return image;
}

// A colour of the default palette as an image holds it (8 bits a channel).
inline QColor Role(QPalette::ColorRole nRole)
{
    return QColor(QPalette().color(nRole).rgb());
}

namespace GpsPixels {

// Colour on a marker's left panel, clear of the body and of the PRN label: the
// marker is a square of side D x 0.08 centred on the satellite's point.
inline QColor MarkerPanel(const QImage& img, QPoint point, double dSide)
{
    return img.pixelColor(QPointF(point.x() - 0.38 * 0.08 * dSide, point.y() - 0.3 * 0.08 * dSide).toPoint());
}

} // namespace GpsPixels

#endif // PIXELS_H

#ifndef PIXELS_H
#define PIXELS_H

// What a user sees of a widget, read from its rendered pixels; for the GPS
// displays, where the layout puts things (worked out here from the numbers,
// not by the displays).

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

namespace GpsPixels {

// Colour on a marker's left panel, clear of the body and of the PRN label: the
// marker is a square of side D x 0.08 centred on the satellite's point.
inline QColor MarkerPanel(const QImage& img, QPoint point, double dSide)
{
    return img.pixelColor(QPointF(point.x() - 0.38 * 0.08 * dSide, point.y() - 0.3 * 0.08 * dSide).toPoint());
}

// Fill of a position-panel box (0 latitude, 1 longitude, 2 grid square, 3 altitude, 4 and 5
// satellites, 6 GPS time) at its lower right, where no text reaches: four rows of r = (h - 1) / 4
// over W = w - 1 (row 2 in halves, row 3 in W/4, W/4, W/2), each outline r / 20 inside its box.
inline QColor BoxFill(const QImage& img, int nBox)
{
    const double W = img.width() - 1, r = (img.height() - 1) / 4.0,
                 aRight[7] = {W, W, W / 2, W, W / 4, W / 2, W};
    const int aRows[7] = {1, 2, 3, 3, 4, 4, 4}; // down to the box's lower edge
    return img.pixelColor(int(aRight[nBox] - r / 20 - (r - r / 10) / 4), int(aRows[nBox] * r - r / 20 - 3));
}

} // namespace GpsPixels

#endif // PIXELS_H

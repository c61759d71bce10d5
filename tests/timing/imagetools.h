#ifndef IMAGETOOLS_H
#define IMAGETOOLS_H

// Pixel helpers for the display tests: a widget rendered into an image, and
// where in it a colour appears.

#include <QImage>
#include <QWidget>

inline QImage Render(QWidget* pWidget)
{
    // Qt never paints a 0 x 0 widget; the image still needs a pixel to be a paint device.
    QImage image(pWidget->size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(Qt::black);
    pWidget->render(&image);
    return image;
}

// Bounding box and number of the pixels in area whose colour is within tol of color.
inline QRect Find(const QImage& image, const QColor& color, QRect area, int* pCount = nullptr, int tol = 0)
{
    QRect box;
    int n = 0;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - color.red()) <= tol && qAbs(c.green() - color.green()) <= tol &&
                qAbs(c.blue() - color.blue()) <= tol) {
                box |= QRect(x, y, 1, 1);
                ++n;
            }
        }
    if (pCount)
        *pCount = n;
    return box;
}

#endif // IMAGETOOLS_H

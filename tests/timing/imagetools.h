#ifndef IMAGETOOLS_H
#define IMAGETOOLS_H

// Pixel helpers for the display tests: a widget rendered into an image, and
// where in it a colour appears.

#include <QImage>
#include <QRect>
#include <QWidget>

inline QImage Render(QWidget* pWidget)
{
    // A 0 x 0 widget renders nothing (as Qt never paints one); the image
    // still needs a pixel to be a paint device.
    QImage image(pWidget->size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(Qt::black);
    pWidget->render(&image);
    return image;
}

// Bounding box of the pixels inside area that have (bMatch) or do not have
// (!bMatch) the colour.
inline QRect Bounds(const QImage& image, const QColor& color, QRect area, bool bMatch = true)
{
    area &= image.rect();
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixelColor(x, y).rgb() == color.rgb()) == bMatch)
                box |= QRect(x, y, 1, 1);
    return box;
}

inline int Count(const QImage& image, const QColor& color, QRect area)
{
    area &= image.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += image.pixelColor(x, y).rgb() == color.rgb();
    return n;
}

#endif // IMAGETOOLS_H

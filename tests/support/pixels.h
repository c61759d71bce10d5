#ifndef PIXELS_H
#define PIXELS_H

// What a user sees of a widget, read from its rendered pixels.

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

#endif // PIXELS_H

#include "trayicon.h"

#include <QPainter>

QRectF TrayIcon::BadgeRect(int nSize)
{
    const qreal dDiameter = nSize * 9.0 / 16.0;
    return QRectF(nSize - dDiameter, nSize - dDiameter, dDiameter, dDiameter);
}

QImage TrayIcon::Render(const QImage& imgBase, const QColor& colorBadge, int nSize)
{
    if (imgBase.isNull() || nSize < 1)
        return QImage();
    QImage img(nSize, nSize, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter painter(&img);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(0, 0, nSize, nSize), imgBase);
    // The ring is drawn inside the badge's circle: half a pixel in.
    painter.setPen(QPen(QColor(32, 32, 32), 1.0));
    painter.setBrush(colorBadge);
    painter.drawEllipse(BadgeRect(nSize).adjusted(0.5, 0.5, -0.5, -0.5));
    return img;
}

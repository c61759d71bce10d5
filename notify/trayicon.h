#ifndef TRAYICON_H
#define TRAYICON_H

#include <QColor>
#include <QImage>

// The tray's picture of the panel: its icon with a round badge in the state
// panel's fill colour in the lower right corner. Pure: no tray, no widget.
namespace TrayIcon {

// The badge's circle in an icon of nSize pixels: a diameter of 9/16 of the
// size (9 px at 16, 36 px at 64), touching the lower right corner.
QRectF BadgeRect(int nSize);

// imgBase scaled to nSize × nSize (ARGB), a one-pixel dark ring round the
// badge so a light badge stands out from a light icon. An empty base or a
// size below 1 gives an empty image.
QImage Render(const QImage& imgBase, const QColor& colorBadge, int nSize);

} // namespace TrayIcon

#endif // TRAYICON_H

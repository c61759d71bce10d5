#ifndef IMAGEEXPORT_H
#define IMAGEEXPORT_H

#include <QImage>
#include <QString>

class QIODevice;
class QMenu;
class QWidget;

namespace DataOut {

// The widget as it paints itself, at its size and the screen's pixel ratio.
QImage WidgetImage(QWidget* pWidget);
// The same picture as PNG, or as SVG: vectors and text, its size the
// widget's in pixels, strTitle as the document's title.
bool WritePng(QWidget* pWidget, QIODevice& device);
bool WriteSvg(QWidget* pWidget, QIODevice& device, const QString& strTitle);

// Puts the widget's picture on the clipboard.
void CopyImage(QWidget* pWidget);
// Asks for a PNG or SVG file name (suggested from strTitle) and writes the
// widget's picture there; a file that cannot be written is said in a message box.
void SaveImage(QWidget* pWidget, const QString& strTitle);
// Adds "Copy Image" and "Save Image…" for pWidget to a context menu.
void AddImageActions(QMenu* pMenu, QWidget* pWidget, const QString& strTitle);

} // namespace DataOut

#endif // IMAGEEXPORT_H

#ifndef PAINTEDTEXT_H
#define PAINTEDTEXT_H

// What a widget paints, read as text: the widget is rendered into a device
// whose paint engine keeps every text item with its font, pen, boxes and the
// clip in force, and every filled shape with its brush. All rectangles are in
// the widget's coordinates.

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>
#include <QVector>

class QWidget;

struct PaintedText
{
    QString text; // one text item: a line, or a run of one script within it
    QFont font;
    QColor pen;
    QRectF glyphs; // box of the glyph outlines (its bounding box when rotated)
    QRectF line;   // the line box: ascent + descent high, advance wide
    QRectF clip;   // the clip in force, or the whole paint device without one
    QColor fill;   // of the last filled shape drawn before it under the glyphs' centre
    int nDpi = 96; // logical DPI the text was laid out at
};

struct PaintedShape
{
    QRectF rect;          // bounding rectangle
    QColor brush;         // invalid for a pixmap
    bool bMarker = false; // a pixmap
    int nTextsBefore = 0; // texts painted before it
};

// Renders w alone (as QWidget::render does, children included) and returns its
// texts in paint order; the filled shapes and pixmaps go to pShapes.
QVector<PaintedText> RecordText(QWidget* w, QVector<PaintedShape>* pShapes = nullptr);

// The glyphs reach outside the clip in force or outside the widget.
bool Clipped(const PaintedText& t, QSize widget);
// Cap height of the text's font in pixels of the device it was painted on.
double CapHeightPx(const PaintedText& t);
// Contrast ratio of two colours, 1 to 21, from their relative luminance.
double Contrast(const QColor& a, const QColor& b);
// The glyph boxes share area (touching edges do not count).
bool Overlap(const PaintedText& a, const PaintedText& b);

#endif // PAINTEDTEXT_H

#ifndef DISPLAYFONT_H
#define DISPLAYFONT_H

// The face and the point-size rule of every text the panel paints itself:
// the status panels, the clock, the charts and the GPS displays. A text's
// size comes from the widget or row it fills, given for 96 DPI and scaled to
// the widget's logical DPI, truncated toward zero and never below 1 point:
// QFont(family, 0) falls back to 12 pt and setPointSize(0) warns at every
// paint.

#include <QFont>

namespace DisplayFont {

// The family of every painted text, with a sans-serif fallback: the name
// resolves to a plain sans-serif face on most systems, the style hint keeps
// it sans-serif where it does not.
QFont Face(int nPointSize);

// trunc(dSizeAt96Dpi x 96 / logical DPI), at least 1, at most 1,000,000;
// NaN gives 1, a DPI that is not positive counts as 96.
// 59.85 at 96 DPI: 59; 40 at 120 DPI: 32.
int PointSize(double dSizeAt96Dpi, int nLogicalDpiX);

// ---- Legibility -------------------------------------------------------------
// A painted text's size from its box is the largest it may have: a text that
// does not fit its box's width shrinks until it does, but never below a cap
// height of kMinCapHeight pixels; small sizes from small boxes grow to that.
// Where a text still does not fit at the legible minimum, a title is elided
// with "…" and a number keeps its digits (its owner makes room). Widths are
// measured on the screen's DPI, as the widgets draw.

constexpr double kMinCapHeight = 8.0;

// The smallest point size of Face() whose cap height is at least
// kMinCapHeight pixels on the primary screen (9 for DejaVu Sans at 96 DPI).
int LegiblePointSize();

// Face(max(nPointSize, LegiblePointSize())).
QFont Legible(int nPointSize);

// font made smaller until strText is at most dRoom pixels wide, never below
// LegiblePointSize(); a text that fits keeps the font's size, and a size
// below the legible one grows to it. Family and weight stay.
QFont Fitted(QFont font, const QString& strText, double dRoom);
// Fitted(Face(nPointSize), strText, dRoom).
QFont Fitted(int nPointSize, const QString& strText, double dRoom);

// strText as it fits dRoom pixels in font: whole, or cut and ended with "…"
// (only "…" when not even one character fits).
QString Elided(const QFont& font, const QString& strText, double dRoom);

} // namespace DisplayFont

#endif // DISPLAYFONT_H

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

} // namespace DisplayFont

#endif // DISPLAYFONT_H

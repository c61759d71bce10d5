#include "displayfont.h"

#include <cmath>

namespace DisplayFont {

QFont Face(int nPointSize)
{
    QFont font(QStringLiteral("Helvetica [Cronyx]"), nPointSize, -1, false);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

int PointSize(double dSizeAt96Dpi, int nLogicalDpiX)
{
    const double dScale = nLogicalDpiX > 0 ? 96.0 / nLogicalDpiX : 1.0;
    const double dTrunc = std::trunc(dSizeAt96Dpi * dScale);
    if (!(dTrunc >= 1.0)) // also NaN
        return 1;
    return dTrunc > 1e6 ? 1000000 : int(dTrunc);
}

} // namespace DisplayFont

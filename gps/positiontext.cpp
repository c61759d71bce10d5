#include "positiontext.h"

#include <cmath>

namespace PositionText {

namespace {
// QString::number writes the C locale's digits; "-0.0000" loses its sign.
QString Fixed(double dValue, int nDecimals)
{
    QString strText = QString::number(dValue, 'f', nDecimals);
    if (strText.startsWith(QLatin1Char('-')) && strText.count(QLatin1Char('0')) == strText.size() - 2)
        strText.remove(0, 1);
    return strText;
}
} // namespace

bool IsPlace(double dLatitude, double dLongitude)
{
    return std::isfinite(dLatitude) && std::isfinite(dLongitude) && std::fabs(dLatitude) <= 90.0 &&
           std::fabs(dLongitude) <= 180.0;
}

QString DecimalDegrees(double dLatitude, double dLongitude)
{
    return Fixed(dLatitude, 4) + QStringLiteral(", ") + Fixed(dLongitude, 4);
}

QString GeoUri(double dLatitude, double dLongitude, double dAltitude)
{
    QString strUri = QStringLiteral("geo:") + Fixed(dLatitude, 4) + QLatin1Char(',') + Fixed(dLongitude, 4);
    if (std::isfinite(dAltitude))
        strUri += QLatin1Char(',') + Fixed(dAltitude, 1);
    return strUri;
}

} // namespace PositionText

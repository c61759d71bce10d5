#ifndef POSITIONTEXT_H
#define POSITIONTEXT_H

#include <QString>

// A position as text for other programs: map sites, geo: links. Always with
// '.' as decimal point, whatever the user's locale.
namespace PositionText {

// Whether a latitude and longitude name a place on the Earth (finite, within
// ±90° and ±180°).
bool IsPlace(double dLatitude, double dLongitude);

// "-33.8688, 151.2093": decimal degrees, north and east positive, four
// decimals (about 11 m); a value that rounds to zero has no minus sign.
QString DecimalDegrees(double dLatitude, double dLongitude);

// "geo:-33.8688,151.2093,58.0" (RFC 5870): the altitude in metres with one
// decimal, left out when it is not a finite number.
QString GeoUri(double dLatitude, double dLongitude, double dAltitude);

} // namespace PositionText

#endif // POSITIONTEXT_H

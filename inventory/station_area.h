// Whether a station lies in the area of a station query: the rectangle of
// its latitude and longitude bounds and the ring of its radii around a
// point, every bound inclusive.
#ifndef KALVYNEX_INVENTORY_STATION_AREA_H_
#define KALVYNEX_INVENTORY_STATION_AREA_H_

#include "inventory/station_query.h"

namespace kalvynex {

// The great-circle distance between two points, in degrees of arc (0..180).
double arc_degrees(double latitude1, double longitude1, double latitude2, double longitude2);

// Whether the point lies within every bound `area` gives. A minimum
// longitude greater than the maximum names the band across the 180th
// meridian (170 .. -170 holds 175 and -175). The circle's centre is
// latitude, longitude (0 for either one absent).
bool area_contains(const GeoArea& area, double latitude, double longitude);

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_STATION_AREA_H_

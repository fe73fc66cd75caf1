// Where a station stands, as the stations file of an export gives it.
#ifndef KALVYNEX_CORE_STATION_PLACE_H_
#define KALVYNEX_CORE_STATION_PLACE_H_

#include <string>

namespace kalvynex {

// An unknown place (known false) is written as 0, 0, 0 with a remark.
struct StationPlace {
  double latitude = 0.0;   // degrees north
  double longitude = 0.0;  // degrees east
  double elevation = 0.0;  // metres
  std::string site_name;   // empty: the station code
  bool known = false;
};

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_STATION_PLACE_H_

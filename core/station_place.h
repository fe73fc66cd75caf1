// Where a station stands, and how its channels' sensors sit, as the
// stations file of an export gives them.
#ifndef KALVYNEX_CORE_STATION_PLACE_H_
#define KALVYNEX_CORE_STATION_PLACE_H_

#include <optional>
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

// What is known of one channel's sensor; each value absent when not given.
struct ChannelPlace {
  std::optional<double> depth;        // metres below the local surface
  std::optional<double> azimuth;      // degrees east of north, 0 <= azimuth < 360
  std::optional<double> dip;          // degrees down from the horizontal, -90..90
  std::optional<double> sample_rate;  // samples per second, above 0
};

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_STATION_PLACE_H_

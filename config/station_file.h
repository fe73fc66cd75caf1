// The stations file of a StationXML export: one CSV line per station,
// network,station,latitude,longitude,elevation[,site name].
#ifndef KALVYNEX_CONFIG_STATION_FILE_H_
#define KALVYNEX_CONFIG_STATION_FILE_H_

#include <map>
#include <string>
#include <utility>

#include "core/station_place.h"

namespace kalvynex {

class StationPlaces {
 public:
  // The place of NETWORK.STATION, or nullptr when the file does not name it.
  const StationPlace* find(const std::string& network, const std::string& station) const;
  std::size_t size() const { return places_.size(); }

 private:
  friend bool parse_station_file(const std::string& text, StationPlaces* out, std::string* error);
  std::map<std::pair<std::string, std::string>, StationPlace> places_;
};

// Reads the text of a stations file. Fields are separated by commas and may
// be quoted with '"' (a doubled '"' inside stands for one), blanks around
// unquoted fields are dropped, lines end in LF or CR LF; empty lines and
// lines that begin with "#" are skipped, and so is a first line whose
// latitude is not a number (a header). Latitude must lie within -90..90,
// longitude within -180..180, and a station may be named only once. On
// failure *error says "line N: why" and false is returned.
bool parse_station_file(const std::string& text, StationPlaces* out, std::string* error);

}  // namespace kalvynex

#endif  // KALVYNEX_CONFIG_STATION_FILE_H_

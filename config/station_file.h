// The stations file of a StationXML export: one CSV line per station,
// network,station,latitude,longitude,elevation[,site name].
#ifndef KALVYNEX_CONFIG_STATION_FILE_H_
#define KALVYNEX_CONFIG_STATION_FILE_H_

#include <cstddef>
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

// A stations file larger than this (16 MiB) is refused unread.
constexpr std::size_t kMaxStationFileBytes = 16u << 20;

// Reads the text of a stations file. Fields are separated by commas and may
// be quoted with '"' (a doubled '"' inside stands for one), blanks around
// unquoted fields are dropped, lines end in LF or CR LF, and a UTF-8 byte
// order mark at the start is passed over; empty lines and lines that begin
// with "#" are skipped, and so is a first line whose fields are the column
// names network,station,latitude,longitude,elevation[,site] (or "site
// name"), compared without case. Latitude, longitude and elevation are
// plain decimal numbers (sign, digits, point, exponent: no hexadecimal, inf
// or nan, nothing after them); as StationXML has it, the latitude lies
// within -90 <= latitude < 90 and the longitude within -180..180. A control
// byte (below 0x20 but the tab, or 0x7F) is refused on any line, and a
// station may be named only once. On failure *error says "line N: why" and
// false is returned.
bool parse_station_file(const std::string& text, StationPlaces* out, std::string* error);

// The stations file at `path`, read only when it is a regular file of at
// most kMaxStationFileBytes bytes. On failure *error is "cannot read the
// stations file PATH: why" or "stations file PATH: line N: why".
bool read_station_file(const std::string& path, StationPlaces* out, std::string* error);

}  // namespace kalvynex

#endif  // KALVYNEX_CONFIG_STATION_FILE_H_

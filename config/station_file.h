// The stations file of the sacpz and StationXML exports: CSV lines, one per
// station, network,station,latitude,longitude,elevation[,site name]; or,
// after a header line that names the columns, stations and channels with
// the depth, azimuth, dip and sample rate of their sensors.
#ifndef KALVYNEX_CONFIG_STATION_FILE_H_
#define KALVYNEX_CONFIG_STATION_FILE_H_

#include <array>
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
  // The sensor of one channel: each value from the channel's line, else
  // from its station's line, else absent. Locations compare as
  // written_location() writes them ("", "--" and "??" are one).
  ChannelPlace find_channel(const std::string& network, const std::string& station,
                            const std::string& location, const std::string& channel) const;
  std::size_t size() const { return places_.size(); }

 private:
  using StationKey = std::pair<std::string, std::string>;
  using ChannelKey = std::array<std::string, 4>;  // network, station, location, channel
  friend bool parse_station_file(const std::string& text, StationPlaces* out, std::string* error);
  std::map<StationKey, StationPlace> places_;
  std::map<StationKey, ChannelPlace> station_sensors_;  // what a station line gives
  std::map<ChannelKey, ChannelPlace> channel_sensors_;  // what a channel line gives
};

// A stations file larger than this (16 MiB) is refused unread.
constexpr std::size_t kMaxStationFileBytes = 16u << 20;

// Reads the text of a stations file. Fields are separated by commas and may
// be quoted with '"' (a doubled '"' inside stands for one), blanks around
// unquoted fields are dropped, lines end in LF or CR LF, and a UTF-8 byte
// order mark at the start is passed over; empty lines and lines that begin
// with "#" are skipped. Names compare without case.
//
// Without a header, or after the header network,station,latitude,longitude,
// elevation[,site] (or "site name"), a line holds those five fields and an
// optional site name. A first line (not skipped) whose first two fields are
// network and station is a header: its fields name the columns, in any
// order, each once, of network, station, latitude, longitude, elevation,
// site, depth (metres), azimuth, dip, samplerate (or "sample rate"), and
// location with channel; the first five are required, and every line then
// holds as many fields as the header. An empty depth, azimuth, dip or
// sample rate is absent. A line with a channel gives that channel's values
// and leaves latitude, longitude, elevation and site empty (they are its
// station's, whose own line the file must hold); a line without one gives
// the station's place and the values of its channels that have none of
// their own.
//
// Numbers are plain decimals (sign, digits, point, exponent: no
// hexadecimal, inf or nan, nothing after them); as StationXML has it,
// -90 <= latitude < 90, longitude within -180..180, 0 <= azimuth < 360 and
// dip within -90..90; a sample rate is above 0. A control byte (below 0x20
// but the tab, or 0x7F) is refused on any line, and a station or channel
// may be given only once. On failure *error says "line N: why" and false
// is returned.
bool parse_station_file(const std::string& text, StationPlaces* out, std::string* error);

// The stations file at `path`, read only when it is a regular file of at
// most kMaxStationFileBytes bytes. On failure *error is "cannot read the
// stations file PATH: why" or "stations file PATH: line N: why".
bool read_station_file(const std::string& path, StationPlaces* out, std::string* error);

}  // namespace kalvynex

#endif  // KALVYNEX_CONFIG_STATION_FILE_H_

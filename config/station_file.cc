#include "config/station_file.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

#include "config/regular_file.h"
#include "core/channel_codes.h"
#include "core/string_printf.h"
#include "core/utf8_text.h"
#include "core/text_rules.h"

namespace kalvynex {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Splits one line into fields; false when a quoted field is not closed or
// text follows its closing quote.
bool split_fields(const std::string& line, std::vector<std::string>* fields) {
  fields->clear();
  std::size_t i = 0;
  for (;;) {
    while (i < line.size() && is_blank(line[i])) ++i;
    std::string field;
    if (i < line.size() && line[i] == '"') {
      ++i;
      for (;;) {
        if (i >= line.size()) return false;
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += line[i++];
      }
      while (i < line.size() && is_blank(line[i])) ++i;
      if (i < line.size() && line[i] != ',') return false;
    } else {
      const std::size_t comma = line.find(',', i);
      const std::size_t stop = comma == std::string::npos ? line.size() : comma;
      std::size_t last = stop;
      while (last > i && is_blank(line[last - 1])) --last;
      field.assign(line, i, last - i);
      i = stop;
    }
    fields->push_back(field);
    if (i >= line.size()) return true;
    ++i;  // the comma
  }
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A plain decimal number: an optional sign, digits with an optional point
// (at least one digit), an optional exponent; finite. No hexadecimal, no
// inf or nan, nothing after the number.
bool read_number(const std::string& text, double* value) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  for (; i < text.size() && is_digit(text[i]); ++i) ++digits;
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && is_digit(text[i]); ++i) ++digits;
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i >= text.size() || !is_digit(text[i])) return false;
    while (i < text.size() && is_digit(text[i])) ++i;
  }
  if (i != text.size()) return false;
  char* end = nullptr;
  errno = 0;
  *value = std::strtod(text.c_str(), &end);
  return *end == '\0' && errno == 0 && std::isfinite(*value);
}

// The columns a header may name.
enum Column : int {
  kNetwork,
  kStation,
  kLatitude,
  kLongitude,
  kElevation,
  kSite,
  kDepth,
  kAzimuth,
  kDip,
  kSampleRate,
  kLocation,
  kChannel,
  kColumnCount
};

// Each column's name and the other name it may go by, compared without case.
constexpr const char* kColumnNames[kColumnCount][2] = {
    {"network", nullptr}, {"station", nullptr},  {"latitude", nullptr},
    {"longitude", nullptr}, {"elevation", nullptr}, {"site", "site name"},
    {"depth", nullptr},   {"azimuth", nullptr},  {"dip", nullptr},
    {"samplerate", "sample rate"}, {"location", nullptr}, {"channel", nullptr}};

// Where each column stands on a line (-1: nowhere), and how many fields a
// line holds: 0 for five or six, without a header or after today's.
struct Layout {
  std::array<int, kColumnCount> index{0, 1, 2, 3, 4, 5, -1, -1, -1, -1, -1, -1};
  std::size_t fields = 0;
};

bool names_column(const std::string& field, Column column) {
  const char* const* names = kColumnNames[column];
  return equals_ignore_case(field, names[0]) ||
         (names[1] != nullptr && equals_ignore_case(field, names[1]));
}

// A header begins with the network and station columns.
bool looks_like_header(const std::vector<std::string>& fields) {
  return fields.size() >= 2 && names_column(fields[0], kNetwork) &&
         names_column(fields[1], kStation);
}

// The layout that the header `fields` names; false with *why when it names
// a column that does not exist, one twice, or not the required ones.
bool read_header(const std::vector<std::string>& fields, Layout* layout, std::string* why) {
  Layout named;
  named.index.fill(-1);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    int column = 0;
    while (column < kColumnCount && !names_column(fields[i], static_cast<Column>(column))) {
      ++column;
    }
    if (column == kColumnCount) {
      *why = "unknown column \"" + fields[i] + "\"";
      return false;
    }
    if (named.index[column] >= 0) {
      *why = "column \"" + fields[i] + "\" named twice";
      return false;
    }
    named.index[column] = static_cast<int>(i);
  }
  for (int column = kNetwork; column <= kElevation; ++column) {
    if (named.index[column] < 0) {
      *why = std::string("no ") + kColumnNames[column][0] + " column";
      return false;
    }
  }
  if ((named.index[kLocation] < 0) != (named.index[kChannel] < 0)) {
    *why = "location and channel columns come together";
    return false;
  }
  // Today's header keeps today's lines: five fields and an optional site.
  bool today = fields.size() <= 6;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    today = today && named.index[i] == static_cast<int>(i);
  }
  if (today) {
    *layout = Layout();
  } else {
    *layout = named;
    layout->fields = fields.size();
  }
  return true;
}

// A sensor column: what it is called in a message, where its value goes,
// and its range (nullptr: any number).
struct SensorColumn {
  Column column;
  const char* word;
  std::optional<double> ChannelPlace::*member;
  bool (*in_range)(double);
  const char* outside;
};

constexpr SensorColumn kSensorColumns[] = {
    {kDepth, "depth", &ChannelPlace::depth, nullptr, nullptr},
    // StationXML's bounds: the azimuth excludes 360, the dip includes both ends.
    {kAzimuth, "azimuth", &ChannelPlace::azimuth,
     [](double v) { return v >= 0.0 && v < 360.0; }, " is outside 0 <= azimuth < 360"},
    {kDip, "dip", &ChannelPlace::dip, [](double v) { return v >= -90.0 && v <= 90.0; },
     " is outside -90..90"},
    {kSampleRate, "sample rate", &ChannelPlace::sample_rate, [](double v) { return v > 0.0; },
     " is not above 0"},
};

bool has_any_value(const ChannelPlace& sensor) {
  for (const SensorColumn& c : kSensorColumns) {
    if (sensor.*c.member) return true;
  }
  return false;
}

// The first control byte of `line` (below 0x20 but the tab, or 0x7F), or -1.
int control_byte(const std::string& line) {
  for (const char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && byte != '\t') || byte == 0x7F) return byte;
  }
  return -1;
}

}  // namespace

const StationPlace* StationPlaces::find(const std::string& network,
                                        const std::string& station) const {
  const auto it = places_.find({network, station});
  return it == places_.end() ? nullptr : &it->second;
}

ChannelPlace StationPlaces::find_channel(const std::string& network, const std::string& station,
                                         const std::string& location,
                                         const std::string& channel) const {
  ChannelPlace sensor;
  if (station_sensors_.empty() && channel_sensors_.empty()) return sensor;
  const auto station_it = station_sensors_.find({network, station});
  if (station_it != station_sensors_.end()) sensor = station_it->second;
  const auto channel_it =
      channel_sensors_.find({network, station, written_location(location), channel});
  if (channel_it != channel_sensors_.end()) {
    for (const SensorColumn& c : kSensorColumns) {
      if (channel_it->second.*c.member) sensor.*c.member = channel_it->second.*c.member;
    }
  }
  return sensor;
}

bool parse_station_file(const std::string& text, StationPlaces* out, std::string* error) {
  StationPlaces result;
  std::map<StationPlaces::StationKey, int> first_line;
  std::map<StationPlaces::ChannelKey, int> first_channel_line;
  std::vector<std::string> fields;
  const std::string none;  // the field of a column that the file does not have
  Layout layout;
  int number = 0;
  bool header_possible = true;
  // A UTF-8 byte order mark before the first line is not part of it.
  std::size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto fail = [&](const std::string& why) {
      *error = string_printf("line %d: ", number) + why;
      return false;
    };
    const int control = control_byte(line);
    if (control >= 0) return fail(string_printf("control byte \\x%02x", control));
    // Site names and codes go into an XML document: only well-formed UTF-8,
    // and none of the two characters that XML excludes.
    if (!is_valid_utf8(line)) return fail("bytes that are not well-formed UTF-8");
    if (line.find("\xEF\xBF\xBE") != std::string::npos ||
        line.find("\xEF\xBF\xBF") != std::string::npos) {
      return fail("the character U+FFFE or U+FFFF");
    }
    std::size_t first = 0;
    while (first < line.size() && is_blank(line[first])) ++first;
    if (first == line.size() || line[first] == '#') continue;
    if (!split_fields(line, &fields)) return fail("a quoted field is not closed properly");
    // Only the first line that is not skipped may be the header.
    const bool header = header_possible && looks_like_header(fields);
    header_possible = false;
    if (header) {
      std::string why;
      if (!read_header(fields, &layout, &why)) return fail(why);
      continue;
    }
    if (layout.fields == 0 && (fields.size() < 5 || fields.size() > 6)) {
      return fail(string_printf("%zu fields; expected network,station,latitude,longitude,"
                                "elevation and an optional site name",
                                fields.size()));
    }
    if (layout.fields != 0 && fields.size() != layout.fields) {
      return fail(string_printf("%zu fields; the header names %zu columns", fields.size(),
                                layout.fields));
    }
    auto field = [&](Column column) -> const std::string& {
      const int i = layout.index[column];
      return i >= 0 && static_cast<std::size_t>(i) < fields.size() ? fields[i] : none;
    };
    const std::string& network = field(kNetwork);
    const std::string& station = field(kStation);
    const std::string& location = field(kLocation);
    const std::string& channel = field(kChannel);
    StationPlace place;
    if (channel.empty()) {
      if (!location.empty()) return fail("location \"" + location + "\" without a channel");
      if (!read_number(field(kLatitude), &place.latitude)) {
        return fail("latitude \"" + field(kLatitude) + "\" is not a decimal number");
      }
      if (!read_number(field(kLongitude), &place.longitude)) {
        return fail("longitude \"" + field(kLongitude) + "\" is not a decimal number");
      }
      if (!read_number(field(kElevation), &place.elevation)) {
        return fail("elevation \"" + field(kElevation) + "\" is not a decimal number");
      }
      // StationXML's bounds: the latitude excludes 90, the longitude does not
      // exclude 180.
      if (place.latitude < -90.0 || place.latitude >= 90.0) {
        return fail("latitude " + field(kLatitude) + " is outside -90 <= latitude < 90");
      }
      if (place.longitude < -180.0 || place.longitude > 180.0) {
        return fail("longitude " + field(kLongitude) + " is outside -180..180");
      }
    } else if (!field(kLatitude).empty() || !field(kLongitude).empty() ||
               !field(kElevation).empty() || !field(kSite).empty()) {
      return fail("a channel's line leaves latitude, longitude, elevation and site empty");
    }
    if (network.empty() || station.empty()) return fail("network or station code empty");
    ChannelPlace sensor;
    for (const SensorColumn& c : kSensorColumns) {
      const std::string& value = field(c.column);
      if (value.empty()) continue;
      double number_read = 0.0;
      if (!read_number(value, &number_read)) {
        return fail(std::string(c.word) + " \"" + value + "\" is not a decimal number");
      }
      if (c.in_range != nullptr && !c.in_range(number_read)) {
        return fail(std::string(c.word) + " " + value + c.outside);
      }
      sensor.*c.member = number_read;
    }
    if (!channel.empty()) {
      StationPlaces::ChannelKey key{network, station, written_location(location), channel};
      const auto seen = first_channel_line.find(key);
      if (seen != first_channel_line.end()) {
        return fail(string_printf("%s.%s.%s.%s is already given on line %d", network.c_str(),
                                  station.c_str(), location.c_str(), channel.c_str(),
                                  seen->second));
      }
      first_channel_line.emplace(key, number);
      result.channel_sensors_.emplace(std::move(key), sensor);
      continue;
    }
    place.site_name = field(kSite);
    place.known = true;
    auto key = std::make_pair(network, station);
    const auto seen = first_line.find(key);
    if (seen != first_line.end()) {
      return fail(string_printf("%s.%s is already given on line %d", network.c_str(),
                                station.c_str(), seen->second));
    }
    first_line.emplace(key, number);
    if (has_any_value(sensor)) result.station_sensors_.emplace(key, sensor);
    result.places_.emplace(std::move(key), std::move(place));
  }
  // A channel stands where its station does: the station's line is needed.
  int orphan = 0;  // the first line of a channel whose station has none
  std::string orphan_station;
  for (const auto& [key, line] : first_channel_line) {
    if (result.places_.count({key[0], key[1]}) == 0 && (orphan == 0 || line < orphan)) {
      orphan = line;
      orphan_station = key[0] + "." + key[1];
    }
  }
  if (orphan != 0) {
    *error = string_printf("line %d: station %s has no line of its own", orphan,
                           orphan_station.c_str());
    return false;
  }
  *out = std::move(result);
  return true;
}

bool read_station_file(const std::string& path, StationPlaces* out, std::string* error) {
  std::string text;
  std::string why;
  if (!read_regular_file(path, kMaxStationFileBytes, &text, &why)) {
    *error = "cannot read the stations file " + path + ": " + why;
    return false;
  }
  if (!parse_station_file(text, out, &why)) {
    *error = "stations file " + path + ": " + why;
    return false;
  }
  return true;
}

}  // namespace kalvynex

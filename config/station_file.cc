#include "config/station_file.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/string_printf.h"

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

bool read_number(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  *value = std::strtod(text.c_str(), &end);
  return *end == '\0' && errno == 0 && std::isfinite(*value);
}

}  // namespace

const StationPlace* StationPlaces::find(const std::string& network,
                                        const std::string& station) const {
  const auto it = places_.find({network, station});
  return it == places_.end() ? nullptr : &it->second;
}

bool parse_station_file(const std::string& text, StationPlaces* out, std::string* error) {
  StationPlaces result;
  std::map<std::pair<std::string, std::string>, int> first_line;
  std::vector<std::string> fields;
  int number = 0;
  bool header_possible = true;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::size_t first = 0;
    while (first < line.size() && is_blank(line[first])) ++first;
    if (first == line.size() || line[first] == '#') continue;
    auto fail = [&](const std::string& why) {
      *error = string_printf("line %d: ", number) + why;
      return false;
    };
    if (!split_fields(line, &fields)) return fail("a quoted field is not closed properly");
    if (fields.size() < 5 || fields.size() > 6) {
      return fail(string_printf("%zu fields; expected network,station,latitude,longitude,"
                                "elevation and an optional site name",
                                fields.size()));
    }
    StationPlace place;
    if (!read_number(fields[2], &place.latitude)) {
      // The first line that is not skipped may be a header.
      if (!header_possible) return fail("latitude \"" + fields[2] + "\" is not a number");
      header_possible = false;
      continue;
    }
    header_possible = false;
    if (!read_number(fields[3], &place.longitude)) {
      return fail("longitude \"" + fields[3] + "\" is not a number");
    }
    if (!read_number(fields[4], &place.elevation)) {
      return fail("elevation \"" + fields[4] + "\" is not a number");
    }
    if (place.latitude < -90.0 || place.latitude > 90.0) {
      return fail("latitude " + fields[2] + " is outside -90..90");
    }
    if (place.longitude < -180.0 || place.longitude > 180.0) {
      return fail("longitude " + fields[3] + " is outside -180..180");
    }
    if (fields[0].empty() || fields[1].empty()) return fail("network or station code empty");
    if (fields.size() == 6) place.site_name = fields[5];
    place.known = true;
    const auto key = std::make_pair(fields[0], fields[1]);
    const auto seen = first_line.find(key);
    if (seen != first_line.end()) {
      return fail(string_printf("%s.%s is already given on line %d", fields[0].c_str(),
                                fields[1].c_str(), seen->second));
    }
    first_line.emplace(key, number);
    result.places_.emplace(key, std::move(place));
  }
  *out = std::move(result);
  return true;
}

}  // namespace kalvynex

#include "config/station_file.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "config/regular_file.h"
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

// A header: the column names, compared without case.
bool is_header(const std::vector<std::string>& fields) {
  static const char* const kNames[] = {"network", "station", "latitude", "longitude",
                                       "elevation", "site"};
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!equals_ignore_case(fields[i], kNames[i]) &&
        !(i == 5 && equals_ignore_case(fields[i], "site name"))) {
      return false;
    }
  }
  return true;
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

bool parse_station_file(const std::string& text, StationPlaces* out, std::string* error) {
  StationPlaces result;
  std::map<std::pair<std::string, std::string>, int> first_line;
  std::vector<std::string> fields;
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
    if (fields.size() < 5 || fields.size() > 6) {
      return fail(string_printf("%zu fields; expected network,station,latitude,longitude,"
                                "elevation and an optional site name",
                                fields.size()));
    }
    // Only the first line that is not skipped may be the header.
    const bool header = header_possible && is_header(fields);
    header_possible = false;
    if (header) continue;
    StationPlace place;
    if (!read_number(fields[2], &place.latitude)) {
      return fail("latitude \"" + fields[2] + "\" is not a decimal number");
    }
    if (!read_number(fields[3], &place.longitude)) {
      return fail("longitude \"" + fields[3] + "\" is not a decimal number");
    }
    if (!read_number(fields[4], &place.elevation)) {
      return fail("elevation \"" + fields[4] + "\" is not a decimal number");
    }
    // StationXML's bounds: the latitude excludes 90, the longitude does not
    // exclude 180.
    if (place.latitude < -90.0 || place.latitude >= 90.0) {
      return fail("latitude " + fields[2] + " is outside -90 <= latitude < 90");
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

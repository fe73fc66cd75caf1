#include "inventory/station_query.h"

#include <cmath>
#include <cstdlib>
#include <utility>

#include "core/channel_codes.h"
#include "core/string_printf.h"
#include "core/terminal_text.h"
#include "core/text_rules.h"
#include "core/utf8_text.h"
#include "inventory/code_patterns.h"
#include "inventory/options.h"
#include "inventory/selection_time.h"

namespace kalvynex {

namespace {

enum class Parameter {
  kStartTime, kEndTime, kStartBefore, kStartAfter, kEndBefore, kEndAfter,
  kNetwork, kStation, kLocation, kChannel,
  kMinLatitude, kMaxLatitude, kMinLongitude, kMaxLongitude,
  kLatitude, kLongitude, kMinRadius, kMaxRadius,
  kLevel, kFormat, kNodata,
  kIncludeRestricted, kIncludeAvailability, kMatchTimeseries, kUpdatedAfter,
};

struct ParameterName {
  const char* name;
  const char* short_name;  // nullptr: none
  Parameter parameter;
};

constexpr ParameterName kParameters[] = {
    {"starttime", "start", Parameter::kStartTime},
    {"endtime", "end", Parameter::kEndTime},
    {"startbefore", nullptr, Parameter::kStartBefore},
    {"startafter", nullptr, Parameter::kStartAfter},
    {"endbefore", nullptr, Parameter::kEndBefore},
    {"endafter", nullptr, Parameter::kEndAfter},
    {"network", "net", Parameter::kNetwork},
    {"station", "sta", Parameter::kStation},
    {"location", "loc", Parameter::kLocation},
    {"channel", "cha", Parameter::kChannel},
    {"minlatitude", "minlat", Parameter::kMinLatitude},
    {"maxlatitude", "maxlat", Parameter::kMaxLatitude},
    {"minlongitude", "minlon", Parameter::kMinLongitude},
    {"maxlongitude", "maxlon", Parameter::kMaxLongitude},
    {"latitude", "lat", Parameter::kLatitude},
    {"longitude", "lon", Parameter::kLongitude},
    {"minradius", nullptr, Parameter::kMinRadius},
    {"maxradius", nullptr, Parameter::kMaxRadius},
    {"level", nullptr, Parameter::kLevel},
    {"format", nullptr, Parameter::kFormat},
    {"nodata", nullptr, Parameter::kNodata},
    {"includerestricted", nullptr, Parameter::kIncludeRestricted},
    {"includeavailability", nullptr, Parameter::kIncludeAvailability},
    {"matchtimeseries", nullptr, Parameter::kMatchTimeseries},
    {"updatedafter", nullptr, Parameter::kUpdatedAfter},
};
constexpr std::size_t kParameterCount = sizeof kParameters / sizeof kParameters[0];

// A text from the request as an explanation may show it: escaped (see
// terminal_text), so that it stays on one line, and cut after 64 bytes.
std::string shown(const std::string& text) {
  constexpr std::size_t kShownBytes = 64;
  if (text.size() <= kShownBytes) return terminal_text(text);
  return terminal_text(text.substr(0, kShownBytes)) + "...";
}

// False for a text that is not well-formed UTF-8 or holds a control byte
// (00..1F or 7F).
bool is_clean_text(const std::string& text) {
  if (!is_valid_utf8(text)) return false;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && is_blank(text[begin])) ++begin;
  while (end > begin && is_blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool is_later(const Timestamp& a, const Timestamp& b) {
  return std::make_pair(timestamp_seconds(a), a.fraction) >
         std::make_pair(timestamp_seconds(b), b.fraction);
}

constexpr char kTimeForms[] = "(use YYYY-MM-DD or YYYY-MM-DDThh:mm:ss[.ffffff], Z allowed)";

// Reads parameters one at a time into a query, then checks them together.
class QueryReader {
 public:
  QueryReader(StationQuery* out, std::string* error) : out_(out), error_(error) {}

  bool read(const std::string& name, const std::string& value) {
    const ParameterName* found = nullptr;
    std::size_t index = 0;
    for (; index < kParameterCount; ++index) {
      const ParameterName& p = kParameters[index];
      if (name == p.name || (p.short_name != nullptr && name == p.short_name)) {
        found = &p;
        break;
      }
    }
    if (found == nullptr) return fail("Unknown parameter: " + shown(name));
    if (seen_[index]) return fail(std::string("Repeated parameter: ") + found->name);
    seen_[index] = true;
    name_ = found->name;
    if (!is_clean_text(value)) {
      return invalid(value, "not UTF-8 text, or holds a control byte");
    }
    CalibrationSelection& selection = out_->selection;
    GeoArea& area = out_->area;
    switch (found->parameter) {
      case Parameter::kStartTime: return read_time(value, &selection.window_start);
      case Parameter::kEndTime: return read_time(value, &selection.window_end);
      case Parameter::kStartBefore: return read_time(value, &selection.start_before);
      case Parameter::kStartAfter: return read_time(value, &selection.start_after);
      case Parameter::kEndBefore: return read_time(value, &selection.end_before);
      case Parameter::kEndAfter: return read_time(value, &selection.end_after);
      case Parameter::kNetwork: return read_codes(value, &selection.networks);
      case Parameter::kStation: return read_codes(value, &selection.stations);
      case Parameter::kLocation: return read_codes(value, &selection.locations);
      case Parameter::kChannel: return read_codes(value, &selection.channels);
      case Parameter::kMinLatitude: return read_degrees(value, 90, &area.min_latitude);
      case Parameter::kMaxLatitude: return read_degrees(value, 90, &area.max_latitude);
      case Parameter::kMinLongitude: return read_degrees(value, 180, &area.min_longitude);
      case Parameter::kMaxLongitude: return read_degrees(value, 180, &area.max_longitude);
      case Parameter::kLatitude: return read_degrees(value, 90, &area.latitude);
      case Parameter::kLongitude: return read_degrees(value, 180, &area.longitude);
      case Parameter::kMinRadius: return read_radius(value, &area.min_radius);
      case Parameter::kMaxRadius: return read_radius(value, &area.max_radius);
      case Parameter::kLevel:
        if (value == "network") {
          out_->level = QueryLevel::kNetwork;
        } else if (value == "station") {
          out_->level = QueryLevel::kStation;
        } else if (value == "channel") {
          out_->level = QueryLevel::kChannel;
        } else if (value == "response") {
          out_->level = QueryLevel::kResponse;
        } else {
          return invalid(value, "network, station, channel or response");
        }
        return true;
      case Parameter::kFormat:
        if (value == "xml") {
          out_->format = QueryFormat::kXml;
        } else if (value == "text") {
          out_->format = QueryFormat::kText;
        } else {
          return invalid(value, "xml or text");
        }
        return true;
      case Parameter::kNodata:
        if (value != "204" && value != "404") return invalid(value, "204 or 404");
        out_->nodata = value == "204" ? 204 : 404;
        return true;
      case Parameter::kIncludeRestricted:
        return read_honoured(value, true,
                             "no channel is known to be restricted, so none can be left out");
      case Parameter::kIncludeAvailability:
        return read_honoured(value, false, "the service knows nothing of the data's availability");
      case Parameter::kMatchTimeseries:
        return read_honoured(value, false, "the service knows nothing of the time series");
      case Parameter::kUpdatedAfter:
        return fail("updatedafter cannot be honoured: the table records no update times");
    }
    return true;
  }

  // The checks of the parameters together.
  bool finish() {
    const CalibrationSelection& selection = out_->selection;
    const std::size_t patterns = code_pattern_count(selection);
    if (patterns > kMaxCodePatterns) {
      return fail(string_printf(
          "Too many code patterns: %zu (at most %zu in network, station, location and "
          "channel together; use the wildcards * and ?)",
          patterns, kMaxCodePatterns));
    }
    if (selection.window_start && selection.window_end &&
        is_later(*selection.window_start, *selection.window_end)) {
      return fail("starttime is after endtime");
    }
    const GeoArea& area = out_->area;
    if (area.min_latitude && area.max_latitude && *area.min_latitude > *area.max_latitude) {
      return fail("minlatitude is greater than maxlatitude");
    }
    if (area.min_longitude && area.max_longitude && *area.min_longitude > *area.max_longitude) {
      return fail("minlongitude is greater than maxlongitude");
    }
    if (area.min_radius && area.max_radius && *area.min_radius > *area.max_radius) {
      return fail("minradius is greater than maxradius");
    }
    if (out_->format == QueryFormat::kText && out_->level == QueryLevel::kResponse) {
      return fail("format=text is not available for level=response");
    }
    return true;
  }

  bool fail(const std::string& text) {
    *error_ = text;
    return false;
  }

 private:
  bool invalid(const std::string& value, const std::string& why) {
    return fail("Invalid value for " + name_ + ": '" + shown(value) + "' (" + why + ")");
  }

  bool read_time(const std::string& value, std::optional<Timestamp>* out) {
    Timestamp time;
    if (!parse_selection_time(value, &time)) {
      return fail("Invalid value for " + name_ + ": '" + shown(value) + "' " + kTimeForms);
    }
    *out = time;
    return true;
  }

  bool read_codes(const std::string& value, std::vector<std::string>* out) {
    std::vector<std::string> patterns;
    if (!split_code_patterns(value, &patterns)) {
      return invalid(value, "an empty code; name the empty location as --");
    }
    for (const std::string& pattern : patterns) {
      const char* problem = code_problem(pattern);
      if (problem != nullptr) {
        return invalid(value, std::string("the code '") + shown(pattern) + "' " + problem);
      }
    }
    *out = std::move(patterns);
    return true;
  }

  // A plain decimal number from -limit to limit.
  bool read_degrees(const std::string& value, double limit, std::optional<double>* out) {
    double number = 0;
    if (!read_number(value, &number) || number < -limit || number > limit) {
      return invalid(value, string_printf("a number of degrees from %g to %g", -limit, limit));
    }
    *out = number;
    return true;
  }

  bool read_radius(const std::string& value, std::optional<double>* out) {
    double number = 0;
    if (!read_number(value, &number) || number < 0 || number > 180) {
      return invalid(value, "a number of degrees from 0 to 180");
    }
    *out = number;
    return true;
  }

  // Digits with an optional sign, point and exponent only: no blank, no
  // hexadecimal form, no infinity.
  static bool read_number(const std::string& value, double* out) {
    if (value.empty() || value.find_first_not_of("0123456789+-.eE") != std::string::npos) {
      return false;
    }
    char* end = nullptr;
    *out = std::strtod(value.c_str(), &end);
    return *end == '\0' && std::isfinite(*out);
  }

  // "true" or "false" (letters in any case); only `honoured` is accepted.
  bool read_honoured(const std::string& value, bool honoured, const char* why) {
    bool flag = false;
    if (equals_ignore_case(value, "true")) {
      flag = true;
    } else if (!equals_ignore_case(value, "false")) {
      return invalid(value, "true or false");
    }
    if (flag != honoured) {
      return fail(name_ + "=" + shown(value) + " cannot be honoured: " + why);
    }
    return true;
  }

  StationQuery* out_;
  std::string* error_;
  bool seen_[kParameterCount] = {};
  std::string name_;  // the long name of the parameter being read
};

}  // namespace

bool parse_station_query(const std::vector<QueryParameter>& parameters, StationQuery* out,
                         std::string* error) {
  *out = StationQuery();
  QueryReader reader(out, error);
  for (const QueryParameter& p : parameters) {
    if (!reader.read(p.name, p.value)) return false;
  }
  return reader.finish();
}

bool parse_station_post(const std::string& body, StationQuery* out, std::string* error) {
  *out = StationQuery();
  QueryReader reader(out, error);
  std::vector<SelectionRow>& rows = out->selection.rows;
  std::size_t number = 0;
  for (std::size_t begin = 0; begin < body.size();) {
    std::size_t end = body.find('\n', begin);
    if (end == std::string::npos) end = body.size();
    std::string line = body.substr(begin, end - begin);
    begin = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line = trimmed(line);
    if (line.empty()) continue;
    const std::string where = string_printf("POST line %zu: ", number);
    std::string blanks_as_spaces = line;
    for (char& c : blanks_as_spaces) {
      if (c == '\t') c = ' ';
    }
    if (!is_clean_text(blanks_as_spaces)) {
      return reader.fail(where + "not UTF-8 text, or holds a control byte");
    }
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) {
      if (!rows.empty()) return reader.fail(where + "a parameter after the selection lines");
      if (!reader.read(trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)))) {
        return false;
      }
      continue;
    }
    std::vector<std::string> fields;
    for (std::size_t pos = 0; pos < line.size();) {
      if (is_blank(line[pos])) {
        ++pos;
        continue;
      }
      std::size_t stop = pos;
      while (stop < line.size() && !is_blank(line[stop])) ++stop;
      fields.push_back(line.substr(pos, stop - pos));
      pos = stop;
    }
    if (fields.size() != 6) {
      return reader.fail(where + "not a selection line NET STA LOC CHA START END: '" +
                         shown(line) + "'");
    }
    if (rows.size() == kMaxSelectionLines) {
      return reader.fail(string_printf("Too many selection lines (at most %zu)",
                                       kMaxSelectionLines));
    }
    SelectionRow row;
    row.network = fields[0];
    row.station = fields[1];
    row.location = fields[2];
    row.channel = fields[3];
    for (int i = 0; i < 4; ++i) {
      const char* problem = code_problem(fields[i]);
      if (problem != nullptr) {
        return reader.fail(where + "the code '" + shown(fields[i]) + "' " + problem);
      }
    }
    for (int i = 4; i < 6; ++i) {
      if (fields[i] == "*") continue;
      Timestamp time;
      if (!parse_selection_time(fields[i], &time)) {
        return reader.fail(where + "invalid time '" + shown(fields[i]) + "' " + kTimeForms);
      }
      (i == 4 ? row.start : row.end) = time;
    }
    if (row.start && row.end && is_later(*row.start, *row.end)) {
      return reader.fail(where + "the start is after the end");
    }
    rows.push_back(std::move(row));
  }
  if (rows.empty()) return reader.fail("No selection lines in the POST body");
  return reader.finish();
}

}  // namespace kalvynex

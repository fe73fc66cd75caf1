#include "inventory/period_view.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "core/json_text.h"
#include "core/string_printf.h"
#include "inventory/period_walk.h"
#include "inventory/selection_time.h"
#include "response/decimal_text.h"
#include "response/fap_text.h"
#include "response/period_check.h"
#include "response/pole_zero.h"

namespace kalvynex {

namespace {

// check's default tolerances (--tolerance, --phase-tolerance).
constexpr double kToleranceDb = 1.0;
constexpr double kPhaseToleranceDeg = 5.0;

// The pole-zero curve's frequencies without a FAP table, and the number of
// log-spaced frequencies across the band.
constexpr double kLowestHz = 0.001;
constexpr double kHighestHz = 100.0;
constexpr int kCurveFrequencies = 200;

// `value` as a JSON number, seven significant digits ("1.234500e-02"), or
// null when it is not finite.
void append_number(std::string* out, double value) {
  if (!std::isfinite(value)) {
    *out += "null";
    return;
  }
  char text[kDecimalTextRoom];
  const char* end = put_signed_exponent(text, value);
  // JSON takes no "+" before a number.
  const char* begin = text[0] == '+' ? text + 1 : text;
  out->append(begin, end);
}

struct Point {
  double frequency;
  double amplitude;  // count/m
  double phase;      // degrees; NaN when the text gives none
};

void append_points(std::string* out, const std::vector<Point>& points) {
  *out += "[";
  for (std::size_t i = 0; i < points.size(); ++i) {
    *out += i == 0 ? "[" : ", [";
    append_number(out, points[i].frequency);
    *out += ", ";
    append_number(out, points[i].amplitude);
    *out += ", ";
    append_number(out, points[i].phase);
    *out += "]";
  }
  *out += "]";
}

// The FAP table's triplets that the conversion keeps (a positive frequency
// and amplitude), the amplitude turned from micrometres per count into
// counts per metre as check compares them.
std::vector<Point> fap_points(const std::string& fap) {
  std::vector<Point> points;
  scan_fap_lines(normalize_fap_text(fap).text, [&](const FapLine& line) {
    if (!line.usable()) return;
    points.push_back({line.frequency, 1e6 / line.amplitude,
                      line.values_read == 3 ? line.phase : std::nan("")});
  });
  return points;
}

// The pole zeros at `count` log-spaced frequencies from `low` to `high`
// and at `extra` frequencies, in increasing order.
std::vector<Point> pole_zero_points(const PoleZeroResponse& response, double low, double high,
                                    const std::vector<Point>& extra) {
  std::vector<double> frequencies;
  frequencies.reserve(kCurveFrequencies + extra.size());
  const double step = std::log10(high / low) / (kCurveFrequencies - 1);
  for (int i = 0; i < kCurveFrequencies; ++i) {
    frequencies.push_back(i == kCurveFrequencies - 1 ? high
                                                     : low * std::pow(10.0, step * i));
  }
  for (const Point& p : extra) {
    if (std::isfinite(p.frequency)) frequencies.push_back(p.frequency);
  }
  std::sort(frequencies.begin(), frequencies.end());
  frequencies.erase(std::unique(frequencies.begin(), frequencies.end()), frequencies.end());
  std::vector<Point> points;
  points.reserve(frequencies.size());
  for (const double f : frequencies) {
    const std::complex<double> value = evaluate_pole_zero(response, f);
    points.push_back({f, std::abs(value), std::arg(value) * 180.0 / M_PI});
  }
  return points;
}

bool same_time(const Timestamp& a, const Timestamp& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute && a.second == b.second && a.fraction == b.fraction;
}

// SENS and FREQ as read: null for the NULL marker (-1) and for what is not
// finite.
void append_stored_number(std::string* out, double value) {
  if (value == -1.0) {
    *out += "null";
  } else {
    append_number(out, value);
  }
}

std::string period_json(const CalibrationRecord& r, const std::vector<Finding>& findings) {
  std::vector<std::string> notes;
  std::vector<Point> fap;
  if (r.fap.empty()) {
    notes.push_back("no FAP text");
  } else {
    fap = fap_points(r.fap);
    if (fap.empty()) notes.push_back("the FAP text holds no usable triplet");
  }
  std::vector<Point> pole_zero;
  if (r.sac.empty()) {
    notes.push_back("no SAC text");
  } else {
    PoleZeroResponse response;
    std::vector<PoleZeroProblem> problems;
    if (parse_pole_zero(r.sac, &response, &problems)) {
      // The FAP table's band, when it has one.
      double low = HUGE_VAL;
      double high = 0.0;
      for (const Point& p : fap) {
        if (!std::isfinite(p.frequency)) continue;
        low = std::min(low, p.frequency);
        high = std::max(high, p.frequency);
      }
      if (!(high > low)) {
        low = kLowestHz;
        high = kHighestHz;
      }
      pole_zero = pole_zero_points(response, low, high, fap);
    } else {
      std::string note = "the SAC text cannot be read";
      if (!problems.empty()) {
        note += problems.front().line > 0
                    ? string_printf(": line %d: ", problems.front().line)
                    : std::string(": ");
        note += problems.front().reason;
      }
      notes.push_back(note);
    }
  }

  std::string json = "{\"network\": " + json_string(r.codes.network) +
                     ", \"station\": " + json_string(r.codes.sta) +
                     ", \"location\": " + json_string(r.codes.location) +
                     ", \"channel\": " + json_string(r.codes.chan) +
                     ", \"start\": " + json_string(timestamp_iso_text(r.startdate)) +
                     ", \"end\": " +
                     (is_open_end(r.enddate) ? std::string("null")
                                             : json_string(timestamp_iso_text(r.enddate)));
  json += ", \"sens\": ";
  append_stored_number(&json, r.sens);
  json += ", \"freq\": ";
  append_stored_number(&json, r.freq);
  json += ",\n \"unit\": \"count/m\", \"points\": [\"frequency\", \"amplitude\", \"phase\"]";
  json += ",\n \"pole_zero\": ";
  append_points(&json, pole_zero);
  json += ",\n \"fap\": ";
  append_points(&json, fap);
  json += ",\n \"findings\": [";
  for (std::size_t i = 0; i < findings.size(); ++i) {
    json += (i == 0 ? "\n  " : ",\n  ") + finding_json(findings[i]);
  }
  json += "],\n \"notes\": [";
  for (std::size_t i = 0; i < notes.size(); ++i) {
    json += (i == 0 ? "" : ", ") + json_string(notes[i]);
  }
  json += "]}\n";
  return json;
}

// The period of `codes` that starts at `start`, as JSON, with check's
// findings for it.
Status view_period(PeriodCatalog& catalog, const ChannelCodes& codes, const Timestamp& start,
                   std::string* json, bool* found) {
  // The periods valid at START are the target and every earlier period that
  // overlaps it: check needs those before it to find the overlaps.
  CalibrationSelection selection;
  selection.valid_at = start;
  Status status = catalog.open_periods(codes, selection, true);
  if (!status.ok()) return status;
  PeriodChecker checker(kToleranceDb, kPhaseToleranceDeg);
  std::vector<Finding> findings;
  for (;;) {
    CatalogPeriod period;
    bool more = false;
    status = catalog.next_period(&period, &more);
    if (!status.ok()) return status;
    if (!more) break;
    CalibrationRecord record = record_of(period);
    if (*found || !same_time(period.startdate, start)) {
      // Read to the end, so that the query is closed; only the periods
      // before the target matter to its findings.
      if (!*found) {
        std::vector<Finding> earlier;
        checker.check(record, &earlier);
      }
      continue;
    }
    status = catalog.read_texts(&record.sac, &record.fap);
    if (!status.ok()) return status;
    checker.check(record, &findings);
    *json = period_json(record, findings);
    *found = true;
  }
  return Status();
}

}  // namespace

bool parse_period_view_request(const std::vector<QueryParameter>& parameters,
                               PeriodViewRequest* out, std::string* error) {
  const char* const names[] = {"net", "sta", "loc", "cha", "start"};
  const std::string* values[5] = {};
  for (const QueryParameter& p : parameters) {
    const auto* name = std::find(std::begin(names), std::end(names), p.name);
    if (name == std::end(names)) {
      *error = "Unknown parameter: " + p.name;
      return false;
    }
    const std::string*& value = values[name - std::begin(names)];
    if (value != nullptr) {
      *error = "Repeated parameter: " + p.name;
      return false;
    }
    value = &p.value;
  }
  for (std::size_t i = 0; i < 5; ++i) {
    if (values[i] == nullptr) {
      *error = std::string("Missing parameter: ") + names[i];
      return false;
    }
  }
  PeriodViewRequest request;
  request.codes.network = *values[0];
  request.codes.sta = *values[1];
  request.codes.location = *values[2] == "--" ? std::string() : *values[2];
  request.codes.chan = *values[3];
  if (!parse_selection_time(*values[4], &request.start)) {
    *error = "Invalid start: " + *values[4];
    return false;
  }
  *out = request;
  return true;
}

Status write_period_view(PeriodCatalog& catalog, const PeriodViewRequest& request,
                         std::string* json, bool* found) {
  *found = false;
  // The documents write the stored "??" and "--" as the empty location, so
  // the empty location finds a period stored under any of the three.
  std::vector<std::string> locations = {request.codes.location};
  if (request.codes.location.empty()) {
    locations.emplace_back("??");
    locations.emplace_back("--");
  }
  for (const std::string& location : locations) {
    ChannelCodes codes = request.codes;
    codes.location = location;
    Status status = view_period(catalog, codes, request.start, json, found);
    if (!status.ok() || *found) return status;
  }
  return Status();
}

}  // namespace kalvynex

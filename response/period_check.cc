#include "response/period_check.h"

#include <cmath>
#include <complex>

#include "core/json_text.h"
#include "core/period_label.h"
#include "core/string_printf.h"
#include "core/terminal_text.h"
#include "response/fap_text.h"
#include "response/pole_zero.h"
#include "response/stationxml_writer.h"

namespace kalvynex {

namespace {

// An end that counts as open: the NULL sentinel (year -1, every other field
// 0) or any year of 0 or below. The sentinel-free ones are not calendar
// times and are reported, but still read as open, as kalvynex reads them.
bool is_null_end(const Timestamp& t) {
  return t.year <= 0 && t.month == 0 && t.day == 0 && t.hour == 0 && t.minute == 0 &&
         t.second == 0;
}

void add(std::vector<Finding>* findings, const CalibrationRecord& r, FindingKind kind,
         std::string detail) {
  findings->push_back(Finding{r.codes, r.startdate, kind, std::move(detail)});
}

// The FAP findings; fills `usable` with the triplets the conversion keeps.
struct UsableTriplet {
  int line;
  double frequency;
  double amplitude;
};

void check_fap(const CalibrationRecord& r, std::vector<UsableTriplet>* usable,
               std::vector<Finding>* findings) {
  const NormalizedFap normalized = normalize_fap_text(r.fap);
  int not_increasing = 0;
  std::string first_decrease;
  // Lines whose numbers cannot be written make the whole text unusable:
  // one finding for all of them, in place of the count and order findings.
  int unwritable = 0;
  std::string first_unwritable;
  scan_fap_lines(normalized.text, [&](const FapLine& line) {
    if (!line.finite() || (line.usable() && !std::isfinite(1e6 / line.amplitude))) {
      if (unwritable++ == 0) {
        first_unwritable =
            line.finite()
                ? string_printf("line %d: amplitude %g has no finite inverse", line.number,
                                line.amplitude)
                : string_printf("line %d: a number that is not finite", line.number);
      }
      return;
    }
    if (!line.usable()) {
      std::string why;
      if (line.values_read == 0) {
        why = "no number";
      } else if (line.values_read == 1) {
        why = "no amplitude";
      } else if (!(line.frequency > 0.0)) {
        why = string_printf("frequency %g is not positive", line.frequency);
      } else {
        why = string_printf("amplitude %g is not positive", line.amplitude);
      }
      add(findings, r, FindingKind::kFap, string_printf("line %d dropped: ", line.number) + why);
      return;
    }
    if (!usable->empty() && !(line.frequency > usable->back().frequency)) {
      if (not_increasing++ == 0) {
        first_decrease = string_printf("line %d (%g Hz) after line %d (%g Hz)", line.number,
                                       line.frequency, usable->back().line,
                                       usable->back().frequency);
      }
    }
    usable->push_back({line.number, line.frequency, line.amplitude});
  });
  if (unwritable > 0) {
    usable->clear();
    add(findings, r, FindingKind::kFap,
        first_unwritable +
            (unwritable > 1 ? string_printf(" and %d more such lines", unwritable - 1) : "") +
            "; the text is unusable");
    return;
  }
  if (usable->size() < 2) {
    add(findings, r, FindingKind::kFap,
        string_printf("%zu usable triplet%s, at least 2 needed", usable->size(),
                      usable->size() == 1 ? "" : "s"));
  }
  if (not_increasing > 0) {
    std::string detail = "frequencies not increasing: " + first_decrease;
    if (not_increasing > 1) detail += string_printf(" and %d more", not_increasing - 1);
    add(findings, r, FindingKind::kFap, detail);
  }
}

}  // namespace

const char* finding_kind_name(FindingKind kind) {
  switch (kind) {
    case FindingKind::kOverlap: return "overlap";
    case FindingKind::kOrder: return "order";
    case FindingKind::kDate: return "date";
    case FindingKind::kEmpty: return "empty";
    case FindingKind::kSac: return "sac";
    case FindingKind::kFap: return "fap";
    case FindingKind::kMismatch: return "mismatch";
    case FindingKind::kCode: return "code";
  }
  return "?";
}

void PeriodChecker::check(const CalibrationRecord& r, std::vector<Finding>* findings) {
  if (!have_channel_ || !(channel_ == r.codes)) {
    channel_ = r.codes;
    have_channel_ = true;
    have_latest_ = false;
  }

  const std::string unusable = unusable_codes_text(r.codes);
  if (!unusable.empty()) add(findings, r, FindingKind::kCode, unusable);

  // Dates.
  bool dates_usable = true;
  if (!is_calendar_time(r.startdate)) {
    add(findings, r, FindingKind::kDate,
        "START " + timestamp_iso_text(r.startdate) + " is not a calendar time");
    dates_usable = false;
  }
  const bool open = is_open_end(r.enddate);
  if (open ? !is_null_end(r.enddate) : !is_calendar_time(r.enddate)) {
    add(findings, r, FindingKind::kDate,
        "END " + timestamp_iso_text(r.enddate) + " is not a calendar time" +
            (open ? " (read as open)" : ""));
    if (!open) dates_usable = false;
  }
  if (dates_usable && !open && timestamp_seconds(r.enddate) < timestamp_seconds(r.startdate)) {
    add(findings, r, FindingKind::kOrder,
        "END " + timestamp_iso_text(r.enddate) + " is before START");
    dates_usable = false;
  }
  if (dates_usable) {
    // Both ends count, and an open end is valid from START on, so two
    // periods overlap when this one starts no later than an earlier one ends.
    if (have_latest_ && (is_open_end(latest_end_) ||
                         timestamp_seconds(r.startdate) <= timestamp_seconds(latest_end_))) {
      add(findings, r, FindingKind::kOverlap,
          "valid at the same time as the period from " + timestamp_iso_text(latest_start_) +
              (is_open_end(latest_end_) ? " (open)"
                                        : " to " + timestamp_iso_text(latest_end_)));
    }
    if (!have_latest_ || (!is_open_end(latest_end_) &&
                          (open || timestamp_seconds(r.enddate) >
                                       timestamp_seconds(latest_end_)))) {
      have_latest_ = true;
      latest_start_ = r.startdate;
      latest_end_ = r.enddate;
    }
  }

  // Texts.
  if (r.sac.empty() && r.fap.empty()) {
    add(findings, r, FindingKind::kEmpty, "neither a SAC nor a FAP text");
    return;
  }
  PoleZeroResponse pole_zero;
  bool have_pole_zero = false;
  if (!r.sac.empty()) {
    std::vector<PoleZeroProblem> problems;
    have_pole_zero = parse_pole_zero(r.sac, &pole_zero, &problems);
    for (const PoleZeroProblem& p : problems) {
      add(findings, r, FindingKind::kSac,
          (p.line > 0 ? string_printf("line %d: ", p.line) : std::string()) + p.reason);
    }
  }
  if (have_pole_zero) {
    // The test of the StationXML export: a response that has no frequency
    // to be normalised at cannot be written.
    ChannelEpoch epoch;
    epoch.normalization_frequency = requested_normalization_frequency(r.freq);
    epoch.pole_zero = &pole_zero;
    const ResponsePlan plan = plan_response(epoch);
    if (!plan.writable) {
      add(findings, r, FindingKind::kSac, plan.unusable);
      have_pole_zero = false;
    }
  }
  std::vector<UsableTriplet> usable;
  if (!r.fap.empty()) check_fap(r, &usable, findings);

  if (!have_pole_zero || usable.empty()) return;
  // The pole zeros give counts per metre; the FAP amplitude A is micrometres
  // per count, so 10^6 / A is the same quantity.
  double worst = 0.0;
  const UsableTriplet* where = nullptr;
  double worst_pz = 0.0;
  for (const UsableTriplet& t : usable) {
    const double pz = std::abs(evaluate_pole_zero(pole_zero, t.frequency));
    const double fap = 1e6 / t.amplitude;
    const double difference = 20.0 * std::log10(pz / fap);
    // At a zero or a pole of the response no difference in dB is defined.
    if (!std::isfinite(difference)) continue;
    if (where == nullptr || !(std::fabs(difference) <= std::fabs(worst))) {
      worst = difference;
      where = &t;
      worst_pz = pz;
    }
  }
  if (where != nullptr && !(std::fabs(worst) <= tolerance_db_)) {
    add(findings, r, FindingKind::kMismatch,
        string_printf("pole zeros and FAP differ by %+.2f dB at %g Hz (FAP line %d): "
                      "%.6g against %.6g count/m",
                      worst, where->frequency, where->line, worst_pz, 1e6 / where->amplitude));
  }
}

std::string finding_text(const Finding& f) {
  return terminal_text(period_label(f.codes, f.start) + " " + finding_kind_name(f.kind) + ": " +
                       f.detail);
}

std::string finding_json(const Finding& f) {
  return "{\"network\": " + json_string(f.codes.network) +
         ", \"station\": " + json_string(f.codes.sta) +
         ", \"location\": " + json_string(f.codes.location) +
         ", \"channel\": " + json_string(f.codes.chan) +
         ", \"start\": " + json_string(timestamp_iso_text(f.start)) +
         ", \"kind\": " + json_string(finding_kind_name(f.kind)) +
         ", \"detail\": " + json_string(f.detail) + "}";
}

}  // namespace kalvynex

#include "response/period_check.h"

#include <algorithm>
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
  findings->push_back(Finding{r.codes, r.startdate, kind, std::move(detail), {}});
}

// The FAP findings; fills `usable` with the triplets the conversion keeps.
struct UsableTriplet {
  int line;
  double frequency;
  double amplitude;
  bool has_phase;  // the line holds a third number
  double phase;    // degrees
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
    usable->push_back(
        {line.number, line.frequency, line.amplitude, line.values_read == 3, line.phase});
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

// 20 log10(2 pi f): by how much a displacement response exceeds the
// velocity response of the same instrument.
double angular_frequency_db(double frequency_hz) {
  return 20.0 * std::log10(2.0 * M_PI * frequency_hz);
}

// `degrees` modulo 360, within -180 (excluded) .. 180.
double phase_difference(double degrees) {
  double d = std::fmod(degrees, 360.0);
  if (d > 180.0) d -= 360.0;
  if (d <= -180.0) d += 360.0;
  return d;
}

// One stored frequency where both texts give a defined value.
struct Compared {
  const UsableTriplet* triplet;
  double value;  // the difference: dB, or degrees
  double fap;    // 10^6/A count/m, or the FAP phase in degrees
  double pz;     // |CONSTANT x PZ(2 pi i f)| count/m, or its phase in degrees
};

// How far apart two frequencies are on a logarithmic scale.
double log_distance(double a_hz, double b_hz) { return std::fabs(std::log(a_hz / b_hz)); }

// The compared frequency nearest `frequency_hz` on a logarithmic scale (the
// first of equals), and the one of the largest difference (the first of
// equals); `points` must not be empty.
const Compared& nearest(const std::vector<Compared>& points, double frequency_hz) {
  const Compared* best = &points.front();
  for (const Compared& c : points) {
    if (log_distance(c.triplet->frequency, frequency_hz) <
        log_distance(best->triplet->frequency, frequency_hz)) {
      best = &c;
    }
  }
  return *best;
}
const Compared& largest(const std::vector<Compared>& points) {
  const Compared* worst = &points.front();
  for (const Compared& c : points) {
    if (std::fabs(c.value) > std::fabs(worst->value)) worst = &c;
  }
  return *worst;
}

// "at 1 Hz, the calibration frequency (FAP line 7)", or, when no stored
// frequency is the calibration frequency, the nearest one named so.
std::string at_calibration(const Compared& c, double calibration_hz) {
  return c.triplet->frequency == calibration_hz
             ? string_printf("at %g Hz, the calibration frequency (FAP line %d)",
                             c.triplet->frequency, c.triplet->line)
             : string_printf("at %g Hz, the stored frequency nearest the calibration frequency "
                             "%g Hz (FAP line %d)",
                             c.triplet->frequency, calibration_hz, c.triplet->line);
}

// The sens finding: SENS against the sensitivity at the calibration
// frequency, from the pole zeros when they are usable, else from the FAP
// triplet nearest that frequency.
void check_sens(const CalibrationRecord& r, const PoleZeroResponse* pole_zero,
                const std::vector<UsableTriplet>& usable, double calibration_hz,
                double tolerance_db, std::vector<Finding>* findings) {
  // SENS NULL (-1), zero, negative or not finite: no stored sensitivity.
  if (!(r.sens > 0.0) || !std::isfinite(r.sens)) return;
  double computed = 0.0;
  double at_hz = calibration_hz;
  std::string source;
  if (pole_zero != nullptr) {
    computed = std::abs(evaluate_pole_zero(*pole_zero, calibration_hz));
    source = "the pole zeros give";
  } else if (!usable.empty()) {
    const UsableTriplet* best = &usable.front();
    for (const UsableTriplet& t : usable) {
      if (log_distance(t.frequency, calibration_hz) <
          log_distance(best->frequency, calibration_hz)) {
        best = &t;
      }
    }
    computed = 1e6 / best->amplitude;
    at_hz = best->frequency;
    source = string_printf("the FAP text gives (line %d)", best->line);
  } else {
    return;
  }
  const double difference = 20.0 * std::log10(r.sens / computed);
  if (!std::isfinite(difference) || std::fabs(difference) <= tolerance_db) return;
  Finding f{r.codes, r.startdate, FindingKind::kSens,
            string_printf("SENS %.6g differs by %+.2f dB from the %.6g count/m that %s at %g Hz",
                          r.sens, difference, computed, source.c_str(), at_hz) +
                (at_hz == calibration_hz ? ", the calibration frequency"
                                         : string_printf(", the stored frequency nearest the "
                                                         "calibration frequency %g Hz",
                                                         calibration_hz)) +
                (difference > 0 ? "; SENS is larger" : "; SENS is smaller"),
            {{"sens", r.sens},
             {"computed", computed},
             {"frequency", at_hz},
             {"difference_db", difference}}};
  findings->push_back(std::move(f));
}

// The mismatch and phase findings: both texts at every usable triplet.
void compare_texts(const CalibrationRecord& r, const PoleZeroResponse& pole_zero,
                   const std::vector<UsableTriplet>& usable, double calibration_hz,
                   double tolerance_db, double phase_tolerance_deg,
                   std::vector<Finding>* findings) {
  // The pole zeros give counts per metre; the FAP amplitude A is micrometres
  // per count, so 10^6 / A is the same quantity. The FAP phase is the phase
  // of that response, as the StationXML export writes it.
  std::vector<Compared> amplitudes;
  std::vector<Compared> phases;
  for (const UsableTriplet& t : usable) {
    const std::complex<double> response = evaluate_pole_zero(pole_zero, t.frequency);
    const double pz = std::abs(response);
    const double fap = 1e6 / t.amplitude;
    const double difference = 20.0 * std::log10(pz / fap);
    // At a zero or a pole of the response no difference is defined.
    if (!std::isfinite(difference)) continue;
    amplitudes.push_back({&t, difference, fap, pz});
    if (t.has_phase) {
      const double pz_phase = std::arg(response) * 180.0 / M_PI;
      phases.push_back({&t, phase_difference(pz_phase - t.phase), t.phase, pz_phase});
    }
  }
  if (!amplitudes.empty() && !(std::fabs(largest(amplitudes).value) <= tolerance_db)) {
    const Compared& at = nearest(amplitudes, calibration_hz);
    const Compared& worst = largest(amplitudes);
    std::string detail = string_printf(
        "pole zeros and FAP differ by %+.2f dB %s: %.6g against %.6g count/m", at.value,
        at_calibration(at, calibration_hz).c_str(), at.pz, at.fap);
    // Which is larger, unless they agree to the digits shown.
    if (std::fabs(at.value) >= 0.005) {
      detail += at.value > 0 ? ", the pole zeros larger" : ", the FAP text larger";
    }
    detail += string_printf("; the largest difference %+.2f dB at %g Hz (FAP line %d)",
                            worst.value, worst.triplet->frequency, worst.triplet->line);
    // A velocity response taken for a displacement one (or the reverse)
    // differs by 2 pi f at every frequency: +-20 dB per decade. When a
    // constant gain differs as well, the slope is named with it, provided
    // the stored frequencies span more than that slope could hide.
    double lowest_hz = amplitudes.front().triplet->frequency;
    double highest_hz = lowest_hz;
    for (const Compared& c : amplitudes) {
      lowest_hz = std::min(lowest_hz, c.triplet->frequency);
      highest_hz = std::max(highest_hz, c.triplet->frequency);
    }
    const double span_db = 20.0 * std::log10(highest_hz / lowest_hz);
    for (const double sign : {1.0, -1.0}) {
      double low = 0.0;
      double high = 0.0;
      for (std::size_t i = 0; i < amplitudes.size(); ++i) {
        const double rest = amplitudes[i].value -
                            sign * angular_frequency_db(amplitudes[i].triplet->frequency);
        low = i == 0 ? rest : std::min(low, rest);
        high = i == 0 ? rest : std::max(high, rest);
      }
      const double besides = (low + high) / 2.0;
      if (std::fabs(low) <= tolerance_db && std::fabs(high) <= tolerance_db) {
        detail += "; differs by a factor of 2 pi f: one text describes velocity, the other "
                  "displacement";
      } else if ((high - low) / 2.0 <= tolerance_db && span_db > 2.0 * tolerance_db) {
        detail += string_printf("; differs by a factor of 2 pi f and by %+.2f dB besides: one "
                                "text describes velocity, the other displacement",
                                besides);
      }
    }
    findings->push_back({r.codes, r.startdate, FindingKind::kMismatch, detail,
                         {{"frequency", at.triplet->frequency},
                          {"difference_db", at.value},
                          {"largest_difference_db", worst.value},
                          {"largest_at", worst.triplet->frequency}}});
  }
  if (!phases.empty() && !(std::fabs(largest(phases).value) <= phase_tolerance_deg)) {
    const Compared& at = nearest(phases, calibration_hz);
    const Compared& worst = largest(phases);
    std::string detail = string_printf(
        "pole zeros and FAP phases differ by %+.1f degrees %s: %.3f against %.3f degrees",
        at.value, at_calibration(at, calibration_hz).c_str(), at.pz, at.fap);
    if (std::fabs(at.value) >= 0.05) {
      detail += at.value > 0 ? ", the pole zeros' larger" : ", the FAP text's larger";
    }
    detail += string_printf("; the largest difference %+.1f degrees at %g Hz (FAP line %d)",
                            worst.value, worst.triplet->frequency, worst.triplet->line);
    // The sign of every phase flipped: the sum is what differs by little.
    bool opposite = true;
    for (const Compared& c : phases) {
      if (!(std::fabs(phase_difference(c.pz + c.fap)) <= phase_tolerance_deg)) opposite = false;
    }
    if (opposite) detail += "; the phases have opposite signs";
    findings->push_back({r.codes, r.startdate, FindingKind::kPhase, detail,
                         {{"frequency", at.triplet->frequency},
                          {"difference_deg", at.value},
                          {"largest_difference_deg", worst.value},
                          {"largest_at", worst.triplet->frequency}}});
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
    case FindingKind::kPhase: return "phase";
    case FindingKind::kSens: return "sens";
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
  double plan_frequency = 1.0;
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
    plan_frequency = plan.frequency;
    if (!plan.writable) {
      add(findings, r, FindingKind::kSac, plan.unusable);
      have_pole_zero = false;
    }
  }
  std::vector<UsableTriplet> usable;
  if (!r.fap.empty()) check_fap(r, &usable, findings);

  // The calibration frequency: FREQ, or the frequency the export
  // normalises at when FREQ is absent or unusable.
  const double calibration_hz =
      have_pole_zero ? plan_frequency : requested_normalization_frequency(r.freq);
  check_sens(r, have_pole_zero ? &pole_zero : nullptr, usable, calibration_hz, tolerance_db_,
             findings);
  if (!have_pole_zero || usable.empty()) return;
  compare_texts(r, pole_zero, usable, calibration_hz, tolerance_db_, phase_tolerance_deg_,
                findings);
}

std::string finding_text(const Finding& f) {
  return terminal_text(period_label(f.codes, f.start) + " " + finding_kind_name(f.kind) + ": " +
                       f.detail);
}

std::string finding_json(const Finding& f) {
  std::string numbers;
  for (const auto& number : f.numbers) {
    numbers += string_printf(", \"%s\": %.9g", number.first, number.second);
  }
  return "{\"network\": " + json_string(f.codes.network) +
         ", \"station\": " + json_string(f.codes.sta) +
         ", \"location\": " + json_string(f.codes.location) +
         ", \"channel\": " + json_string(f.codes.chan) +
         ", \"start\": " + json_string(timestamp_iso_text(f.start)) +
         ", \"kind\": " + json_string(finding_kind_name(f.kind)) +
         ", \"detail\": " + json_string(f.detail) + numbers + "}";
}

}  // namespace kalvynex

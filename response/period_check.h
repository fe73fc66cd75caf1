// The checks of the check command: what is wrong with a channel's stored
// calibration periods, as findings. Pure functions over the rows; nothing
// here reads or writes the database.
#ifndef KALVYNEX_RESPONSE_PERIOD_CHECK_H_
#define KALVYNEX_RESPONSE_PERIOD_CHECK_H_

#include <string>
#include <utility>
#include <vector>

#include "core/calibration_record.h"
#include "core/channel_codes.h"
#include "core/timestamp.h"

namespace kalvynex {

enum class FindingKind {
  kOverlap, kOrder, kDate, kEmpty, kSac, kFap, kMismatch, kCode, kPhase, kSens
};

// "overlap", "order", "date", "empty", "sac", "fap", "mismatch", "code" (a
// code that cannot name a file or stand in a document: see code_problem;
// export skips the channel), "phase" or "sens".
const char* finding_kind_name(FindingKind kind);

struct Finding {
  ChannelCodes codes;
  Timestamp start;  // of the period the finding is about
  FindingKind kind = FindingKind::kEmpty;
  std::string detail;
  // The numbers of the detail, for programs: name and finite value
  // (frequencies in Hz, differences in dB or degrees), in the order written.
  std::vector<std::pair<const char*, double>> numbers;
};

// Checks periods one at a time, in the order of the query: grouped by
// channel and, within a channel, by START. Only the period that ends last
// among the earlier ones of the channel is remembered, so the memory used
// does not grow with the number of periods.
class PeriodChecker {
 public:
  // `tolerance_db`: the largest difference in dB between the pole-zero
  // amplitude and the FAP amplitude, or between SENS and the sensitivity
  // at the calibration frequency, that is not reported.
  // `phase_tolerance_deg`: the same for the phases, in degrees, the
  // difference taken modulo 360 into -180..180.
  explicit PeriodChecker(double tolerance_db, double phase_tolerance_deg = 5.0)
      : tolerance_db_(tolerance_db), phase_tolerance_deg_(phase_tolerance_deg) {}

  // Appends the findings of `record` (its codes set) to `findings`.
  void check(const CalibrationRecord& record, std::vector<Finding>* findings);

 private:
  double tolerance_db_;
  double phase_tolerance_deg_;
  bool have_channel_ = false;
  ChannelCodes channel_;
  // The earlier period of the channel that ends last (an open end counts
  // as the latest).
  bool have_latest_ = false;
  Timestamp latest_start_;
  Timestamp latest_end_;
};

// "NET.STA.LOC.CHA START KIND: detail" (no line end), shown as a terminal
// shows data (terminal_text).
std::string finding_text(const Finding& finding);

// One JSON object with the members network, station, location, channel,
// start, kind and detail, then the finding's numbers, each a JSON number.
std::string finding_json(const Finding& finding);

}  // namespace kalvynex

#endif  // KALVYNEX_RESPONSE_PERIOD_CHECK_H_

// The walk of every command: the selected channels one after the other, the
// periods of each in order, handed to a visit that says how to go on.
#ifndef KALVYNEX_INVENTORY_PERIOD_WALK_H_
#define KALVYNEX_INVENTORY_PERIOD_WALK_H_

#include <cstddef>
#include <utility>
#include <vector>

#include "core/calibration_record.h"
#include "core/status.h"
#include "db/period_catalog.h"
#include "inventory/inventory.h"
#include "inventory/reporter.h"

namespace kalvynex {

// How a visit, a walk or a command ended. A database failure is carried
// here, to be reported once by the session; every other failure has been
// reported where it happened.
struct Outcome {
  InventoryExit exit = InventoryExit::kDone;
  Status status;  // the database's failure when exit is kDatabase

  static Outcome done() { return Outcome(); }
  static Outcome failed(InventoryExit exit) { return Outcome{exit, Status()}; }
  static Outcome database(Status status) {
    return Outcome{InventoryExit::kDatabase, std::move(status)};
  }
  bool is_done() const { return exit == InventoryExit::kDone; }
};

// What a command leaves for the session's decision on the exit status.
struct CommandResult {
  Outcome outcome;
  std::size_t periods = 0;   // periods the walk visited
  std::size_t findings = 0;  // check's findings
};

// START is a calendar time, and so is END unless it is open.
bool has_calendar_dates(const CatalogPeriod& p);

// A period's values as a record without texts.
CalibrationRecord record_of(const CatalogPeriod& p);

class PeriodWalk {
 public:
  PeriodWalk(PeriodCatalog& catalog, const CalibrationSelection& selection,
             std::vector<ChannelCodes> channels, Reporter& reporter)
      : catalog_(catalog), selection_(selection), channels_(std::move(channels)),
        reporter_(reporter) {}

  // Runs `visit` (CatalogPeriod -> Outcome) for every selected period,
  // channel after channel; stops at the first outcome that is not done. A
  // channel found but without a period when its periods are asked for by
  // its codes is reported (Reporter::unreadable_channel), not passed over.
  // With `with_texts` the visit may call read_texts.
  template <typename Visit>
  CommandResult each(bool with_texts, Visit visit) {
    CommandResult result;
    for (std::size_t i = 0; i < channels_.size(); ++i) {
      reporter_.progress(i, channels_.size(), result.periods);
      Status status = catalog_.open_periods(channels_[i], selection_, with_texts);
      bool any = false;
      for (;;) {
        if (!status.ok()) {
          result.outcome = Outcome::database(status);
          return result;
        }
        CatalogPeriod period;
        bool found = false;
        status = catalog_.next_period(&period, &found);
        if (!status.ok()) continue;
        if (!found) break;
        any = true;
        ++result.periods;
        result.outcome = visit(period);
        if (!result.outcome.is_done()) return result;
      }
      if (!any) reporter_.unreadable_channel(channels_[i]);
    }
    return result;
  }

  // As each, for the exports: a channel with a code that no file name or
  // document may hold is reported once and skipped, and a period whose
  // START, or whose END when not open, is not a calendar time is reported
  // and skipped, so that no format writes such a code or date into a file,
  // its name or a document.
  template <typename Visit>
  CommandResult each_exportable(bool with_texts, Visit visit) {
    return each(with_texts, [this, &visit](const CatalogPeriod& p) {
      if (!reporter_.usable_codes(p)) return Outcome::done();
      if (!has_calendar_dates(p)) {
        reporter_.period(p, "a date that is not a calendar time; skipped");
        return Outcome::done();
      }
      return visit(p);
    });
  }

  // The date span of each selected channel, from one query (see
  // PeriodCatalog::find_channel_spans).
  Status channel_spans(std::vector<ChannelSpan>* spans) {
    return catalog_.find_channel_spans(selection_, spans);
  }

  // The texts of the period visited now, into record->sac and record->fap.
  Status read_texts(CalibrationRecord* record) {
    return catalog_.read_texts(&record->sac, &record->fap);
  }

 private:
  PeriodCatalog& catalog_;
  const CalibrationSelection& selection_;
  std::vector<ChannelCodes> channels_;
  Reporter& reporter_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_PERIOD_WALK_H_

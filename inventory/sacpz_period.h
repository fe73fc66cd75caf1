// The sacpz text of the periods a walk visits, one after the other: what
// the sacpz document (write_sacpz_document) and export -f sacpz's file per
// period both write.
#ifndef KALVYNEX_INVENTORY_SACPZ_PERIOD_H_
#define KALVYNEX_INVENTORY_SACPZ_PERIOD_H_

#include <ctime>
#include <string>
#include <vector>

#include "config/station_file.h"
#include "core/calibration_record.h"
#include "inventory/period_walk.h"
#include "inventory/reporter.h"
#include "response/pole_zero.h"
#include "response/sacpz_text.h"

namespace kalvynex {

// "YYYY-MM-DDThh:mm:ss" of `created`, the CREATED line's text.
std::string sacpz_created_text(std::time_t created);

class SacPzPeriodTexts {
 public:
  // `places` nullptr: no stations file.
  SacPzPeriodTexts(PeriodWalk& walk, Reporter& reporter, const StationPlaces* places,
                   std::time_t created)
      : walk_(walk), reporter_(reporter), places_(places), created_(sacpz_created_text(created)) {}

  // The text of `p`, the period the walk visits now, into *text. False when
  // there is none: the period is skipped (no SAC text, or one that does not
  // read; reported), or reading its texts failed (*outcome holds the
  // database's failure; else it is left done).
  bool text(const CatalogPeriod& p, std::string* text, Outcome* outcome);

 private:
  PeriodWalk& walk_;
  Reporter& reporter_;
  const StationPlaces* places_;
  const std::string created_;
  // Kept from period to period so that their memory is reused.
  CalibrationRecord record_;
  PoleZeroResponse response_;
  std::vector<PoleZeroProblem> problems_;
  std::string station_key_;
  SacPzPlace place_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_SACPZ_PERIOD_H_

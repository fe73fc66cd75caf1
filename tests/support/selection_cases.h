// One table of selections and the periods each must find, run against the
// real catalog on every database and against the fake catalog: the date
// bounds (strict, fractions of a second, open ends stored as NULL and as the
// last second of 9999) and the selection lines of a request.
#ifndef KALVYNEX_TESTS_SUPPORT_SELECTION_CASES_H_
#define KALVYNEX_TESTS_SUPPORT_SELECTION_CASES_H_

#include <string>
#include <vector>

#include "db/period_catalog.h"
#include "tests/support/fake_catalog.h"

namespace kalvynex {

// The periods the cases select from, as INSERT statements for CALIBRATION.
std::vector<std::string> selection_case_inserts();

// The same periods for the fake catalog.
std::vector<FakePeriod> selection_case_periods();

struct SelectionCase {
  std::string name;
  CalibrationSelection selection;
  std::string periods;  // the numbers (from 1) of the periods found, "1,4"
};

std::vector<SelectionCase> selection_cases();

// The numbers of the periods that `catalog` finds for `selection`: the
// channels of find_channels, each read with open_periods; or what went
// wrong, including find_channel_spans naming other channels.
std::string selected_periods(PeriodCatalog* catalog, const CalibrationSelection& selection);

}  // namespace kalvynex

#endif  // KALVYNEX_TESTS_SUPPORT_SELECTION_CASES_H_

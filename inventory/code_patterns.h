// The code patterns of a selection as the command line and the station
// service take them: comma lists, each item a pattern.
#ifndef KALVYNEX_INVENTORY_CODE_PATTERNS_H_
#define KALVYNEX_INVENTORY_CODE_PATTERNS_H_

#include <cstddef>
#include <string>
#include <vector>

#include "db/period_catalog.h"

namespace kalvynex {

// Appends the items of "A,B,C" to *out; false when an item is empty (the
// empty location is named "--").
bool split_code_patterns(const std::string& list, std::vector<std::string>* out);

// How many patterns the four code lists of `selection` hold together.
std::size_t code_pattern_count(const CalibrationSelection& selection);

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_CODE_PATTERNS_H_

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

// The longest code pattern the station service takes, in bytes. Stored
// codes are at most 8 characters; the bound keeps every pattern far below
// what the databases' LIKE takes (SQLite refuses one of 50,000 bytes), so
// that a long pattern is the client's error and never the database's.
constexpr std::size_t kMaxCodePatternBytes = 64;

// Why `pattern` cannot select a code: the reasons of code_problem, or
// "is longer than 64 bytes"; nullptr when it can.
const char* code_pattern_problem(const std::string& pattern);

// How many patterns the four code lists of `selection` hold together.
std::size_t code_pattern_count(const CalibrationSelection& selection);

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_CODE_PATTERNS_H_

// The times of the selection options (--time, --start, --end).
#ifndef KALVYNEX_INVENTORY_SELECTION_TIME_H_
#define KALVYNEX_INVENTORY_SELECTION_TIME_H_

#include <string>

#include "core/timestamp.h"

namespace kalvynex {

// Reads "YYYY-MM-DD", "YYYY-MM-DDTHH:MM:SS" or the same with a blank for the
// "T"; a real calendar time only (years 1 to 9999). False for anything else.
bool parse_selection_time(const std::string& text, Timestamp* out);

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_SELECTION_TIME_H_

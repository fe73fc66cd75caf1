// The times of the selection options (--time, --start, --end).
#ifndef KALVYNEX_INVENTORY_SELECTION_TIME_H_
#define KALVYNEX_INVENTORY_SELECTION_TIME_H_

#include <string>

#include "core/timestamp.h"

namespace kalvynex {

// Reads the time forms of the FDSN web services: "YYYY-MM-DD" or
// "YYYY-MM-DDThh:mm[:ss[.f]]" with one to six fraction digits and an optional
// "Z" (the time is UTC either way), a blank also standing for the "T". Only
// upper-case "T" and "Z"; a real calendar time only (years 1 to 9999, hours
// 0-23). The fraction goes to `out->fraction` in nanoseconds. False for
// anything else.
bool parse_selection_time(const std::string& text, Timestamp* out);

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_SELECTION_TIME_H_

// The DATE= text read as the time at which the calibration must be valid.
#ifndef KALVYNEX_APP_REQUESTED_DATE_H_
#define KALVYNEX_APP_REQUESTED_DATE_H_

#include <string>

#include "core/timestamp.h"

namespace kalvynex {

// Reads "YYYY-MM-DD hh:mm:ss" as far as it matches: the year takes at most 4
// characters and each other number at most 2; "-" separates the date parts,
// any white space (or none) comes before the hour, ":" separates the time
// parts. Numbers not reached stay 0; then a month or day of 0 becomes 1 and a
// month above 12 becomes 12. A text that does not start with a number gives
// year 0, which chooses like no date at all.
Timestamp parse_requested_date(const std::string& date_text);

}  // namespace kalvynex

#endif  // KALVYNEX_APP_REQUESTED_DATE_H_

#include "app/requested_date.h"

#include <cstdio>

namespace kalvynex {

Timestamp parse_requested_date(const std::string& date_text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  // Every number has a field width of at most 4 characters, so no
  // conversion can leave the range of int; the fields not reached stay 0,
  // which is how a partial date is read.
  // NOLINTNEXTLINE(cert-err34-c)
  std::sscanf(date_text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &year, &month, &day, &hour,
              &minute, &second);

  Timestamp date = Timestamp::at(year, month, day, hour, minute, second);
  if (date.month == 0) date.month = 1;
  if (date.month > 12) date.month = 12;
  if (date.day == 0) date.day = 1;
  return date;
}

}  // namespace kalvynex

// The DATE= text read as a timestamp, and the seconds count by which the
// record choice compares it with the calibration periods. Input: the text.
#include "app/requested_date.h"
#include "core/timestamp.h"
#include "fuzz/fuzz_support.h"

namespace {

int days_in_month(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && kalvynex::is_leap_year(year) ? 29 : kDays[month - 1];
}

// From 1970 on, a valid calendar time and the second after it are one
// second apart in the count, across every minute, day, month and year end.
void check_next_second(const kalvynex::Timestamp& t) {
  const int year = t.year, month = t.month, day = t.day;
  const int hour = t.hour, minute = t.minute, second = t.second;
  if (year < 1970 || month > 12 || day > days_in_month(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    return;
  }
  int y = year, mo = month, d = day, h = hour, mi = minute, s = second + 1;
  if (s == 60) { s = 0; ++mi; }
  if (mi == 60) { mi = 0; ++h; }
  if (h == 24) { h = 0; ++d; }
  if (d > days_in_month(y, mo)) { d = 1; ++mo; }
  if (mo == 13) { mo = 1; ++y; }
  const double now = kalvynex::timestamp_seconds(year, month, day, hour, minute, second);
  const double next = kalvynex::timestamp_seconds(y, mo, d, h, mi, s);
  FUZZ_CHECK(next - now == 1.0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const kalvynex::Timestamp date = kalvynex::parse_requested_date(text);
  // Four characters at most for the year; month and day never 0, the month
  // never above 12.
  FUZZ_CHECK(date.year >= -999 && date.year <= 9999);
  FUZZ_CHECK(date.month >= 1 && date.month <= 12);
  FUZZ_CHECK(date.day >= 1);
  FUZZ_CHECK(date.fraction == 0);
  check_next_second(date);
  return 0;
}

#include "core/timestamp.h"

#include "core/string_printf.h"

namespace kalvynex {

namespace {

// Days of the year before the first of each month; index 0 counts like
// January.
constexpr int kDaysBeforeMonth[13] = {0,   0,   31,  59,  90,  120, 151,
                                      181, 212, 243, 273, 304, 334};

int floor_div(int a, int b) { return a / b - (a % b != 0 && a < 0); }

}  // namespace

bool is_leap_year(int year) {
  if (year % 400 == 0) return true;
  if (year % 4 != 0) return false;
  return year % 100 != 0;
}

bool is_calendar_time(const Timestamp& t) {
  static constexpr int kDaysInMonth[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1) return false;
  const int days = kDaysInMonth[t.month] + (t.month == 2 && is_leap_year(t.year) ? 1 : 0);
  return t.day <= days && t.hour <= 23 && t.minute <= 59 && t.second <= 59;
}

Timestamp ceiling_second(const Timestamp& t) {
  Timestamp up = t;
  up.fraction = 0;
  if (t.fraction == 0) return up;
  if (t.year >= 9999 && t.month == 12 && t.day == 31 && t.hour == 23 && t.minute == 59 &&
      t.second == 59) {
    return up;
  }
  static constexpr int kDaysInMonth[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (++up.second < 60) return up;
  up.second = 0;
  if (++up.minute < 60) return up;
  up.minute = 0;
  if (++up.hour < 24) return up;
  up.hour = 0;
  const int days = kDaysInMonth[up.month] + (up.month == 2 && is_leap_year(up.year) ? 1 : 0);
  if (++up.day <= days) return up;
  up.day = 1;
  if (++up.month <= 12) return up;
  up.month = 1;
  ++up.year;
  return up;
}

std::string timestamp_text(const Timestamp& t) {
  return string_printf("%04d-%02u-%02u %02u:%02u:%02u", static_cast<int>(t.year),
                       static_cast<unsigned>(t.month), static_cast<unsigned>(t.day),
                       static_cast<unsigned>(t.hour), static_cast<unsigned>(t.minute),
                       static_cast<unsigned>(t.second));
}

std::string timestamp_iso_text(const Timestamp& t) {
  if (t.year < 0 || t.year > 9999 || t.month > 99 || t.day > 99 || t.hour > 99 || t.minute > 99 ||
      t.second > 99) {
    return string_printf("%04d-%02u-%02uT%02u:%02u:%02u", t.year, t.month, t.day, t.hour,
                         t.minute, t.second);
  }
  // The common case without printf: an export writes it three times a period.
  char text[] = "0000-00-00T00:00:00";
  auto put = [&text](int at, unsigned value, int width) {
    for (int i = at + width - 1; i >= at; --i) {
      text[i] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
  };
  put(0, static_cast<unsigned>(t.year), 4);
  put(5, t.month, 2);
  put(8, t.day, 2);
  put(11, t.hour, 2);
  put(14, t.minute, 2);
  put(17, t.second, 2);
  return std::string(text, sizeof text - 1);
}

double timestamp_seconds(int year, int month, int day, int hour, int minute,
                         int second) {
  if (month < 0) month = 0;
  if (month > 12) month = 12;
  const int years = year - 1970;
  // Leap days between 1970 and the start of `year`. The divisions round
  // down: rounding toward zero would miscount the years before 1969 and put
  // the last day of 1968 after the first day of 1969.
  const int leap_days =
      floor_div(year - 1969, 4) - floor_div(year - 1901, 100) + floor_div(year - 1601, 400);
  int day_of_year = kDaysBeforeMonth[month] + day;
  if (is_leap_year(year) && month > 2) ++day_of_year;
  const double days = 365.0 * years + leap_days + day_of_year - 1;
  return days * 86400.0 + hour * 3600.0 + minute * 60.0 +
         static_cast<double>(static_cast<float>(second));
}

Timestamp Timestamp::at(int year, int month, int day, int hour, int minute, int second) {
  Timestamp t;
  t.year = static_cast<int16_t>(year);
  t.month = static_cast<uint16_t>(month);
  t.day = static_cast<uint16_t>(day);
  t.hour = static_cast<uint16_t>(hour);
  t.minute = static_cast<uint16_t>(minute);
  t.second = static_cast<uint16_t>(second);
  return t;
}

double timestamp_seconds(const Timestamp& t) {
  return timestamp_seconds(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

}  // namespace kalvynex

// A calendar time as the database delivers it: the field layout of ODBC's
// SQL_TIMESTAMP_STRUCT, kept free of the ODBC headers so that every layer
// can use it, with the calendar arithmetic that compares two of them.
#ifndef KALVYNEX_CORE_TIMESTAMP_H_
#define KALVYNEX_CORE_TIMESTAMP_H_

#include <cstdint>
#include <string>

namespace kalvynex {

struct Timestamp {
  int16_t year = 0;
  uint16_t month = 0;
  uint16_t day = 0;
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint32_t fraction = 0;  // nanoseconds; always zeroed after a load

  // A calendar time given field by field.
  static Timestamp at(int year, int month, int day, int hour = 0, int minute = 0,
                      int second = 0);
};

// An end date whose year is 0 or below marks a calibration without an end.
inline bool is_open_end(const Timestamp& end) { return end.year <= 0; }

// True for years divisible by 4, except centuries not divisible by 400.
bool is_leap_year(int year);

// True when `t` is a real calendar time of the years 1 to 9999: a month of
// 1 to 12, a day that the month has, hours 0-23, minutes and seconds 0-59.
bool is_calendar_time(const Timestamp& t);

// The whole second at or after the calendar time `t`: `t` itself when its
// fraction is zero, else the next second, carried into the minute, hour,
// day, month and year. The last second of 9999 stays where it is (the tables
// hold no later time, and an end there counts as open). The fraction of the
// result is zero; dropping the fraction rounds the other way.
Timestamp ceiling_second(const Timestamp& t);

// "YYYY-MM-DD hh:mm:ss" with the fields as they are, for messages that
// name a stored value (a negative year keeps its sign).
std::string timestamp_text(const Timestamp& t);

// "YYYY-MM-DDThh:mm:ss" with the fields as they are: the time of the
// exports, of kalvynex-inventory's listings and messages and of check's
// findings.
std::string timestamp_iso_text(const Timestamp& t);

// Seconds from 1970-01-01 00:00:00 to the given calendar time, with no time
// zone, as a double; used only to compare timestamps. A month above 12 counts
// as December, a month of 0 as January.
double timestamp_seconds(int year, int month, int day, int hour, int minute,
                         int second);
double timestamp_seconds(const Timestamp& t);

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_TIMESTAMP_H_

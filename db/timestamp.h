// A calendar time as the database delivers it: the field layout of ODBC's
// SQL_TIMESTAMP_STRUCT, kept free of the ODBC headers so that the response
// builders can use it without depending on the driver manager.
#ifndef KALVYNEX_DB_TIMESTAMP_H_
#define KALVYNEX_DB_TIMESTAMP_H_

#include <cstdint>

namespace kalvynex {

struct Timestamp {
  int16_t year = 0;
  uint16_t month = 0;
  uint16_t day = 0;
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint32_t fraction = 0;  // nanoseconds; always zeroed after a load
};

// An end date whose year is 0 or below marks a calibration without an end.
inline bool is_open_end(const Timestamp& end) { return end.year <= 0; }

}  // namespace kalvynex

#endif  // KALVYNEX_DB_TIMESTAMP_H_

// One calibration period of one channel, as loaded from CALIBRATION.
#ifndef KALVYNEX_DB_CALIBRATION_RECORD_H_
#define KALVYNEX_DB_CALIBRATION_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "db/timestamp.h"

namespace kalvynex {

struct CalibrationRecord {
  // The codes of the request (not read from the row).
  std::string network;
  std::string location;
  std::string sta;
  std::string chan;

  Timestamp startdate;  // a NULL STARTDATE gives all zero
  Timestamp enddate;    // NULL: year -1, other fields zero
  double sens = 0.0;    // NULL: -1.0
  int16_t id_sens = 0;  // NULL: 0
  double freq = 0.0;    // NULL: -1.0
  int16_t id_freq = 0;  // NULL: 0
  std::string sac;      // pole-zero text, whole; NULL: empty
  std::string fap;      // frequency/amplitude/phase text, whole; NULL: empty
  Timestamp lddate;     // NULL: year -1, other fields zero

  // A record that holds no channel means that nothing was chosen.
  bool empty() const { return sta.empty(); }
};

// True for years divisible by 4, except centuries not divisible by 400.
bool is_leap_year(int year);

// Seconds from 1970-01-01 00:00:00 to the given calendar time, with no time
// zone, as a double; used only to compare timestamps. A month above 12 counts
// as December, a month of 0 as January.
double timestamp_seconds(int year, int month, int day, int hour, int minute,
                         int second);
double timestamp_seconds(const Timestamp& t);

}  // namespace kalvynex

#endif  // KALVYNEX_DB_CALIBRATION_RECORD_H_

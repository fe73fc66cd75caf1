// One calibration period of one channel, as loaded from CALIBRATION.
#ifndef KALVYNEX_CORE_CALIBRATION_RECORD_H_
#define KALVYNEX_CORE_CALIBRATION_RECORD_H_

#include <cstdint>
#include <string>

#include "core/channel_codes.h"
#include "core/timestamp.h"

namespace kalvynex {

struct CalibrationRecord {
  ChannelCodes codes;   // the codes of the request (not read from the row)
  Timestamp startdate;  // a NULL STARTDATE gives all zero
  Timestamp enddate;    // NULL: year -1, other fields zero
  double sens = 0.0;    // NULL: -1.0
  int16_t id_sens = 0;  // NULL: 0
  double freq = 0.0;    // NULL: -1.0
  int16_t id_freq = 0;  // NULL: 0
  std::string sac;      // pole-zero text, whole; NULL: empty
  std::string fap;      // frequency/amplitude/phase text, whole; NULL: empty
  Timestamp lddate;     // NULL: year -1, other fields zero
};

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_CALIBRATION_RECORD_H_

// Where a run gets a channel's calibration from. The real source is
// CalibrationDb (ODBC); tests of the main flow's decisions use a fake.
#ifndef KALVYNEX_DB_CALIBRATION_SOURCE_H_
#define KALVYNEX_DB_CALIBRATION_SOURCE_H_

#include <optional>
#include <string>

#include "core/calibration_record.h"
#include "core/channel_codes.h"
#include "core/connection_parameters.h"
#include "core/status.h"
#include "core/timestamp.h"

namespace kalvynex {

class CalibrationSource {
 public:
  virtual ~CalibrationSource() = default;

  virtual Status connect(const ConnectionParameters& parameters) = 0;

  // Success when the connected database has a base table CALIBRATION with all
  // the columns that a load reads.
  virtual Status check_table() = 0;

  // Chooses the channel's record with the latest STARTDATE (the earliest
  // when `descending` is false). No row is no failure: *chosen is then empty.
  virtual Status load_from_db(const ChannelCodes& codes, bool descending,
                              std::optional<CalibrationRecord>* chosen) = 0;

  // Chooses the channel's record valid at `date`: of the records whose period
  // holds the date (both ends inclusive, a year of 0 or below at the end
  // meaning open), the one with the latest STARTDATE. A date whose year is
  // 0 or below chooses like load_from_db, latest first.
  virtual Status load_for_date(const ChannelCodes& codes, const Timestamp& date,
                               std::optional<CalibrationRecord>* chosen) = 0;

  // Ends the session; a record loaded before stays as it is. Drivers keep
  // buffers as large as the largest value they have read (libpq's and
  // MariaDB's network buffers do) until the connection ends.
  virtual void close() = 0;
};

}  // namespace kalvynex

#endif  // KALVYNEX_DB_CALIBRATION_SOURCE_H_

// The one way into the calibration database: the ODBC connection, the check
// of the table CALIBRATION and the choice of one channel's calibration.
//
// Every operation returns true or false; on false, get_last_error() says why
// in the text that the run prints. Nothing here prints.
#ifndef KALVYNEX_DB_CALIBRATION_DB_H_
#define KALVYNEX_DB_CALIBRATION_DB_H_

#include <functional>
#include <string>

#include "db/calibration_record.h"
#include "db/odbc_handle.h"
#include "db/timestamp.h"

namespace kalvynex {

// The channel codes of a query, in the order of the table's key.
struct ChannelKey {
  std::string network;
  std::string location;
  std::string sta;
  std::string chan;
};

class CalibrationDb {
 public:
  CalibrationDb() = default;
  virtual ~CalibrationDb() = default;

  CalibrationDb(const CalibrationDb&) = delete;
  CalibrationDb& operator=(const CalibrationDb&) = delete;

  // Opens the ODBC environment and connects to `data_source`. Empty user and
  // password are passed as empty strings.
  bool connect(const std::string& data_source, const std::string& user,
               const std::string& password);

  // True when the connected database has a base table CALIBRATION with all
  // the columns that a load reads. Clears the last error on success.
  bool check_table();

  // Chooses the channel's record with the latest STARTDATE (the earliest
  // when `descending` is false). No row is no failure: chosen_record() is
  // then empty.
  bool load_from_db(const ChannelKey& key, bool descending);

  // Chooses the channel's record valid at `date`: of the records whose period
  // holds the date (both ends inclusive, a year of 0 or below at the end
  // meaning open), the one with the latest STARTDATE. A date whose year is
  // 0 or below chooses like load_from_db.
  bool load_for_date(const ChannelKey& key, const Timestamp& date);

  // The text of the last failure, or "NO_ERROR".
  std::string get_last_error() const;

  const CalibrationRecord& chosen_record() const { return chosen_record_; }

 private:
  using RowFilter = std::function<bool(const Timestamp& start, const Timestamp& end)>;

  bool open_connection();
  // Runs the channel's query and takes the first row that `accept` admits as
  // chosen_record_. Rows after it are not fetched, and the texts of the rows
  // before it are never read.
  bool load_first_match(const ChannelKey& key, bool descending, const RowFilter& accept);
  // The catalog to restrict the table check to; empty for none.
  std::string current_catalog() const;

  CalibrationRecord chosen_record_;
  std::string data_source_;
  std::string user_;
  std::string password_;
  // The environment outlives the connection: members are destroyed in
  // reverse order.
  OdbcHandle environment_;
  OdbcHandle connection_;
  std::string last_error_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_DB_CALIBRATION_DB_H_

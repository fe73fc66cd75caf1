// One CALIBRATION row as both programs read it: the seven columns that head
// each of their queries, bound to buffers, and the rules that turn what the
// driver gave into the core's values. The rules are plain functions of a
// buffer and its NULL indicator; they read no buffer of a NULL column, since
// a driver may leave partial numbers there (the SQLite driver does, for a
// text it cannot convert).
#ifndef KALVYNEX_DB_CALIBRATION_ROW_H_
#define KALVYNEX_DB_CALIBRATION_ROW_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

#include "core/status.h"
#include "core/timestamp.h"
#include "db/statement.h"

namespace kalvynex {

// The columns of a CalibrationRow, first in every query that reads one.
constexpr char kCalibrationRowColumns[] = "STARTDATE,ENDDATE,SENS,ID_SENS,FREQ,ID_FREQ,LDDATE";
constexpr SQLUSMALLINT kCalibrationRowColumnCount = 7;

// The core value of an ODBC timestamp; the fraction is dropped.
Timestamp to_timestamp(const SQL_TIMESTAMP_STRUCT& t);

// An open end, or a NULL load date: year -1, nothing else.
Timestamp null_date();

// 9999-12-31 23:59:59, the latest time a timestamp holds: psqlODBC delivers
// PostgreSQL's 'infinity' as exactly this.
bool is_end_of_time(const SQL_TIMESTAMP_STRUCT& t);

// A NULL start is all zero.
Timestamp row_start_date(const SQL_TIMESTAMP_STRUCT& value, SQLLEN indicator);
// A NULL end and the end of time are open: null_date().
Timestamp row_end_date(const SQL_TIMESTAMP_STRUCT& value, SQLLEN indicator);
// A NULL load date is null_date().
Timestamp row_load_date(const SQL_TIMESTAMP_STRUCT& value, SQLLEN indicator);

// Success unless a stored STARTDATE (not NULL), or an ENDDATE of year 1 or
// later, is no real calendar time of the years 1 to 9999; the failure (of
// stage kLoad) names the column and the value.
Status check_row_dates(const Timestamp& start, bool start_is_null, const Timestamp& end);

class CalibrationRow {
 public:
  // Binds the buffers of this object to columns 1 to 7; the object must not
  // move while the statement fetches.
  Status bind(Statement* statement);

  // Zeroes the buffers: a NULL leaves a bound buffer as it was, so each
  // fetch starts from here and no value of the previous row shows through.
  void clear() { *this = CalibrationRow(); }

  Timestamp start() const { return row_start_date(start_, start_ind_); }
  bool start_is_null() const { return start_ind_ == SQL_NULL_DATA; }
  bool start_is_end_of_time() const { return !start_is_null() && is_end_of_time(start_); }
  Timestamp end() const { return row_end_date(end_, end_ind_); }
  double sens() const { return sens_ind_ == SQL_NULL_DATA ? -1.0 : sens_; }
  int16_t id_sens() const { return id_sens_ind_ == SQL_NULL_DATA ? int16_t{0} : id_sens_; }
  double freq() const { return freq_ind_ == SQL_NULL_DATA ? -1.0 : freq_; }
  int16_t id_freq() const { return id_freq_ind_ == SQL_NULL_DATA ? int16_t{0} : id_freq_; }
  Timestamp lddate() const { return row_load_date(lddate_, lddate_ind_); }

  Status check_dates() const { return check_row_dates(start(), start_is_null(), end()); }

  // True when the six columns before LDDATE hold the same values as in
  // `other`, fractions of a second included.
  bool same_values_as(const CalibrationRow& other) const;

 private:
  SQL_TIMESTAMP_STRUCT start_{}, end_{}, lddate_{};
  double sens_ = 0.0, freq_ = 0.0;
  int16_t id_sens_ = 0, id_freq_ = 0;  // SQL_C_SSHORT
  SQLLEN start_ind_ = 0, end_ind_ = 0, sens_ind_ = 0, id_sens_ind_ = 0, freq_ind_ = 0,
         id_freq_ind_ = 0, lddate_ind_ = 0;
};

}  // namespace kalvynex

#endif  // KALVYNEX_DB_CALIBRATION_ROW_H_

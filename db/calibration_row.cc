#include "db/calibration_row.h"

namespace kalvynex {

Timestamp to_timestamp(const SQL_TIMESTAMP_STRUCT& t) {
  Timestamp result;
  result.year = t.year;
  result.month = t.month;
  result.day = t.day;
  result.hour = t.hour;
  result.minute = t.minute;
  result.second = t.second;
  result.fraction = 0;  // fractions of a second never take part in anything
  return result;
}

Timestamp null_date() {
  Timestamp result;
  result.year = -1;
  return result;
}

bool is_end_of_time(const SQL_TIMESTAMP_STRUCT& t) {
  return t.year == 9999 && t.month == 12 && t.day == 31 && t.hour == 23 && t.minute == 59 &&
         t.second == 59;
}

Timestamp row_start_date(const SQL_TIMESTAMP_STRUCT& value, SQLLEN indicator) {
  return indicator == SQL_NULL_DATA ? Timestamp() : to_timestamp(value);
}

Timestamp row_end_date(const SQL_TIMESTAMP_STRUCT& value, SQLLEN indicator) {
  if (indicator == SQL_NULL_DATA || is_end_of_time(value)) return null_date();
  return to_timestamp(value);
}

Timestamp row_load_date(const SQL_TIMESTAMP_STRUCT& value, SQLLEN indicator) {
  return indicator == SQL_NULL_DATA ? null_date() : to_timestamp(value);
}

Status check_row_dates(const Timestamp& start, bool start_is_null, const Timestamp& end) {
  if (!start_is_null && !is_calendar_time(start)) {
    return Status::failure(Stage::kLoad,
                           "STARTDATE holds no valid date: " + timestamp_text(start));
  }
  if (end.year >= 1 && !is_calendar_time(end)) {
    return Status::failure(Stage::kLoad, "ENDDATE holds no valid date: " + timestamp_text(end));
  }
  return Status();
}

Status CalibrationRow::bind(Statement* statement) {
  struct Binding {
    SQLSMALLINT c_type;
    SQLPOINTER target;
    SQLLEN length;
    SQLLEN* indicator;
  };
  const Binding bindings[kCalibrationRowColumnCount] = {
      {SQL_C_TYPE_TIMESTAMP, &start_, sizeof start_, &start_ind_},
      {SQL_C_TYPE_TIMESTAMP, &end_, sizeof end_, &end_ind_},
      {SQL_C_DOUBLE, &sens_, 0, &sens_ind_},
      {SQL_C_SSHORT, &id_sens_, 0, &id_sens_ind_},
      {SQL_C_DOUBLE, &freq_, 0, &freq_ind_},
      {SQL_C_SSHORT, &id_freq_, 0, &id_freq_ind_},
      {SQL_C_TYPE_TIMESTAMP, &lddate_, sizeof lddate_, &lddate_ind_},
  };
  SQLUSMALLINT column = 1;
  for (const Binding& b : bindings) {
    Status status = statement->bind_column(column++, b.c_type, b.target, b.length, b.indicator);
    if (!status.ok()) return status;
  }
  return Status();
}

bool CalibrationRow::same_values_as(const CalibrationRow& o) const {
  const auto same_time = [](const SQL_TIMESTAMP_STRUCT& a, const SQL_TIMESTAMP_STRUCT& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second && a.fraction == b.fraction;
  };
  const auto null = [](SQLLEN ind) { return ind == SQL_NULL_DATA; };
  if (null(start_ind_) != null(o.start_ind_) || null(end_ind_) != null(o.end_ind_) ||
      null(sens_ind_) != null(o.sens_ind_) || null(id_sens_ind_) != null(o.id_sens_ind_) ||
      null(freq_ind_) != null(o.freq_ind_) || null(id_freq_ind_) != null(o.id_freq_ind_)) {
    return false;
  }
  return (null(start_ind_) || same_time(start_, o.start_)) &&
         (null(end_ind_) || same_time(end_, o.end_)) && (null(sens_ind_) || sens_ == o.sens_) &&
         (null(id_sens_ind_) || id_sens_ == o.id_sens_) &&
         (null(freq_ind_) || freq_ == o.freq_) && (null(id_freq_ind_) || id_freq_ == o.id_freq_);
}

}  // namespace kalvynex

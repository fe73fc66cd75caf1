#include "db/calibration_db.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "db/column_read.h"
#include "db/table_check.h"

namespace kalvynex {

namespace {

// The channel codes go in as parameters, never spliced into the text, so a
// code with an apostrophe cannot alter the statement.
constexpr char kSelect[] =
    "select STARTDATE,ENDDATE,SENS,ID_SENS,FREQ,ID_FREQ,SAC,FAP,LDDATE "
    "from CALIBRATION where NETWORK=? and LOCATION=? and STA=? and CHAN=? "
    "order by STARTDATE";

bool has_non_ascii_byte(const ChannelCodes& codes) {
  for (const std::string* code : {&codes.network, &codes.location, &codes.sta, &codes.chan}) {
    for (const char c : *code) {
      if (static_cast<unsigned char>(c) >= 0x80) return true;
    }
  }
  return false;
}

// True when the failure says that a text could not be represented in the
// database's character set: SQLSTATE 22021 (character not in repertoire,
// e.g. bytes that are no valid UTF-8 in a UTF8 database) or 22P05
// (PostgreSQL: no equivalent in the database's encoding).
bool is_unrepresentable_text_error(const Status& status) {
  return status.sqlstate() == "22021" || status.sqlstate() == "22P05";
}

}  // namespace

Status CalibrationDb::connect(const ConnectionParameters& parameters) {
  return connection_.open(parameters);
}

Status CalibrationDb::check_table() { return check_calibration_table(connection_); }

Status CalibrationDb::load_from_db(const ChannelCodes& codes, bool descending,
                                   std::optional<CalibrationRecord>* chosen) {
  return load_first_match(
      codes, descending, [](const Timestamp&, const Timestamp&) { return true; }, chosen);
}

Status CalibrationDb::load_for_date(const ChannelCodes& codes, const Timestamp& date,
                                    std::optional<CalibrationRecord>* chosen) {
  if (date.year <= 0) return load_from_db(codes, true, chosen);
  const double t = timestamp_seconds(date);
  return load_first_match(
      codes, true,
      [t](const Timestamp& start, const Timestamp& end) {
        if (timestamp_seconds(start) > t) return false;
        return is_open_end(end) || t <= timestamp_seconds(end);
      },
      chosen);
}

Status CalibrationDb::load_first_match(const ChannelCodes& codes, bool descending,
                                       const RowFilter& accept,
                                       std::optional<CalibrationRecord>* chosen) {
  chosen->reset();

  OdbcHandle statement;
  Status status = connection_.new_statement(Stage::kLoad, &statement);
  if (!status.ok()) return status;
  SQLHSTMT stmt = statement.get();

  // In the order of the statement's parameters.
  const std::array<const std::string*, 4> parameters = {&codes.network, &codes.location,
                                                        &codes.sta, &codes.chan};
  std::array<SQLLEN, 4> lengths{};
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    lengths[i] = static_cast<SQLLEN>(parameters[i]->size());
    const SQLULEN column_size = parameters[i]->empty() ? 1 : parameters[i]->size();
    status = check_odbc(
        SQLBindParameter(stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR,
                         SQL_VARCHAR, column_size, 0, const_cast<char*>(parameters[i]->data()),
                         lengths[i], &lengths[i]),
        statement, Stage::kLoad);
    if (!status.ok()) return status;
  }

  std::string query = kSelect;
  if (descending) query += " desc";
  status = check_odbc(SQLExecDirect(stmt, sql_text(query), SQL_NTS), statement, Stage::kLoad);
  if (!status.ok()) {
    // The codes are the only text the statement takes from outside. A code
    // that the database cannot even represent in its character set (say the
    // byte 0xFF for a UTF8 database) cannot name a stored channel: the
    // channel is not found, which is no failure of the query. Only codes with
    // bytes beyond ASCII can cause that; for any other code the error stands.
    if (has_non_ascii_byte(codes) && is_unrepresentable_text_error(status)) return Status();
    return status;
  }

  // The columns that decide the choice are bound; the two texts and the load
  // date are read with SQLGetData only for the chosen row, after the bound
  // columns, in column order, as every driver allows.
  SQL_TIMESTAMP_STRUCT start{}, end{};
  double sens = 0.0, freq = 0.0;
  SQLSMALLINT id_sens = 0, id_freq = 0;
  SQLLEN start_ind = 0, end_ind = 0, sens_ind = 0, id_sens_ind = 0, freq_ind = 0,
         id_freq_ind = 0;
  struct Binding {
    SQLSMALLINT c_type;
    SQLPOINTER target;
    SQLLEN length;
    SQLLEN* indicator;
  };
  const Binding bindings[] = {
      {SQL_C_TYPE_TIMESTAMP, &start, sizeof start, &start_ind},
      {SQL_C_TYPE_TIMESTAMP, &end, sizeof end, &end_ind},
      {SQL_C_DOUBLE, &sens, 0, &sens_ind},
      {SQL_C_SSHORT, &id_sens, 0, &id_sens_ind},
      {SQL_C_DOUBLE, &freq, 0, &freq_ind},
      {SQL_C_SSHORT, &id_freq, 0, &id_freq_ind},
  };
  SQLUSMALLINT column = 1;
  for (const Binding& b : bindings) {
    status = check_odbc(SQLBindCol(stmt, column++, b.c_type, b.target, b.length, b.indicator),
                        statement, Stage::kLoad);
    if (!status.ok()) return status;
  }

  for (;;) {
    // A NULL leaves a bound buffer as it was; start every row from zero so
    // that no value of the previous row shows through.
    start = end = SQL_TIMESTAMP_STRUCT{};
    sens = freq = 0.0;
    id_sens = id_freq = 0;

    const SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA) return Status();
    status = check_odbc(rc, statement, Stage::kLoad);
    if (!status.ok()) return status;

    const Timestamp row_start = to_timestamp(start);
    const Timestamp row_end = end_ind == SQL_NULL_DATA ? null_date() : to_timestamp(end);
    if (!accept(row_start, row_end)) continue;

    CalibrationRecord record;
    record.codes = codes;
    record.startdate = row_start;
    record.enddate = row_end;
    record.sens = sens_ind == SQL_NULL_DATA ? -1.0 : sens;
    record.id_sens = id_sens;
    record.freq = freq_ind == SQL_NULL_DATA ? -1.0 : freq;
    record.id_freq = id_freq;
    if (!read_text_column(stmt, 7, &record.sac) || !read_text_column(stmt, 8, &record.fap) ||
        !read_timestamp_column(stmt, 9, &record.lddate)) {
      return check_odbc(SQL_ERROR, statement, Stage::kLoad);
    }
    *chosen = std::move(record);
    return Status();
  }
}

}  // namespace kalvynex

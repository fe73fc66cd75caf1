#include "db/calibration_db.h"

#include <array>
#include <functional>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "db/cancel_timer.h"
#include "db/column_read.h"
#include "db/odbc_connection.h"
#include "db/table_check.h"

namespace kalvynex {

namespace {

// The channel codes go in as parameters, never spliced into the text, so a
// code with an apostrophe cannot alter the statement. The first statement
// chooses the row; the second reads the texts of the chosen one, found again
// by its STARTDATE as the first statement gave it (written by the database
// itself, so that it compares equal on every backend). Both list the values
// that decide the choice in the same six first columns.
constexpr char kChoose[] =
    "select STARTDATE,ENDDATE,SENS,ID_SENS,FREQ,ID_FREQ,STARTDATE "
    "from CALIBRATION where NETWORK=? and LOCATION=? and STA=? and CHAN=? "
    "order by STARTDATE";
constexpr char kTextsOfStart[] =
    "select STARTDATE,ENDDATE,SENS,ID_SENS,FREQ,ID_FREQ,SAC,FAP,LDDATE "
    "from CALIBRATION where NETWORK=? and LOCATION=? and STA=? and CHAN=? "
    "and STARTDATE=? order by STARTDATE";
constexpr char kTextsOfNullStart[] =
    "select STARTDATE,ENDDATE,SENS,ID_SENS,FREQ,ID_FREQ,SAC,FAP,LDDATE "
    "from CALIBRATION where NETWORK=? and LOCATION=? and STA=? and CHAN=? "
    "and STARTDATE is null order by STARTDATE";

// Room for STARTDATE written as text; a longer text is no date.
constexpr SQLLEN kStartKeyBuffer = 128;

// The latest time a timestamp can hold; psqlODBC delivers PostgreSQL's
// 'infinity' as exactly this, which as an end means "no end".
bool is_end_of_time(const SQL_TIMESTAMP_STRUCT& t) {
  return t.year == 9999 && t.month == 12 && t.day == 31 && t.hour == 23 && t.minute == 59 &&
         t.second == 59;
}

// The start and end of a fetched row, from their buffers and NULL
// indicators. A NULL start is all zero, a NULL end is year -1 (open); the
// buffer of a NULL column is never read, since a driver may leave partial
// numbers there (the SQLite driver does, for a text it cannot convert).
Timestamp row_start_date(const SQL_TIMESTAMP_STRUCT& start, SQLLEN indicator) {
  return indicator == SQL_NULL_DATA ? Timestamp() : to_timestamp(start);
}

Timestamp row_end_date(const SQL_TIMESTAMP_STRUCT& end, SQLLEN indicator) {
  if (indicator == SQL_NULL_DATA || is_end_of_time(end)) return null_date();
  return to_timestamp(end);
}

// A stored STARTDATE, or an ENDDATE of year 1 or later, that is no real
// calendar time of the years 1 to 9999 fails the load of the chosen record:
// written into the file name or the header it would be nonsense.
Status check_row_dates(const Timestamp& start, SQLLEN start_indicator, const Timestamp& end) {
  if (start_indicator != SQL_NULL_DATA && !is_calendar_time(start)) {
    return Status::failure(Stage::kLoad,
                           "STARTDATE holds no valid date: " + timestamp_text(start));
  }
  if (end.year >= 1 && !is_calendar_time(end)) {
    return Status::failure(Stage::kLoad, "ENDDATE holds no valid date: " + timestamp_text(end));
  }
  return Status();
}

// The bound values of one row that decide the choice, as the driver gave
// them, with their NULL indicators.
struct RowValues {
  SQL_TIMESTAMP_STRUCT start{}, end{};
  double sens = 0.0, freq = 0.0;
  SQLSMALLINT id_sens = 0, id_freq = 0;
  SQLLEN start_ind = 0, end_ind = 0, sens_ind = 0, id_sens_ind = 0, freq_ind = 0,
         id_freq_ind = 0;

  // A NULL leaves a bound buffer as it was; every row starts from zero so
  // that no value of the previous row shows through.
  void clear() { *this = RowValues(); }

  bool same_as(const RowValues& o) const {
    const auto same_time = [](const SQL_TIMESTAMP_STRUCT& a, const SQL_TIMESTAMP_STRUCT& b) {
      return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
             a.minute == b.minute && a.second == b.second && a.fraction == b.fraction;
    };
    const auto null = [](SQLLEN ind) { return ind == SQL_NULL_DATA; };
    if (null(start_ind) != null(o.start_ind) || null(end_ind) != null(o.end_ind) ||
        null(sens_ind) != null(o.sens_ind) || null(id_sens_ind) != null(o.id_sens_ind) ||
        null(freq_ind) != null(o.freq_ind) || null(id_freq_ind) != null(o.id_freq_ind)) {
      return false;
    }
    return (null(start_ind) || same_time(start, o.start)) &&
           (null(end_ind) || same_time(end, o.end)) && (null(sens_ind) || sens == o.sens) &&
           (null(id_sens_ind) || id_sens == o.id_sens) && (null(freq_ind) || freq == o.freq) &&
           (null(id_freq_ind) || id_freq == o.id_freq);
  }
};

// Binds the six deciding columns, from `first` on, to *row.
Status bind_row_values(const OdbcHandle& statement, SQLUSMALLINT first, RowValues* row) {
  struct Binding {
    SQLSMALLINT c_type;
    SQLPOINTER target;
    SQLLEN length;
    SQLLEN* indicator;
  };
  const Binding bindings[] = {
      {SQL_C_TYPE_TIMESTAMP, &row->start, sizeof row->start, &row->start_ind},
      {SQL_C_TYPE_TIMESTAMP, &row->end, sizeof row->end, &row->end_ind},
      {SQL_C_DOUBLE, &row->sens, 0, &row->sens_ind},
      {SQL_C_SSHORT, &row->id_sens, 0, &row->id_sens_ind},
      {SQL_C_DOUBLE, &row->freq, 0, &row->freq_ind},
      {SQL_C_SSHORT, &row->id_freq, 0, &row->id_freq_ind},
  };
  SQLUSMALLINT column = first;
  for (const Binding& b : bindings) {
    Status status = check_odbc(
        SQLBindCol(statement.get(), column++, b.c_type, b.target, b.length, b.indicator),
        statement, Stage::kLoad);
    if (!status.ok()) return status;
  }
  return Status();
}

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

class CalibrationDb final : public CalibrationSource {
 public:
  Status connect(const ConnectionParameters& parameters) override;
  Status check_table() override;
  Status load_from_db(const ChannelCodes& codes, bool descending,
                      std::optional<CalibrationRecord>* chosen) override;
  Status load_for_date(const ChannelCodes& codes, const Timestamp& date,
                       std::optional<CalibrationRecord>* chosen) override;
  void close() override { connection_.close(); }

 private:
  using RowFilter = std::function<bool(const Timestamp& start, const Timestamp& end)>;

  // Runs the channel's query and takes the first row that `accept` admits.
  // Rows after it are not fetched, and the texts of the rows before it are
  // never read.
  Status load_first_match(const ChannelCodes& codes, bool descending, const RowFilter& accept,
                          std::optional<CalibrationRecord>* chosen);

  OdbcConnection connection_;
};

}  // namespace

std::unique_ptr<CalibrationSource> make_calibration_db() {
  return std::make_unique<CalibrationDb>();
}

Status CalibrationDb::connect(const ConnectionParameters& parameters) {
  return connection_.open(parameters);
}

Status CalibrationDb::check_table() {
  CancelTimer timer(connection_.query_timeout());
  return check_calibration_table(connection_, &timer);
}

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

  CancelTimer timer(connection_.query_timeout());
  OdbcHandle statement;
  Status status = connection_.new_statement(Stage::kLoad, &statement);
  if (!status.ok()) return status;
  SQLHSTMT stmt = statement.get();
  const WatchedStatement watched(&timer, stmt);

  // In the order of the statements' parameters.
  const std::array<const std::string*, 4> parameters = {&codes.network, &codes.location,
                                                        &codes.sta, &codes.chan};
  std::array<SQLLEN, 5> lengths{};
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

  // The choice reads no text: drivers that hold a whole result in memory
  // (psqlODBC and MariaDB's do) would otherwise hold every text of the
  // channel's history.
  std::string query = kChoose;
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

  RowValues row;
  status = bind_row_values(statement, 1, &row);
  if (!status.ok()) return status;
  // STARTDATE once more, as the database writes it: the key by which the
  // second statement finds the chosen row again.
  std::array<char, kStartKeyBuffer> key{};
  SQLLEN key_ind = 0;
  status = check_odbc(SQLBindCol(stmt, 7, SQL_C_CHAR, key.data(), kStartKeyBuffer, &key_ind),
                      statement, Stage::kLoad);
  if (!status.ok()) return status;

  std::optional<RowValues> choice;
  std::string choice_key;
  bool choice_key_null = false;
  while (!choice) {
    row.clear();
    key.fill(0);
    const SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA) return Status();
    status = check_odbc(rc, statement, Stage::kLoad);
    if (!status.ok()) return status;
    if (key_ind != SQL_NULL_DATA && (key_ind == SQL_NO_TOTAL || key_ind >= kStartKeyBuffer)) {
      return Status::failure(Stage::kLoad, "STARTDATE holds no valid date: " +
                                               std::string(key.data(), kStartKeyBuffer - 1));
    }
    const std::string row_key =
        key_ind == SQL_NULL_DATA ? std::string()
                                 : std::string(key.data(), static_cast<std::size_t>(key_ind));
    const Timestamp row_start = row_start_date(row.start, row.start_ind);
    const Timestamp row_end = row_end_date(row.end, row.end_ind);
    if (accept(row_start, row_end)) {
      status = check_row_dates(row_start, row.start_ind, row_end);
      if (!status.ok()) return status;
      choice = row;
      choice_key = row_key;
      choice_key_null = key_ind == SQL_NULL_DATA;
    }
  }
  status = check_odbc(SQLCloseCursor(stmt), statement, Stage::kLoad);
  if (!status.ok()) return status;
  status = check_odbc(SQLFreeStmt(stmt, SQL_UNBIND), statement, Stage::kLoad);
  if (!status.ok()) return status;

  // The texts: only the rows with the chosen row's start, in the same order;
  // of those, the first whose deciding values equal the chosen row's. Rows
  // before it in the first statement had other dates (or the filter would
  // have taken them), so it is the chosen row itself, unless two rows differ
  // in nothing but their texts; the database's order then decides, as it
  // always did.
  query = choice_key_null ? kTextsOfNullStart : kTextsOfStart;
  if (descending) query += " desc";
  if (!choice_key_null) {
    lengths[4] = static_cast<SQLLEN>(choice_key.size());
    status = check_odbc(
        SQLBindParameter(stmt, 5, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_TYPE_TIMESTAMP,
                         choice_key.empty() ? 1 : choice_key.size(), 0, &choice_key[0],
                         lengths[4], &lengths[4]),
        statement, Stage::kLoad);
    if (!status.ok()) return status;
  }
  status = check_odbc(SQLExecDirect(stmt, sql_text(query), SQL_NTS), statement, Stage::kLoad);
  if (!status.ok()) return status;
  status = bind_row_values(statement, 1, &row);
  if (!status.ok()) return status;
  for (;;) {
    row.clear();
    const SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA) {
      // psqlODBC delivers PostgreSQL's 'infinity' as the last second of
      // 9999, by which value the row cannot be found again.
      if (choice->start_ind != SQL_NULL_DATA && is_end_of_time(choice->start)) {
        return Status::failure(Stage::kLoad, "STARTDATE holds no valid date: infinity");
      }
      return Status::failure(Stage::kLoad, "the chosen calibration changed while it was read");
    }
    status = check_odbc(rc, statement, Stage::kLoad);
    if (!status.ok()) return status;
    if (row.same_as(*choice)) break;
  }

  CalibrationRecord record;
  record.codes = codes;
  record.startdate = row_start_date(choice->start, choice->start_ind);
  record.enddate = row_end_date(choice->end, choice->end_ind);
  record.sens = choice->sens_ind == SQL_NULL_DATA ? -1.0 : choice->sens;
  record.id_sens = choice->id_sens;
  record.freq = choice->freq_ind == SQL_NULL_DATA ? -1.0 : choice->freq;
  record.id_freq = choice->id_freq;
  status = read_text_column(statement, 7, "SAC", &record.sac);
  if (status.ok()) status = read_text_column(statement, 8, "FAP", &record.fap);
  if (!status.ok()) return status;
  if (!read_timestamp_column(stmt, 9, &record.lddate)) {
    return check_odbc(SQL_ERROR, statement, Stage::kLoad);
  }
  *chosen = std::move(record);
  return Status();
}

}  // namespace kalvynex

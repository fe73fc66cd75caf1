#include "db/calibration_db.h"

#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include "config/text_rules.h"

namespace kalvynex {

namespace {

constexpr char kTablePrefix[] = "ERROR (Checking calibration table): ";
constexpr char kColumnsPrefix[] = "ERROR (Checking table CALIBRATION): ";
constexpr char kLoadPrefix[] = "load_from_db(): ";

// The columns that a load reads, in the order of the missing-columns message.
constexpr std::array<const char*, 13> kRequiredColumns = {
    "NETWORK", "LOCATION", "STA", "CHAN",    "STARTDATE", "ENDDATE", "SENS",
    "ID_SENS", "FREQ",     "ID_FREQ", "SAC", "FAP",       "LDDATE"};

// Column names longer than this do not fit the name buffer and match nothing.
constexpr SQLLEN kColumnNameBuffer = 32;

// The channel codes go in as parameters, never spliced into the text, so a
// code with an apostrophe cannot alter the statement.
constexpr char kSelect[] =
    "select STARTDATE,ENDDATE,SENS,ID_SENS,FREQ,ID_FREQ,SAC,FAP,LDDATE "
    "from CALIBRATION where NETWORK=? and LOCATION=? and STA=? and CHAN=? "
    "order by STARTDATE";

SQLCHAR* sql_text(const std::string& text) {
  return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str()));
}

SQLCHAR* sql_text(const char* text) {
  return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text));
}

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

// A NULL end or load date: year -1, nothing else.
Timestamp null_date() {
  Timestamp result;
  result.year = -1;
  return result;
}

// Reads a text column of the current row with SQLGetData, piece by piece,
// whole whatever its length. A NULL gives the empty text. The text ends at its
// first NUL byte, if any.
bool read_text_column(SQLHSTMT statement, SQLUSMALLINT column, std::string* out) {
  constexpr SQLLEN kChunk = 65536;
  out->clear();
  std::vector<char> chunk(kChunk);
  for (bool first = true;; first = false) {
    SQLLEN indicator = 0;
    const SQLRETURN rc =
        SQLGetData(statement, column, SQL_C_CHAR, chunk.data(), kChunk, &indicator);
    if (rc == SQL_NO_DATA) break;
    if (!odbc_succeeded(rc)) return false;
    if (indicator == SQL_NULL_DATA) break;
    // The first piece's indicator is the whole length where the driver knows it.
    if (first && indicator > kChunk) out->reserve(static_cast<std::size_t>(indicator));
    // Trust the indicator, not a terminating NUL: a piece that filled the
    // buffer holds kChunk - 1 bytes and its NUL.
    const SQLLEN received =
        (indicator == SQL_NO_TOTAL || indicator >= kChunk) ? kChunk - 1 : indicator;
    out->append(chunk.data(), static_cast<std::size_t>(received));
    if (rc == SQL_SUCCESS || received == 0) break;  // the last piece
  }
  const std::size_t nul = out->find('\0');
  if (nul != std::string::npos) out->resize(nul);
  return true;
}

// Reads a timestamp column of the current row; a NULL gives year -1.
bool read_timestamp_column(SQLHSTMT statement, SQLUSMALLINT column, Timestamp* out) {
  SQL_TIMESTAMP_STRUCT value{};
  SQLLEN indicator = 0;
  const SQLRETURN rc =
      SQLGetData(statement, column, SQL_C_TYPE_TIMESTAMP, &value, sizeof value, &indicator);
  if (!odbc_succeeded(rc)) return false;
  *out = indicator == SQL_NULL_DATA ? null_date() : to_timestamp(value);
  return true;
}

bool has_non_ascii_byte(const ChannelKey& key) {
  for (const std::string* code : {&key.network, &key.location, &key.sta, &key.chan}) {
    for (const char c : *code) {
      if (static_cast<unsigned char>(c) >= 0x80) return true;
    }
  }
  return false;
}

// True when diagnostic record 1 of `statement` says that a text could not be
// represented in the database's character set: SQLSTATE 22021 (character not
// in repertoire, e.g. bytes that are no valid UTF-8 in a UTF8 database) or
// 22P05 (PostgreSQL: no equivalent in the database's encoding).
bool is_unrepresentable_text_error(const OdbcHandle& statement) {
  SQLCHAR state[6] = {0};
  SQLINTEGER native = 0;
  SQLCHAR message[8] = {0};
  SQLSMALLINT length = 0;
  const SQLRETURN rc = SQLGetDiagRec(SQL_HANDLE_STMT, statement.get(), 1, state, &native,
                                     message, sizeof message, &length);
  if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) return false;
  const char* code = reinterpret_cast<const char*>(state);
  return std::strcmp(code, "22021") == 0 || std::strcmp(code, "22P05") == 0;
}

}  // namespace

bool CalibrationDb::connect(const std::string& data_source, const std::string& user,
                            const std::string& password) {
  data_source_ = data_source;
  user_ = user;
  password_ = password;
  return open_connection();
}

bool CalibrationDb::open_connection() {
  connection_.reset();
  environment_.reset();

  if (!odbc_succeeded(environment_.allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE))) {
    last_error_ = "Connection ERROR: ENV initialization error";
    return false;
  }
  if (!odbc_succeeded(SQLSetEnvAttr(environment_.get(), SQL_ATTR_ODBC_VERSION,
                                    reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                                    SQL_IS_INTEGER))) {
    last_error_ = "Connection ERROR: SQLSetEnvAttr()";
    environment_.reset();
    return false;
  }
  if (!odbc_succeeded(connection_.allocate(SQL_HANDLE_DBC, environment_.get()))) {
    last_error_ = "Connection ERROR: DBC initialization error";
    environment_.reset();
    return false;
  }
  const SQLRETURN rc =
      SQLConnect(connection_.get(), sql_text(data_source_), SQL_NTS, sql_text(user_),
                 SQL_NTS, sql_text(password_), SQL_NTS);
  if (odbc_succeeded(rc)) return true;

  last_error_ = "Connection ERROR: " + diagnostic_text(connection_);
  connection_.reset();
  environment_.reset();
  return false;
}

std::string CalibrationDb::current_catalog() const {
  std::vector<SQLCHAR> name(1024, 0);
  SQLINTEGER length = 0;
  const SQLRETURN rc =
      SQLGetConnectAttr(connection_.get(), SQL_ATTR_CURRENT_CATALOG, name.data(),
                        static_cast<SQLINTEGER>(name.size()), &length);
  if (!odbc_succeeded(rc)) return std::string();
  name.back() = 0;
  return std::string(reinterpret_cast<const char*>(name.data()));
}

bool CalibrationDb::check_table() {
  OdbcHandle statement;
  if (!odbc_succeeded(statement.allocate(SQL_HANDLE_STMT, connection_.get()))) {
    last_error_ = std::string(kTablePrefix) + "STMT initialization error";
    return false;
  }

  // Some drivers search every database the user can see when no catalog is
  // given; the connection's own catalog, when it reports one, keeps a
  // CALIBRATION of another database from passing the check.
  const std::string catalog = current_catalog();
  SQLCHAR* catalog_name = catalog.empty() ? nullptr : sql_text(catalog);
  const SQLSMALLINT catalog_length = catalog.empty() ? 0 : SQL_NTS;

  // The quotes belong to the type list: only base tables count, not views.
  SQLRETURN rc = SQLTables(statement.get(), catalog_name, catalog_length, nullptr, 0,
                           sql_text("CALIBRATION"), SQL_NTS, sql_text("'TABLE'"), SQL_NTS);
  if (!odbc_succeeded(rc)) {
    last_error_ = kTablePrefix + diagnostic_text(statement);
    return false;
  }
  rc = SQLFetch(statement.get());
  if (rc == SQL_NO_DATA) {
    last_error_ = std::string(kColumnsPrefix) + "NOT FOUND";
    return false;
  }
  if (!odbc_succeeded(rc)) {
    last_error_ = kColumnsPrefix + diagnostic_text(statement);
    return false;
  }
  SQLCloseCursor(statement.get());

  rc = SQLColumns(statement.get(), catalog_name, catalog_length, nullptr, 0,
                  sql_text("CALIBRATION"), SQL_NTS, nullptr, 0);
  if (!odbc_succeeded(rc)) {
    last_error_ = kColumnsPrefix + diagnostic_text(statement);
    return false;
  }

  std::vector<char> name(kColumnNameBuffer, 0);
  SQLLEN name_length = 0;
  SQLBindCol(statement.get(), 4, SQL_C_CHAR, name.data(), kColumnNameBuffer, &name_length);

  std::array<bool, kRequiredColumns.size()> found{};
  for (;;) {
    name_length = 0;
    rc = SQLFetch(statement.get());
    if (rc == SQL_NO_DATA) break;
    if (!odbc_succeeded(rc)) {
      last_error_ = kColumnsPrefix + diagnostic_text(statement);
      return false;
    }
    // A name that filled the buffer was cut, and a cut name matches nothing.
    if (name_length < 0 || name_length >= kColumnNameBuffer) continue;
    const std::string column(name.data(), strnlen(name.data(), static_cast<size_t>(name_length)));
    for (std::size_t i = 0; i < kRequiredColumns.size(); ++i) {
      if (equals_ignore_case(column, kRequiredColumns[i])) {
        found[i] = true;
        break;
      }
    }
  }
  SQLCloseCursor(statement.get());

  std::string missing;
  for (std::size_t i = 0; i < kRequiredColumns.size(); ++i) {
    if (found[i]) continue;
    if (!missing.empty()) missing += ',';
    missing += kRequiredColumns[i];
  }
  if (!missing.empty()) {
    last_error_ = "ERROR (Checking table CALIBRATION). NOT FOUND column(s): " + missing;
    return false;
  }
  last_error_.clear();
  return true;
}

bool CalibrationDb::load_from_db(const ChannelKey& key, bool descending) {
  return load_first_match(key, descending,
                          [](const Timestamp&, const Timestamp&) { return true; });
}

bool CalibrationDb::load_for_date(const ChannelKey& key, const Timestamp& date) {
  if (date.year <= 0) return load_from_db(key, true);
  const double t = timestamp_seconds(date);
  return load_first_match(key, true, [t](const Timestamp& start, const Timestamp& end) {
    if (timestamp_seconds(start) > t) return false;
    return is_open_end(end) || t <= timestamp_seconds(end);
  });
}

bool CalibrationDb::load_first_match(const ChannelKey& key, bool descending,
                                     const RowFilter& accept) {
  chosen_record_ = CalibrationRecord();

  OdbcHandle statement;
  if (!odbc_succeeded(statement.allocate(SQL_HANDLE_STMT, connection_.get()))) {
    last_error_ = std::string(kLoadPrefix) + "STMT initialization error";
    return false;
  }
  SQLHSTMT stmt = statement.get();

  const std::array<const std::string*, 4> codes = {&key.network, &key.location, &key.sta,
                                                   &key.chan};
  std::array<SQLLEN, 4> code_lengths{};
  for (std::size_t i = 0; i < codes.size(); ++i) {
    code_lengths[i] = static_cast<SQLLEN>(codes[i]->size());
    const SQLULEN column_size = codes[i]->empty() ? 1 : codes[i]->size();
    const SQLRETURN rc = SQLBindParameter(
        stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
        column_size, 0, const_cast<char*>(codes[i]->data()), code_lengths[i],
        &code_lengths[i]);
    if (!odbc_succeeded(rc)) {
      last_error_ = kLoadPrefix + diagnostic_text(statement);
      return false;
    }
  }

  std::string query = kSelect;
  if (descending) query += " desc";
  if (!odbc_succeeded(SQLExecDirect(stmt, sql_text(query), SQL_NTS))) {
    // The codes are the only text the statement takes from outside. A code
    // that the database cannot even represent in its character set (say the
    // byte 0xFF for a UTF8 database) cannot name a stored channel: the
    // channel is not found, which is no failure of the query. Only codes with
    // bytes beyond ASCII can cause that; for any other code the error stands.
    if (has_non_ascii_byte(key) && is_unrepresentable_text_error(statement)) return true;
    last_error_ = kLoadPrefix + diagnostic_text(statement);
    return false;
  }

  // The columns that decide the choice are bound; the two texts and the load
  // date are read with SQLGetData only for the chosen row, after the bound
  // columns, in column order, as every driver allows.
  SQL_TIMESTAMP_STRUCT start{}, end{};
  double sens = 0.0, freq = 0.0;
  SQLSMALLINT id_sens = 0, id_freq = 0;
  SQLLEN start_ind = 0, end_ind = 0, sens_ind = 0, id_sens_ind = 0, freq_ind = 0,
         id_freq_ind = 0;
  SQLBindCol(stmt, 1, SQL_C_TYPE_TIMESTAMP, &start, sizeof start, &start_ind);
  SQLBindCol(stmt, 2, SQL_C_TYPE_TIMESTAMP, &end, sizeof end, &end_ind);
  SQLBindCol(stmt, 3, SQL_C_DOUBLE, &sens, 0, &sens_ind);
  SQLBindCol(stmt, 4, SQL_C_SSHORT, &id_sens, 0, &id_sens_ind);
  SQLBindCol(stmt, 5, SQL_C_DOUBLE, &freq, 0, &freq_ind);
  SQLBindCol(stmt, 6, SQL_C_SSHORT, &id_freq, 0, &id_freq_ind);

  for (;;) {
    // A NULL leaves a bound buffer as it was; start every row from zero so
    // that no value of the previous row shows through.
    start = end = SQL_TIMESTAMP_STRUCT{};
    sens = freq = 0.0;
    id_sens = id_freq = 0;

    const SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA) return true;
    if (!odbc_succeeded(rc)) {
      last_error_ = kLoadPrefix + diagnostic_text(statement);
      return false;
    }

    const Timestamp row_start = to_timestamp(start);
    const Timestamp row_end = end_ind == SQL_NULL_DATA ? null_date() : to_timestamp(end);
    if (!accept(row_start, row_end)) continue;

    CalibrationRecord record;
    record.network = key.network;
    record.location = key.location;
    record.sta = key.sta;
    record.chan = key.chan;
    record.startdate = row_start;
    record.enddate = row_end;
    record.sens = sens_ind == SQL_NULL_DATA ? -1.0 : sens;
    record.id_sens = id_sens;
    record.freq = freq_ind == SQL_NULL_DATA ? -1.0 : freq;
    record.id_freq = id_freq;
    if (!read_text_column(stmt, 7, &record.sac) || !read_text_column(stmt, 8, &record.fap) ||
        !read_timestamp_column(stmt, 9, &record.lddate)) {
      last_error_ = kLoadPrefix + diagnostic_text(statement);
      return false;
    }
    chosen_record_ = std::move(record);
    return true;
  }
}

std::string CalibrationDb::get_last_error() const {
  return last_error_.empty() ? std::string("NO_ERROR") : last_error_;
}

}  // namespace kalvynex

#include "db/calibration_db.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "db/calibration_row.h"
#include "db/cancel_timer.h"
#include "db/odbc_connection.h"
#include "db/statement.h"
#include "db/table_check.h"

namespace kalvynex {

namespace {

// The channel codes go in as parameters, never spliced into the text, so a
// code with an apostrophe cannot alter the statement. The first statement
// chooses the row; the second reads the texts of the chosen one, found again
// by its STARTDATE as the first statement gave it (written by the database
// itself, so that it compares equal on every backend). Both begin with the
// columns of a CalibrationRow.
constexpr char kChooseRest[] =
    ",STARTDATE from CALIBRATION where NETWORK=? and LOCATION=? and STA=? and CHAN=? "
    "order by STARTDATE";
constexpr char kTextsOfStartRest[] =
    ",SAC,FAP from CALIBRATION where NETWORK=? and LOCATION=? and STA=? and CHAN=? "
    "and STARTDATE=? order by STARTDATE";
constexpr char kTextsOfNullStartRest[] =
    ",SAC,FAP from CALIBRATION where NETWORK=? and LOCATION=? and STA=? and CHAN=? "
    "and STARTDATE is null order by STARTDATE";
constexpr SQLUSMALLINT kStartKeyColumn = kCalibrationRowColumnCount + 1;
constexpr SQLUSMALLINT kSacColumn = kCalibrationRowColumnCount + 1;
constexpr SQLUSMALLINT kFapColumn = kCalibrationRowColumnCount + 2;

// "select" with the row's columns, `rest` and the order's direction.
std::string select_statement(const char* rest, bool descending) {
  std::string sql = std::string("select ") + kCalibrationRowColumns + rest;
  if (descending) sql += " desc";
  return sql;
}

// Room for STARTDATE written as text; a longer text is no date.
constexpr SQLLEN kStartKeyBuffer = 128;

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
  const std::unique_ptr<CancelTimer> timer = connection_.query_timer();
  return check_calibration_table(connection_, timer.get());
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

  // Declared before the statement, so that the statement is unwatched and
  // freed before the timer stops.
  const std::unique_ptr<CancelTimer> timer = connection_.query_timer();
  Statement statement;
  Status status = statement.open(connection_, Stage::kLoad, timer.get());
  if (!status.ok()) return status;
  // In the order of the statements' parameters.
  for (const std::string* code : {&codes.network, &codes.location, &codes.sta, &codes.chan}) {
    statement.add_text(*code);
  }

  // The choice reads no text: drivers that hold a whole result in memory
  // (psqlODBC and MariaDB's do) would otherwise hold every text of the
  // channel's history.
  status = statement.execute(select_statement(kChooseRest, descending));
  if (!status.ok()) {
    // The codes are the only text the statement takes from outside. A code
    // that the database cannot even represent in its character set (say the
    // byte 0xFF for a UTF8 database) cannot name a stored channel: the
    // channel is not found, which is no failure of the query. Only codes with
    // bytes beyond ASCII can cause that; for any other code the error stands.
    if (has_non_ascii_byte(codes) && is_unrepresentable_text_error(status)) return Status();
    return status;
  }

  CalibrationRow row;
  status = row.bind(&statement);
  if (!status.ok()) return status;
  // STARTDATE once more, as the database writes it: the key by which the
  // second statement finds the chosen row again.
  std::array<char, kStartKeyBuffer> key{};
  SQLLEN key_ind = 0;
  status = statement.bind_column(kStartKeyColumn, SQL_C_CHAR, key.data(), kStartKeyBuffer,
                                 &key_ind);
  if (!status.ok()) return status;

  std::optional<CalibrationRow> choice;
  std::string choice_key;
  bool choice_key_null = false;
  while (!choice) {
    row.clear();
    key.fill(0);
    bool found = false;
    status = statement.fetch(&found);
    if (!status.ok() || !found) return status;
    if (key_ind != SQL_NULL_DATA && (key_ind == SQL_NO_TOTAL || key_ind >= kStartKeyBuffer)) {
      return Status::failure(Stage::kLoad, "STARTDATE holds no valid date: " +
                                               std::string(key.data(), kStartKeyBuffer - 1));
    }
    if (accept(row.start(), row.end())) {
      status = row.check_dates();
      if (!status.ok()) return status;
      choice = row;
      choice_key_null = key_ind == SQL_NULL_DATA;
      if (!choice_key_null) choice_key.assign(key.data(), static_cast<std::size_t>(key_ind));
    }
  }
  status = statement.close_cursor();
  if (!status.ok()) return status;

  // The texts: only the rows with the chosen row's start, in the same order;
  // of those, the first whose deciding values equal the chosen row's. Rows
  // before it in the first statement had other dates (or the filter would
  // have taken them), so it is the chosen row itself, unless two rows differ
  // in nothing but their texts; the database's order then decides, as it
  // always did.
  if (!choice_key_null) statement.add_time_text(choice_key);
  status = statement.execute(
      select_statement(choice_key_null ? kTextsOfNullStartRest : kTextsOfStartRest, descending));
  if (!status.ok()) return status;
  status = row.bind(&statement);
  if (!status.ok()) return status;
  for (;;) {
    row.clear();
    bool found = false;
    status = statement.fetch(&found);
    if (!status.ok()) return status;
    if (!found) {
      // The end of time, as psqlODBC delivers 'infinity', cannot be written
      // as a key that finds the row again.
      if (choice->start_is_end_of_time()) {
        return Status::failure(Stage::kLoad, "STARTDATE holds no valid date: infinity");
      }
      return Status::failure(Stage::kLoad, "the chosen calibration changed while it was read");
    }
    if (row.same_values_as(*choice)) break;
  }

  CalibrationRecord record;
  record.codes = codes;
  record.startdate = choice->start();
  record.enddate = choice->end();
  record.sens = choice->sens();
  record.id_sens = choice->id_sens();
  record.freq = choice->freq();
  record.id_freq = choice->id_freq();
  record.lddate = row.lddate();
  status = statement.read_text(kSacColumn, "SAC", &record.sac);
  if (status.ok()) status = statement.read_text(kFapColumn, "FAP", &record.fap);
  if (!status.ok()) return status;
  *chosen = std::move(record);
  return Status();
}

}  // namespace kalvynex

// One statement on a connection, the one way this library runs SQL: the
// text run directly with its parameters, columns bound to buffers, rows
// fetched one by one, texts read whole, the cursor closed. Every ODBC call
// goes through check_odbc, and every failure is of the statement's stage.
//
// Parameters are all bound one way: as text (SQL_C_CHAR) of SQL type VARCHAR
// or TIMESTAMP, which every driver here converts. A time goes in as the
// text "YYYY-MM-DD HH:MM:SS": the SQLite3 driver would write a bound
// timestamp structure with a fraction (".000"), which compares after the
// same second stored as text.
//
// With a timer, the statement is watched for as long as it is open: the
// timer's expiry cancels it. The caller decides what the timer's period
// covers (a stage, or one call).
#ifndef KALVYNEX_DB_STATEMENT_H_
#define KALVYNEX_DB_STATEMENT_H_

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <vector>

#include "core/status.h"
#include "core/timestamp.h"
#include "db/cancel_timer.h"
#include "db/odbc_connection.h"
#include "db/odbc_handle.h"

namespace kalvynex {

class Statement {
 public:
  Statement() = default;
  ~Statement() { close(); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // A new statement on `connection` with the connection's query timeout,
  // watched by `timer` when given. A statement open before is closed first.
  Status open(const OdbcConnection& connection, Stage stage, CancelTimer* timer = nullptr);
  // Frees the statement and forgets its parameters; nothing when not open.
  void close();
  bool is_open() const { return static_cast<bool>(handle_); }

  // The stage of the failures from now on.
  void set_stage(Stage stage) { stage_ = stage; }

  // Parameters, numbered in the order they are added; the values are copied
  // and bound at each execute().
  void add_text(const std::string& value);        // SQL type VARCHAR
  void add_time(const Timestamp& time);           // SQL type TIMESTAMP
  void add_time_text(const std::string& text);    // a time as the database wrote it
  void clear_parameters();

  // Runs `sql` with the parameters added so far. A cursor still open is
  // closed first.
  Status execute(const std::string& sql);

  // The result of a call made on handle() (a catalog function, say); a
  // result set it makes is taken as open.
  Status check_call(SQLRETURN rc);

  // Binds a result column to a buffer that stays put while rows are
  // fetched.
  Status bind_column(SQLUSMALLINT column, SQLSMALLINT c_type, SQLPOINTER target, SQLLEN length,
                     SQLLEN* indicator);

  // The next row; *found is false after the last one, when the cursor is
  // closed.
  Status fetch(bool* found);

  // A text column of the current row, whole (see read_text_column).
  Status read_text(SQLUSMALLINT column, const char* name, std::string* out) const;
  // A code column of the current row: the text with its NUL bytes kept.
  Status read_code(SQLUSMALLINT column, const char* name, std::string* out) const;

  // Closes the cursor and unbinds the columns; nothing when no cursor is open.
  Status close_cursor();

  const OdbcHandle& handle() const { return handle_; }

 private:
  Status check(SQLRETURN rc) const { return check_odbc(rc, handle_, stage_); }

  OdbcHandle handle_;
  CancelTimer* timer_ = nullptr;
  Stage stage_ = Stage::kLoad;
  bool cursor_open_ = false;
  // One entry per parameter, in order.
  std::vector<std::string> values_;
  std::vector<SQLSMALLINT> sql_types_;
  std::vector<SQLLEN> lengths_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_DB_STATEMENT_H_

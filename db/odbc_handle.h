// Thin ownership of ODBC handles: each handle is freed by the one object
// that holds it, on every path; and the one way to read why a call failed.
#ifndef KALVYNEX_DB_ODBC_HANDLE_H_
#define KALVYNEX_DB_ODBC_HANDLE_H_

#include <sql.h>
#include <sqlext.h>

#include <string>

#include "core/status.h"

namespace kalvynex {

// True for SQL_SUCCESS and SQL_SUCCESS_WITH_INFO.
inline bool odbc_succeeded(SQLRETURN rc) {
  return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

class OdbcHandle {
 public:
  OdbcHandle() = default;
  ~OdbcHandle() { reset(); }

  OdbcHandle(OdbcHandle&& other) noexcept;
  OdbcHandle& operator=(OdbcHandle&& other) noexcept;
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;

  // Allocates a handle of `type` under `parent` (SQL_NULL_HANDLE for an
  // environment) and takes it over. Returns the result of SQLAllocHandle;
  // on any result but success the object stays empty.
  SQLRETURN allocate(SQLSMALLINT type, SQLHANDLE parent);

  // Frees the handle, if any. A connection is disconnected first.
  void reset();

  SQLHANDLE get() const { return handle_; }
  SQLSMALLINT type() const { return type_; }
  explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }

 private:
  SQLSMALLINT type_ = 0;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// The diagnostic records of a handle's last call.
struct OdbcDiagnostic {
  std::string sqlstate;  // record 1's; empty when there is no record
  // Record 1's text as the driver wrote it; each further record follows on
  // a line of its own as "[SQLSTATE] text", the line ends that closed the
  // text before it dropped. Each record's text is cut at 1023 bytes.
  std::string text;
};

OdbcDiagnostic read_diagnostic(const OdbcHandle& handle);

// Adds diagnostic record `sqlstate`/`text` to *diagnostic in the form above.
void append_diagnostic_record(const std::string& sqlstate, const std::string& text,
                              OdbcDiagnostic* diagnostic);

// Success when `rc` is SQL_SUCCESS or SQL_SUCCESS_WITH_INFO; otherwise a
// failure of `stage` with the diagnostic records of `handle` (SQLSTATE of
// record 1). Every ODBC call whose failure matters goes through here.
Status check_odbc(SQLRETURN rc, const OdbcHandle& handle, Stage stage);

}  // namespace kalvynex

#endif  // KALVYNEX_DB_ODBC_HANDLE_H_

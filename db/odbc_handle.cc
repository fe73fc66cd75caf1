#include "db/odbc_handle.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace kalvynex {

OdbcHandle::OdbcHandle(OdbcHandle&& other) noexcept
    : type_(other.type_), handle_(std::exchange(other.handle_, SQLHANDLE{})) {}

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept {
  if (this != &other) {
    reset();
    type_ = other.type_;
    handle_ = std::exchange(other.handle_, SQLHANDLE{});
  }
  return *this;
}

SQLRETURN OdbcHandle::allocate(SQLSMALLINT type, SQLHANDLE parent) {
  reset();
  SQLHANDLE handle = SQL_NULL_HANDLE;
  const SQLRETURN rc = SQLAllocHandle(type, parent, &handle);
  if (odbc_succeeded(rc)) {
    type_ = type;
    handle_ = handle;
  }
  return rc;
}

void OdbcHandle::reset() {
  if (handle_ == SQL_NULL_HANDLE) return;
  // Disconnecting a connection that never connected only records a
  // diagnostic; the handle is freed either way.
  if (type_ == SQL_HANDLE_DBC) SQLDisconnect(handle_);
  SQLFreeHandle(type_, handle_);
  handle_ = SQL_NULL_HANDLE;
}

OdbcDiagnostic read_diagnostic(const OdbcHandle& handle) {
  constexpr SQLSMALLINT kBufferLength = 1024;
  // A driver that repeats itself cannot make a message without end.
  constexpr SQLSMALLINT kMostRecords = 16;
  OdbcDiagnostic diagnostic;
  if (!handle) return diagnostic;
  std::vector<SQLCHAR> buffer(kBufferLength, 0);
  for (SQLSMALLINT record = 1; record <= kMostRecords; ++record) {
    SQLCHAR state[6] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT text_length = 0;
    std::fill(buffer.begin(), buffer.end(), 0);
    const SQLRETURN rc = SQLGetDiagRec(handle.type(), handle.get(), record, state, &native,
                                       buffer.data(), kBufferLength, &text_length);
    if (!odbc_succeeded(rc)) break;
    state[5] = 0;
    buffer.back() = 0;  // the driver manager cuts longer texts; never trust it blindly
    append_diagnostic_record(reinterpret_cast<const char*>(state),
                             reinterpret_cast<const char*>(buffer.data()), &diagnostic);
  }
  return diagnostic;
}

void append_diagnostic_record(const std::string& sqlstate, const std::string& text,
                              OdbcDiagnostic* diagnostic) {
  if (diagnostic->sqlstate.empty() && diagnostic->text.empty()) {
    diagnostic->sqlstate = sqlstate;
    diagnostic->text = text;
    return;
  }
  std::string& joined = diagnostic->text;
  while (!joined.empty() && (joined.back() == '\n' || joined.back() == '\r')) joined.pop_back();
  joined += "\n[" + sqlstate + "] " + text;
}

Status check_odbc(SQLRETURN rc, const OdbcHandle& handle, Stage stage) {
  if (odbc_succeeded(rc)) return Status();
  OdbcDiagnostic diagnostic = read_diagnostic(handle);
  return Status::failure(stage, std::move(diagnostic.text), std::move(diagnostic.sqlstate));
}

}  // namespace kalvynex

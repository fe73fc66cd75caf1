#include "db/odbc_handle.h"

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
  std::vector<SQLCHAR> buffer(kBufferLength, 0);
  SQLCHAR state[6] = {0};
  SQLINTEGER native = 0;
  SQLSMALLINT text_length = 0;
  OdbcDiagnostic diagnostic;
  if (!handle) return diagnostic;
  const SQLRETURN rc = SQLGetDiagRec(handle.type(), handle.get(), 1, state, &native,
                                     buffer.data(), kBufferLength, &text_length);
  if (!odbc_succeeded(rc)) return diagnostic;
  state[5] = 0;
  buffer.back() = 0;  // the driver manager cuts longer texts; never trust it blindly
  diagnostic.sqlstate = reinterpret_cast<const char*>(state);
  diagnostic.text = reinterpret_cast<const char*>(buffer.data());
  return diagnostic;
}

Status check_odbc(SQLRETURN rc, const OdbcHandle& handle, Stage stage) {
  if (odbc_succeeded(rc)) return Status();
  OdbcDiagnostic diagnostic = read_diagnostic(handle);
  return Status::failure(stage, std::move(diagnostic.text), std::move(diagnostic.sqlstate));
}

}  // namespace kalvynex

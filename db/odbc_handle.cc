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

std::string diagnostic_text(const OdbcHandle& handle) {
  constexpr SQLSMALLINT kBufferLength = 1024;
  std::vector<SQLCHAR> buffer(kBufferLength, 0);
  SQLSMALLINT text_length = 0;
  if (handle) {
    SQLGetDiagRec(handle.type(), handle.get(), 1, nullptr, nullptr, buffer.data(),
                  kBufferLength, &text_length);
  }
  buffer.back() = 0;  // the driver manager cuts longer texts; never trust it blindly
  return std::string(reinterpret_cast<const char*>(buffer.data()));
}

}  // namespace kalvynex

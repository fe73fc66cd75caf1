#include "db/statement.h"

#include "core/string_printf.h"
#include "db/column_read.h"

namespace kalvynex {

Status Statement::open(const OdbcConnection& connection, Stage stage, CancelTimer* timer) {
  close();
  stage_ = stage;
  Status status = connection.new_statement(stage, &handle_);
  if (!status.ok()) {
    handle_.reset();
    return status;
  }
  timer_ = timer;
  if (timer_ != nullptr) timer_->watch(handle_.get());
  return status;
}

void Statement::close() {
  // Unwatched before the handle goes, so that no cancel can reach a freed
  // handle.
  if (timer_ != nullptr) timer_->watch(SQL_NULL_HSTMT);
  timer_ = nullptr;
  handle_.reset();
  cursor_open_ = false;
  clear_parameters();
}

void Statement::add_text(const std::string& value) {
  values_.push_back(value);
  sql_types_.push_back(SQL_VARCHAR);
}

void Statement::add_time(const Timestamp& t) {
  add_time_text(string_printf("%04d-%02u-%02u %02u:%02u:%02u", t.year, t.month, t.day, t.hour,
                              t.minute, t.second));
}

void Statement::add_time_text(const std::string& text) {
  values_.push_back(text);
  sql_types_.push_back(SQL_TYPE_TIMESTAMP);
}

void Statement::clear_parameters() {
  values_.clear();
  sql_types_.clear();
  lengths_.clear();
}

Status Statement::execute(const std::string& sql) {
  Status status = close_cursor();
  if (!status.ok()) return status;
  // The values are complete now and do not move until the next execute.
  lengths_.assign(values_.size(), 0);
  for (std::size_t i = 0; i < values_.size(); ++i) {
    std::string& value = values_[i];
    lengths_[i] = static_cast<SQLLEN>(value.size());
    status = check(SQLBindParameter(handle_.get(), static_cast<SQLUSMALLINT>(i + 1),
                                    SQL_PARAM_INPUT, SQL_C_CHAR, sql_types_[i],
                                    value.empty() ? 1 : value.size(), 0, &value[0], lengths_[i],
                                    &lengths_[i]));
    if (!status.ok()) return status;
  }
  return check_call(SQLExecDirect(handle_.get(), sql_text(sql), SQL_NTS));
}

Status Statement::check_call(SQLRETURN rc) {
  Status status = check(rc);
  cursor_open_ = status.ok();
  return status;
}

Status Statement::bind_column(SQLUSMALLINT column, SQLSMALLINT c_type, SQLPOINTER target,
                              SQLLEN length, SQLLEN* indicator) {
  return check(SQLBindCol(handle_.get(), column, c_type, target, length, indicator));
}

Status Statement::fetch(bool* found) {
  *found = false;
  const SQLRETURN rc = SQLFetch(handle_.get());
  if (rc == SQL_NO_DATA) return close_cursor();
  Status status = check(rc);
  *found = status.ok();
  return status;
}

Status Statement::read_text(SQLUSMALLINT column, const char* name, std::string* out) const {
  return read_text_column(handle_, column, name, out);
}

Status Statement::read_code(SQLUSMALLINT column, const char* name, std::string* out) const {
  return read_text_column(handle_, column, name, out, NulByte::kKept);
}

Status Statement::close_cursor() {
  if (!cursor_open_) return Status();
  cursor_open_ = false;
  Status status = check(SQLCloseCursor(handle_.get()));
  if (!status.ok()) return status;
  return check(SQLFreeStmt(handle_.get(), SQL_UNBIND));
}

}  // namespace kalvynex

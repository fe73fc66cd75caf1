#include "db/table_check.h"

#include <cstring>
#include <string>
#include <vector>

#include "core/text_rules.h"

namespace kalvynex {

namespace {

// Column names longer than this do not fit the name buffer and match nothing.
constexpr SQLLEN kColumnNameBuffer = 32;

}  // namespace

Status check_calibration_table(const OdbcConnection& connection, CancelTimer* timer) {
  OdbcHandle statement;
  Status status = connection.new_statement(Stage::kFindTable, &statement);
  if (!status.ok()) return status;
  const WatchedStatement watched(timer, statement.get());

  // Some drivers search every database the user can see when no catalog is
  // given; the connection's own catalog, when it reports one, keeps a
  // CALIBRATION of another database from passing the check.
  const std::string catalog = connection.current_catalog();
  SQLCHAR* catalog_name = catalog.empty() ? nullptr : sql_text(catalog);
  const SQLSMALLINT catalog_length = catalog.empty() ? 0 : SQL_NTS;

  // The quotes belong to the type list: only base tables count, not views.
  status = check_odbc(SQLTables(statement.get(), catalog_name, catalog_length, nullptr, 0,
                                sql_text("CALIBRATION"), SQL_NTS, sql_text("'TABLE'"), SQL_NTS),
                      statement, Stage::kFindTable);
  if (!status.ok()) return status;
  const SQLRETURN rc = SQLFetch(statement.get());
  if (rc == SQL_NO_DATA) return Status::failure(Stage::kReadColumns, "NOT FOUND");
  status = check_odbc(rc, statement, Stage::kReadColumns);
  if (!status.ok()) return status;
  SQLCloseCursor(statement.get());

  status = check_odbc(SQLColumns(statement.get(), catalog_name, catalog_length, nullptr, 0,
                                 sql_text("CALIBRATION"), SQL_NTS, nullptr, 0),
                      statement, Stage::kReadColumns);
  if (!status.ok()) return status;

  std::vector<char> name(kColumnNameBuffer, 0);
  SQLLEN name_length = 0;
  status = check_odbc(
      SQLBindCol(statement.get(), 4, SQL_C_CHAR, name.data(), kColumnNameBuffer, &name_length),
      statement, Stage::kReadColumns);
  if (!status.ok()) return status;

  std::array<bool, kCalibrationColumns.size()> found{};
  for (;;) {
    name_length = 0;
    const SQLRETURN fetched = SQLFetch(statement.get());
    if (fetched == SQL_NO_DATA) break;
    status = check_odbc(fetched, statement, Stage::kReadColumns);
    if (!status.ok()) return status;
    // A name that filled the buffer was cut, and a cut name matches nothing.
    if (name_length < 0 || name_length >= kColumnNameBuffer) continue;
    const std::string column(name.data(), strnlen(name.data(), static_cast<size_t>(name_length)));
    for (std::size_t i = 0; i < kCalibrationColumns.size(); ++i) {
      if (equals_ignore_case(column, kCalibrationColumns[i])) {
        found[i] = true;
        break;
      }
    }
  }
  SQLCloseCursor(statement.get());

  std::string missing;
  for (std::size_t i = 0; i < kCalibrationColumns.size(); ++i) {
    if (found[i]) continue;
    if (!missing.empty()) missing += ',';
    missing += kCalibrationColumns[i];
  }
  if (!missing.empty()) return Status::failure(Stage::kMissingColumns, missing);
  return Status();
}

}  // namespace kalvynex

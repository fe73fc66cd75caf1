#include "db/table_check.h"

#include <cstring>
#include <string>
#include <vector>

#include "core/text_rules.h"
#include "db/statement.h"

namespace kalvynex {

namespace {

// Column names longer than this do not fit the name buffer and match nothing.
constexpr SQLLEN kColumnNameBuffer = 32;

}  // namespace

Status check_calibration_table(const OdbcConnection& connection, CancelTimer* timer) {
  Statement statement;
  Status status = statement.open(connection, Stage::kFindTable, timer);
  if (!status.ok()) return status;
  const SQLHSTMT handle = statement.handle().get();

  // Some drivers search every database the user can see when no catalog is
  // given; the connection's own catalog, when it reports one, keeps a
  // CALIBRATION of another database from passing the check.
  const std::string catalog = connection.current_catalog();
  SQLCHAR* catalog_name = catalog.empty() ? nullptr : sql_text(catalog);
  const SQLSMALLINT catalog_length = catalog.empty() ? 0 : SQL_NTS;

  // The quotes belong to the type list: only base tables count, not views.
  status = statement.check_call(SQLTables(handle, catalog_name, catalog_length, nullptr, 0,
                                          sql_text("CALIBRATION"), SQL_NTS, sql_text("'TABLE'"),
                                          SQL_NTS));
  if (!status.ok()) return status;
  statement.set_stage(Stage::kReadColumns);
  bool found_table = false;
  status = statement.fetch(&found_table);
  if (!status.ok()) return status;
  if (!found_table) return Status::failure(Stage::kReadColumns, "NOT FOUND");
  status = statement.close_cursor();
  if (!status.ok()) return status;

  status = statement.check_call(SQLColumns(handle, catalog_name, catalog_length, nullptr, 0,
                                           sql_text("CALIBRATION"), SQL_NTS, nullptr, 0));
  if (!status.ok()) return status;

  std::vector<char> name(kColumnNameBuffer, 0);
  SQLLEN name_length = 0;
  status = statement.bind_column(4, SQL_C_CHAR, name.data(), kColumnNameBuffer, &name_length);
  if (!status.ok()) return status;

  std::array<bool, kCalibrationColumns.size()> found{};
  for (;;) {
    name_length = 0;
    bool fetched = false;
    status = statement.fetch(&fetched);
    if (!status.ok()) return status;
    if (!fetched) break;
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

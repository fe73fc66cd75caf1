#include "db/odbc_connection.h"

#include <vector>

namespace kalvynex {

SQLCHAR* sql_text(const std::string& text) {
  return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str()));
}

SQLCHAR* sql_text(const char* text) {
  return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text));
}

Status OdbcConnection::open(const ConnectionParameters& parameters) {
  connection_.reset();
  environment_.reset();

  if (!odbc_succeeded(environment_.allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE))) {
    return Status::failure(Stage::kConnect, "ENV initialization error");
  }
  if (!odbc_succeeded(SQLSetEnvAttr(environment_.get(), SQL_ATTR_ODBC_VERSION,
                                    reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                                    SQL_IS_INTEGER))) {
    environment_.reset();
    return Status::failure(Stage::kConnect, "SQLSetEnvAttr()");
  }
  if (!odbc_succeeded(connection_.allocate(SQL_HANDLE_DBC, environment_.get()))) {
    environment_.reset();
    return Status::failure(Stage::kConnect, "DBC initialization error");
  }
  Status status = check_odbc(
      SQLConnect(connection_.get(), sql_text(parameters.data_source), SQL_NTS,
                 sql_text(parameters.user), SQL_NTS, sql_text(parameters.password), SQL_NTS),
      connection_, Stage::kConnect);
  if (!status.ok()) {
    connection_.reset();
    environment_.reset();
  }
  return status;
}

Status OdbcConnection::new_statement(Stage stage, OdbcHandle* statement) const {
  if (!odbc_succeeded(statement->allocate(SQL_HANDLE_STMT, connection_.get()))) {
    return Status::failure(stage, "STMT initialization error");
  }
  return Status();
}

std::string OdbcConnection::current_catalog() const {
  std::vector<SQLCHAR> name(1024, 0);
  SQLINTEGER length = 0;
  const SQLRETURN rc =
      SQLGetConnectAttr(connection_.get(), SQL_ATTR_CURRENT_CATALOG, name.data(),
                        static_cast<SQLINTEGER>(name.size()), &length);
  if (!odbc_succeeded(rc)) return std::string();
  name.back() = 0;
  return std::string(reinterpret_cast<const char*>(name.data()));
}

}  // namespace kalvynex

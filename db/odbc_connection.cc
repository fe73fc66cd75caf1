#include "db/odbc_connection.h"

#include <vector>

#include "db/process_sockets.h"

namespace kalvynex {

SQLCHAR* sql_text(const std::string& text) {
  return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str()));
}

SQLCHAR* sql_text(const char* text) {
  return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text));
}

Status OdbcConnection::open(const ConnectionParameters& parameters) {
  close();

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
  query_timeout_ = parameters.query_timeout > 0 ? parameters.query_timeout : 0;
  if (parameters.login_timeout > 0) {
    // ODBC passes integer attributes in the pointer argument.
    Status set = check_odbc(
        SQLSetConnectAttr(connection_.get(), SQL_ATTR_LOGIN_TIMEOUT,
                          reinterpret_cast<SQLPOINTER>(  // NOLINT(performance-no-int-to-ptr)
                              static_cast<SQLULEN>(parameters.login_timeout)),
                          SQL_IS_UINTEGER),
        connection_, Stage::kConnect);
    if (!set.ok()) {
      connection_.reset();
      environment_.reset();
      return set;
    }
  }
  // Some drivers keep SQL_ATTR_LOGIN_TIMEOUT only while the TCP connection
  // is made, and then wait for the server's greeting without a limit (the
  // MariaDB driver does, at a server that accepts and never answers). One
  // second after the limit, the sockets that the login opened are shut
  // down: the waiting driver sees the connection end and fails with its own
  // text. Sockets that were open before are left alone. The sockets that the
  // login opened are the connection's own, which a query's time limit shuts
  // down in the same way.
  const std::set<int> sockets_before = open_sockets();
  SQLRETURN rc = SQL_ERROR;
  {
    // Stopped as soon as the login returns.
    const CancelTimer login_timer(parameters.login_timeout, [&sockets_before] {
      kalvynex::shut_down_sockets(sockets_opened_since(sockets_before));
    });
    rc = SQLConnect(connection_.get(), sql_text(parameters.data_source), SQL_NTS,
                    sql_text(parameters.user), SQL_NTS, sql_text(parameters.password), SQL_NTS);
  }
  Status status = check_odbc(rc, connection_, Stage::kConnect);
  if (!status.ok()) {
    close();
    return status;
  }
  sockets_ = sockets_opened_since(sockets_before);
  return status;
}

std::unique_ptr<CancelTimer> OdbcConnection::query_timer(bool started) const {
  return std::make_unique<CancelTimer>(query_timeout_, [this] { shut_down_sockets(); }, started);
}

void OdbcConnection::shut_down_sockets() const { kalvynex::shut_down_sockets(sockets_); }

Status OdbcConnection::new_statement(Stage stage, OdbcHandle* statement) const {
  if (!odbc_succeeded(statement->allocate(SQL_HANDLE_STMT, connection_.get()))) {
    return Status::failure(stage, "STMT initialization error");
  }
  if (query_timeout_ == 0) return Status();
  // A driver that cannot keep the limit itself says so (01S02 or HYC00);
  // the stage's CancelTimer keeps it then.
  // ODBC passes integer attributes in the pointer argument.
  Status set = check_odbc(
      SQLSetStmtAttr(statement->get(), SQL_ATTR_QUERY_TIMEOUT,
                     reinterpret_cast<SQLPOINTER>(  // NOLINT(performance-no-int-to-ptr)
                         static_cast<SQLULEN>(query_timeout_)),
                     SQL_IS_UINTEGER),
      *statement, stage);
  if (!set.ok() && set.sqlstate() != "HYC00") return set;
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

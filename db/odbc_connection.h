// One ODBC connection with its environment, opened from a data source name,
// user and password, and closed properly when the object goes.
#ifndef KALVYNEX_DB_ODBC_CONNECTION_H_
#define KALVYNEX_DB_ODBC_CONNECTION_H_

#include <memory>
#include <set>
#include <string>

#include "core/status.h"
#include "db/calibration_source.h"
#include "db/cancel_timer.h"
#include "db/odbc_handle.h"

namespace kalvynex {

class OdbcConnection {
 public:
  OdbcConnection() = default;
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;

  // Opens the ODBC 3 environment and connects. Failures are of stage
  // kConnect; a connection open before is closed first.
  Status open(const ConnectionParameters& parameters);

  bool is_open() const { return static_cast<bool>(connection_); }

  // Disconnects and frees the environment; nothing when not open.
  void close() {
    connection_.reset();
    environment_.reset();
    sockets_.clear();
  }

  // A new statement handle on this connection, in *statement, with the
  // connection's query timeout; a failure is of `stage`.
  Status new_statement(Stage stage, OdbcHandle* statement) const;

  // Seconds that each stage's queries may take; 0: no limit.
  int query_timeout() const { return query_timeout_; }

  // The time limit of a stage's queries on this connection (query_timeout()
  // seconds, from now unless `started` is false): the watched statement is
  // cancelled when the time is up, and a second later the connection's
  // sockets are shut down, so that a server or network that stopped
  // answering cannot hold the stage longer.
  std::unique_ptr<CancelTimer> query_timer(bool started = true) const;

  // Shuts down the sockets that the login opened: every call waiting on the
  // server ends with the driver's text, and the connection is lost.
  void shut_down_sockets() const;

  // The connection's catalog (its database), or empty when the driver names
  // none.
  std::string current_catalog() const;

 private:
  // The environment outlives the connection: members are destroyed in
  // reverse order.
  OdbcHandle environment_;
  OdbcHandle connection_;
  int query_timeout_ = 0;
  // The sockets that the login opened (none for a driver without a server).
  std::set<int> sockets_;
};

// `text` as the ODBC API takes input texts.
SQLCHAR* sql_text(const std::string& text);
SQLCHAR* sql_text(const char* text);

}  // namespace kalvynex

#endif  // KALVYNEX_DB_ODBC_CONNECTION_H_

#include "tests/support/scratch_db.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "db/odbc_handle.h"

namespace kalvynex {

namespace {

struct ServerAddress {
  std::string host, port, user, password;
};

// The server that the environment variable of `backend` names, if any.
bool server_address(Backend backend, ServerAddress* server) {
  const char* variable = backend == Backend::MariaDB ? "KALVYNEX_TEST_MY" : "KALVYNEX_TEST_PG";
  const char* text = std::getenv(variable);
  if (text == nullptr || *text == '\0') return false;
  std::vector<std::string> parts;
  std::stringstream stream(text);
  std::string part;
  while (std::getline(stream, part, ':')) parts.push_back(part);
  if (parts.size() != 4) {
    throw std::runtime_error(std::string(variable) + " must be host:port:user:password");
  }
  *server = ServerAddress{parts[0], parts[1], parts[2], parts[3]};
  return true;
}

std::string pg_connection_string(const std::string& host, const std::string& port,
                                 const std::string& database, const std::string& user,
                                 const std::string& password) {
  return "Driver=PostgreSQL Unicode;Servername=" + host + ";Port=" + port +
         ";Database=" + database + ";Uid=" + user + ";Pwd=" + password + ";CommLog=0;Debug=0;";
}

// An empty `database` connects to none (for creating and dropping one).
std::string my_connection_string(const std::string& host, const std::string& port,
                                 const std::string& database, const std::string& user,
                                 const std::string& password) {
  std::string text = "Driver=MariaDB Unicode;Server=" + host + ";Port=" + port + ";";
  if (!database.empty()) text += "Database=" + database + ";";
  return text + "Uid=" + user + ";Pwd=" + password + ";";
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace

std::string backend_name(Backend backend) {
  switch (backend) {
    case Backend::SQLite: return "SQLite";
    case Backend::PostgreSQL: return "PostgreSQL";
    case Backend::MariaDB: return "MariaDB";
  }
  return "?";
}

std::vector<Backend> available_backends() {
  std::vector<Backend> backends = {Backend::SQLite};
  ServerAddress server;
  if (server_address(Backend::PostgreSQL, &server)) backends.push_back(Backend::PostgreSQL);
  if (server_address(Backend::MariaDB, &server)) backends.push_back(Backend::MariaDB);
  return backends;
}

std::string schema_file(Backend backend) {
  const char* name = backend == Backend::SQLite       ? "sqlite"
                     : backend == Backend::PostgreSQL ? "postgresql"
                                                      : "mariadb";
  return std::string(KALVYNEX_SOURCE_DIR) + "/data/schema-" + name + ".sql";
}

std::string demo_data_file() { return std::string(KALVYNEX_SOURCE_DIR) + "/data/demo-data.sql"; }

void execute_sql(const std::string& connection_string, const std::string& sql) {
  OdbcHandle env, dbc, stmt;
  env.allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
  SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  dbc.allocate(SQL_HANDLE_DBC, env.get());
  std::string in = connection_string;
  SQLRETURN rc = SQLDriverConnect(dbc.get(), nullptr, reinterpret_cast<SQLCHAR*>(in.data()),
                                  SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  if (!odbc_succeeded(rc)) throw std::runtime_error("connect: " + read_diagnostic(dbc).text);
  stmt.allocate(SQL_HANDLE_STMT, dbc.get());
  std::string text = sql;
  rc = SQLExecDirect(stmt.get(), reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
  if (!odbc_succeeded(rc) && rc != SQL_NO_DATA) {
    throw std::runtime_error("execute: " + read_diagnostic(stmt).text + "\n" + sql);
  }
  stmt.reset();
  dbc.reset();
}

ScratchDatabase::ScratchDatabase(Backend backend, const std::string& dir) : backend_(backend) {
  if (backend == Backend::SQLite) {
    name_ = dir + "/calibration.sqlite";
    return;
  }
  ServerAddress server;
  if (!server_address(backend, &server)) {
    throw std::runtime_error("no " + backend_name(backend) + " server for the tests");
  }
  host_ = server.host;
  port_ = server.port;
  user_ = server.user;
  password_ = server.password;
  static std::atomic<int> counter{0};
  name_ = "kvx_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
  const std::string admin = admin_connection_string();
  execute_sql(admin, "DROP DATABASE IF EXISTS " + name_);
  execute_sql(admin, backend == Backend::MariaDB ? "CREATE DATABASE " + name_ +
                                                       " CHARACTER SET utf8mb4"
                                                 : "CREATE DATABASE " + name_);
}

ScratchDatabase::~ScratchDatabase() {
  try {
    if (backend_ == Backend::SQLite) {
      unlink(name_.c_str());
    } else if (backend_ == Backend::PostgreSQL) {
      execute_sql(admin_connection_string(), "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    } else {
      execute_sql(admin_connection_string(), "DROP DATABASE IF EXISTS " + name_);
    }
  } catch (const std::exception&) {
    // A database left behind goes with the test server.
  }
}

std::string ScratchDatabase::connection_string() const {
  if (backend_ == Backend::SQLite) return "Driver=SQLite3;Database=" + name_ + ";";
  if (backend_ == Backend::MariaDB) return my_connection_string(host_, port_, name_, user_, password_);
  return pg_connection_string(host_, port_, name_, user_, password_);
}

std::string ScratchDatabase::admin_connection_string() const {
  if (backend_ == Backend::MariaDB) return my_connection_string(host_, port_, "", user_, password_);
  return pg_connection_string(host_, port_, "postgres", user_, password_);
}

void ScratchDatabase::execute(const std::string& sql) const {
  execute_sql(connection_string(), sql);
}

void ScratchDatabase::execute_file(const std::string& path) const {
  const std::string content = read_file(path);
  std::string statement;
  std::istringstream lines(content);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("--", 0) == 0) continue;
    statement += line + "\n";
    if (!line.empty() && line.back() == ';') {
      execute(statement);
      statement.clear();
    }
  }
}

void ScratchDatabase::create_calibration_table(bool with_demo_data) const {
  execute_file(schema_file(backend_));
  if (with_demo_data) execute_file(demo_data_file());
}

std::string ScratchDatabase::odbc_ini_section(const std::string& dsn) const {
  if (backend_ == Backend::SQLite) {
    return "[" + dsn + "]\nDriver = SQLite3\nDatabase = " + name_ + "\n\n";
  }
  if (backend_ == Backend::MariaDB) {
    return "[" + dsn + "]\nDriver = MariaDB Unicode\nServer = " + host_ + "\nPort = " + port_ +
           "\nDatabase = " + name_ + "\n\n";
  }
  return "[" + dsn + "]\nDriver = PostgreSQL Unicode\nServername = " + host_ + "\nPort = " + port_ +
         "\nDatabase = " + name_ + "\nCommLog = 0\nDebug = 0\n\n";
}

}  // namespace kalvynex

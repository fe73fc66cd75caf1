// Throwaway calibration databases on the real drivers: a SQLite file, or a
// fresh database on the PostgreSQL or MariaDB server that the test command
// started.
#ifndef KALVYNEX_TESTS_SUPPORT_SCRATCH_DB_H_
#define KALVYNEX_TESTS_SUPPORT_SCRATCH_DB_H_

#include <ostream>
#include <string>
#include <vector>

namespace kalvynex {

enum class Backend { SQLite, PostgreSQL, MariaDB };

// "SQLite", "PostgreSQL" or "MariaDB", for test names.
std::string backend_name(Backend backend);
inline void PrintTo(Backend backend, std::ostream* os) { *os << backend_name(backend); }

// SQLite always; PostgreSQL when KALVYNEX_TEST_PG, MariaDB when
// KALVYNEX_TEST_MY names a server as "host:port:user:password" (a user
// allowed to create databases; on MariaDB, those named kvx_...).
std::vector<Backend> available_backends();

// The schema file of `backend` under data/.
std::string schema_file(Backend backend);
// The demo data set, data/demo-data.sql.
std::string demo_data_file();

class ScratchDatabase {
 public:
  // Creates an empty database; `dir` holds the SQLite file.
  ScratchDatabase(Backend backend, const std::string& dir);
  ~ScratchDatabase();

  ScratchDatabase(const ScratchDatabase&) = delete;
  ScratchDatabase& operator=(const ScratchDatabase&) = delete;

  Backend backend() const { return backend_; }

  // Runs one statement; throws std::runtime_error with the driver's text.
  void execute(const std::string& sql) const;
  // Runs the statements of an SQL file, each ending in ";" at a line end.
  void execute_file(const std::string& path) const;
  // The CALIBRATION table of this backend, with the demo data when asked.
  void create_calibration_table(bool with_demo_data = true) const;

  // An odbc.ini section that names this database as `dsn`.
  std::string odbc_ini_section(const std::string& dsn) const;
  // A driver connection string for this database.
  std::string connection_string() const;

  const std::string& user() const { return user_; }
  const std::string& password() const { return password_; }
  // Server address parts (servers only).
  const std::string& host() const { return host_; }
  const std::string& port() const { return port_; }
  const std::string& database_name() const { return name_; }

 private:
  // A connection string of the server that may create and drop databases.
  std::string admin_connection_string() const;

  Backend backend_;
  std::string host_, port_, user_, password_;
  std::string name_;  // SQLite file path, or the server's database name
};

// Runs `sql` over a fresh connection made with `connection_string`.
void execute_sql(const std::string& connection_string, const std::string& sql);

}  // namespace kalvynex

#endif  // KALVYNEX_TESTS_SUPPORT_SCRATCH_DB_H_

// What differs between the database systems and their ODBC drivers, end to
// end: long texts, column names at the edge of the name buffer, a
// CALIBRATION of another database on the same server, table-name case, and
// the files a driver may leave behind.
#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>

#include "tests/e2e/e2e_fixture.h"

namespace kalvynex {
namespace {


// A text of `length` lower-case letters that never repeats within a few
// hundred thousand characters in a way that a misplaced cut or a chunk read
// twice could hide, and holds no "|", line end or "ZEROS": the SAC output
// copies it unchanged.
std::string letters(std::size_t length) {
  std::string text;
  text.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    text += static_cast<char>('a' + (i * 7 + i / 1000) % 26);
  }
  return text;
}

std::string calibration_row(const std::string& sta, const std::string& sac) {
  return "INSERT INTO CALIBRATION VALUES ('NN', 'LL', '" + sta +
         "', 'CHZ', '2000-01-01 00:00:00', NULL, 1, 1, 1, 1, '" + sac + "', NULL, NULL)";
}

using DatabaseBackendsTest = E2eTest;

// The SAC column is read piece by piece; whatever the driver does at the end
// of a piece (with or without a terminating NUL), the written file holds the
// whole stored text, never a cut one.
TEST_P(DatabaseBackendsTest, LongSacTextArrivesWhole) {
  database().create_calibration_table(false);
  const std::size_t lengths[] = {65534, 65535, 65536, 131071, 131072, 200000, 1000000};
  for (std::size_t i = 0; i < std::size(lengths); ++i) {
    database().execute(calibration_row("S" + std::to_string(i), letters(lengths[i])));
  }
  for (std::size_t i = 0; i < std::size(lengths); ++i) {
    SCOPED_TRACE(lengths[i]);
    const std::string sta = "S" + std::to_string(i);
    const ProcessResult r = run_connected({"SELECT=" + sta + ":CHZ:NN:LL", "-SAC"});
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
    const std::string file = out_dir() + "/" + sta + "_CHZ_NN_LL_20000101.sac";
    const std::string header = "# Station " + sta +
                               "\r\n# Channel CHZ\r\n# Location LL\r\n# Network NN\r\n"
                               "# Time 2000.01.01 00:00:00\r\n# Count/(M/sec)\r\n";
    const std::string expected = header + letters(lengths[i]);
    const std::string written = read_file_bytes(file);
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected) << "content differs from the stored text";
  }
}

// Column names of 31 characters fit the 32-byte name buffer; longer ones are
// cut (some drivers then leave no terminating NUL). Neither kind may match a
// required column, and neither may disturb the check.
TEST_P(DatabaseBackendsTest, LongColumnNamesMatchNoRequiredColumn) {
  const std::string required =
      "NETWORK VARCHAR(8), LOCATION VARCHAR(8), STA VARCHAR(8), CHAN VARCHAR(8), "
      "STARTDATE TIMESTAMP, ENDDATE TIMESTAMP, SENS DOUBLE PRECISION, ID_SENS SMALLINT, "
      "FREQ DOUBLE PRECISION, ID_FREQ SMALLINT, SAC TEXT, FAP TEXT";
  std::string long_columns;
  for (std::size_t length : {31, 32, 33, 63}) {
    long_columns += ", LDDATE" + std::string(length - 6, 'X') + " TIMESTAMP";
  }
  struct Case {
    std::string columns;
    std::string out_end;
    int exit_status;
  };
  const Case cases[] = {
      {required + long_columns, "ERROR (Checking table CALIBRATION). NOT FOUND column(s): LDDATE\n\n",
       kTableOrLoadFailed},
      {required + long_columns + ", LDDATE TIMESTAMP",
       "Loading data (ABC:BHZ:XX:00) from database\nNOT FOUND: ABC:BHZ:XX:00 ()\n\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.out_end);
    database().execute("DROP TABLE IF EXISTS CALIBRATION");
    database().execute("CREATE TABLE CALIBRATION (" + c.columns + ")");
    const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"});
    ASSERT_GE(r.out.size(), c.out_end.size()) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - c.out_end.size()), c.out_end) << r.out;
    EXPECT_EQ(r.exit_status, c.exit_status);
    EXPECT_EQ(r.err, "");
  }
}

// The user of the data source can see a second database that holds a real
// CALIBRATION table. Only the data source's own database counts.
TEST_P(DatabaseBackendsTest, TableInAnotherDatabaseDoesNotCount) {
  if (GetParam() == Backend::SQLite) GTEST_SKIP() << "one database per connection";
  ScratchDatabase other(GetParam(), dir().path());
  other.create_calibration_table();

  struct Case {
    const char* what;
    std::vector<std::string> statements;
  };
  const Case cases[] = {
      {"nothing named CALIBRATION", {"CREATE TABLE OTHER (X INTEGER)"}},
      {"only a view",
       {"CREATE TABLE CALIB_DATA (NETWORK VARCHAR(8), LOCATION VARCHAR(8), STA VARCHAR(8), "
        "CHAN VARCHAR(8), STARTDATE TIMESTAMP, ENDDATE TIMESTAMP, SENS DOUBLE PRECISION, "
        "ID_SENS SMALLINT, FREQ DOUBLE PRECISION, ID_FREQ SMALLINT, SAC TEXT, FAP TEXT, "
        "LDDATE TIMESTAMP)",
        "CREATE VIEW CALIBRATION AS SELECT * FROM CALIB_DATA"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::string& statement : c.statements) database().execute(statement);
    const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"});
    EXPECT_EQ(r.out,
              "Connecting to database: kalvynex_test\nOK\nChecking CALIBRATION table\n"
              "ERROR (Checking table CALIBRATION): NOT FOUND\n\n");
    EXPECT_EQ(r.exit_status, kTableOrLoadFailed);
  }
}

// MariaDB's catalog functions match table names without regard to case, but
// its select does not (on Linux): a lower-case table passes the check and
// then fails the query, which counts as a failed table check.
TEST_P(DatabaseBackendsTest, LowerCaseTableOnMariaDbFailsTheQuery) {
  if (GetParam() != Backend::MariaDB) GTEST_SKIP() << "MariaDB only";
  database().execute(
      "CREATE TABLE calibration (NETWORK VARCHAR(8), LOCATION VARCHAR(8), STA VARCHAR(8), "
      "CHAN VARCHAR(8), STARTDATE DATETIME(6), ENDDATE DATETIME(6), SENS DOUBLE, "
      "ID_SENS SMALLINT, FREQ DOUBLE, ID_FREQ SMALLINT, SAC LONGTEXT, FAP LONGTEXT, "
      "LDDATE DATETIME(6))");
  const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"});
  const std::string expected_start =
      connected_prefix(kDsn) + "Loading data (ABC:BHZ:XX:00) from database\nload_from_db(): ";
  EXPECT_EQ(r.out.substr(0, expected_start.size()), expected_start) << r.out;
  EXPECT_NE(r.out.find("CALIBRATION' doesn't exist"), std::string::npos) << r.out;
  EXPECT_EQ(r.exit_status, kTableOrLoadFailed);
}

// The ids are read as 16-bit numbers. From a wider column, a value beyond
// that range passes without an error on SQLite and PostgreSQL, while the
// MariaDB driver fails the fetch: hence SMALLINT in every schema.
TEST_P(DatabaseBackendsTest, IdOutsideSixteenBitsFailsOnlyOnMariaDb) {
  database().execute(
      "CREATE TABLE CALIBRATION (NETWORK VARCHAR(8), LOCATION VARCHAR(8), STA VARCHAR(8), "
      "CHAN VARCHAR(8), STARTDATE TIMESTAMP, ENDDATE TIMESTAMP, SENS DOUBLE PRECISION, "
      "ID_SENS INTEGER, FREQ DOUBLE PRECISION, ID_FREQ INTEGER, SAC TEXT, FAP TEXT, "
      "LDDATE TIMESTAMP)");
  database().execute(
      "INSERT INTO CALIBRATION VALUES ('NN', 'LL', 'S', 'CHZ', '2000-01-01 00:00:00', NULL, "
      "1, 70000, 1, 1, 'ZEROS 0|', NULL, NULL)");
  const ProcessResult r = run_connected({"SELECT=S:CHZ:NN:LL", "-SAC"});
  if (GetParam() == Backend::MariaDB) {
    EXPECT_NE(r.out.find("load_from_db(): "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("out of range"), std::string::npos) << r.out;
    EXPECT_EQ(r.exit_status, kTableOrLoadFailed);
  } else {
    EXPECT_EQ(r.exit_status, 0) << r.out;
  }
}

// The catalog functions of psqlODBC look only in the current schema. A
// schema named after the login role comes first in the default search path,
// so creating one hides a table that lives in public.
TEST_P(DatabaseBackendsTest, SchemaNamedAfterTheRoleHidesTheTableOnPostgreSql) {
  if (GetParam() != Backend::PostgreSQL) GTEST_SKIP() << "PostgreSQL only";
  database().create_calibration_table();
  ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"});
  ASSERT_EQ(r.exit_status, 0) << r.out;
  database().execute("CREATE SCHEMA " + database().user());
  r = run_connected({"SELECT=ABC:BHZ:XX:00"});
  EXPECT_EQ(r.out,
            "Connecting to database: kalvynex_test\nOK\nChecking CALIBRATION table\n"
            "ERROR (Checking table CALIBRATION): NOT FOUND\n\n");
  EXPECT_EQ(r.exit_status, kTableOrLoadFailed);
}

// Without Database= the connection has no database of its own (the MariaDB
// driver then names its current catalog "null"), and no table is found.
TEST_P(DatabaseBackendsTest, MariaDbDataSourceNeedsItsDatabase) {
  if (GetParam() != Backend::MariaDB) GTEST_SKIP() << "MariaDB only";
  database().create_calibration_table();
  const std::string ini =
      "[kalvynex_test]\nDriver = MariaDB Unicode\nServer = " + database().host() +
      "\nPort = " + database().port() + "\n";
  ProcessOptions options;
  options.environment.emplace("ODBCINI", dir().write_file("no-database.ini", ini));
  const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"}, options);
  EXPECT_EQ(r.out,
            "Connecting to database: kalvynex_test\nOK\nChecking CALIBRATION table\n"
            "ERROR (Checking table CALIBRATION): NOT FOUND\n\n");
  EXPECT_EQ(r.exit_status, kTableOrLoadFailed);
}

// The psqlODBC log file of the run with process id `pid`
// (/tmp/psqlodbc_<program>_<user><pid>.log), removed; whether there was one
// is returned, and whether it holds `secret` is noted in *leaked. The logs
// of other programs on the machine are left alone.
bool take_driver_log(long pid, const std::string& secret, bool* leaked) {
  const passwd* user = getpwuid(geteuid());
  const std::string name = std::string("/tmp/psqlodbc_kalvynex_") + (user ? user->pw_name : "") +
                           std::to_string(pid) + ".log";
  if (access(name.c_str(), F_OK) != 0) return false;
  if (read_file_bytes(name).find(secret) != std::string::npos) *leaked = true;
  unlink(name.c_str());
  return true;
}

// Debian's psqlODBC entry turns the driver's communication log on. CommLog = 0
// in the data source keeps statements and the password out of it, but the
// driver still notes the closing of the connection in a small file of its
// own, named after the program. With the driver entry's log off too (here
// through a private odbcinst.ini, as the database guide shows) a run leaves
// no file at all.
TEST_P(DatabaseBackendsTest, DriverLogFollowsTheDriverEntry) {
  if (GetParam() != Backend::PostgreSQL) GTEST_SKIP() << "psqlODBC only";
  database().create_calibration_table();
  const std::string debian_entries = read_file_bytes("/etc/odbcinst.ini");
  ASSERT_NE(debian_entries.find("[PostgreSQL Unicode]"), std::string::npos);

  std::string quiet_entries = debian_entries;
  for (std::size_t at; (at = quiet_entries.find("CommLog=1")) != std::string::npos;) {
    quiet_entries.replace(at, 9, "CommLog=0");
  }
  dir().write_file("odbcinst/odbcinst.ini", quiet_entries);

  struct Case {
    const char* what;
    std::optional<std::string> odbcsysini;
    bool leaves_log;
  };
  const Case cases[] = {
      {"driver entry as Debian ships it", std::nullopt, true},
      {"driver entry with CommLog=0", dir().path() + "/odbcinst", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProcessOptions options;
    options.environment.emplace("ODBCSYSINI", c.odbcsysini);
    const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"}, options);
    EXPECT_EQ(r.exit_status, 0) << r.out;
    bool leaked = false;
    EXPECT_EQ(take_driver_log(r.pid, database().password(), &leaked), c.leaves_log);
    EXPECT_FALSE(leaked) << "the driver log holds the password";
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, DatabaseBackendsTest, ::testing::ValuesIn(available_backends()),
                         backend_test_name);

}  // namespace
}  // namespace kalvynex

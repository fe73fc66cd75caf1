// What an attacker or an unlucky user can put in the program's way, end to
// end with the real binary on each backend: stored dates that are no
// calendar time, servers and tables that never answer, settings files that
// are no regular files, closed standard descriptors, signals during a long
// write, and a password on the command line.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/e2e/e2e_fixture.h"

namespace kalvynex {
namespace {

constexpr int kTableOrLoadFailed = 253;  // -3

class HostileInputTest : public E2eTest {
 protected:
  Backend backend() const { return GetParam(); }

  // Stores channel `sta`:BHZ:XX:00 with the given SQL expressions for its
  // dates; `mariadb_mode` is the sql_mode the MariaDB insert runs with.
  void insert_dated(const std::string& sta, const std::string& start, const std::string& end) {
    std::string insert = "INSERT INTO CALIBRATION VALUES ('XX', '00', '" + sta + "', 'BHZ', " +
                         start + ", " + end + ", 1, 1, 1, 1, 'ZEROS 0|CONSTANT 1|', NULL, NULL)";
    // MariaDB keeps a day that its month lacks only when told to.
    if (backend() == Backend::MariaDB) {
      insert = "SET STATEMENT sql_mode='ALLOW_INVALID_DATES' FOR " + insert;
    }
    database().execute(insert);
  }

  std::string loading(const std::string& sta) const {
    return connected_prefix(kDsn) + "Loading data (" + sta + ":BHZ:XX:00) from database\n";
  }
};

// A date that the driver cannot convert counts as NULL, as the driver says;
// an impossible date that the driver does deliver fails the load with its
// column and value; PostgreSQL's 'infinity' as an end is an open end.
TEST_P(HostileInputTest, StoredDatesThatAreNoCalendarTime) {
  database().create_calibration_table(false);
  struct Case {
    Backend backend;
    const char* sta;
    const char* start;
    const char* end;
    // Empty: the run succeeds and writes the file named `file_date`, with
    // the header of `like_sta` (a channel with the same meaning stored
    // plainly). Otherwise the text after "load_from_db(): ".
    const char* failure;
    const char* file_date;
    const char* like_start;
    const char* like_end;
  };
  const Case cases[] = {
      // The SQLite driver reports these as NULL: a NULL start is all zero.
      {Backend::SQLite, "S1", "'2016-13-45 99:99:99'", "NULL", "", "00000000", nullptr, nullptr},
      {Backend::SQLite, "S2", "'2016-02-30'", "'2016-02-31'", "", "00000000", nullptr, nullptr},
      {Backend::SQLite, "S3", "'2016-01-01 00:00:00'", "'2016-13-45 99:99:99'", "", "20160101",
       "'2016-01-01 00:00:00'", "NULL"},
      {Backend::PostgreSQL, "P1", "'-infinity'", "NULL",
       "STARTDATE holds no valid date: -9999-01-01 00:00:00", "", nullptr, nullptr},
      {Backend::PostgreSQL, "P2", "'2016-01-01 00:00:00'", "'infinity'", "", "20160101",
       "'2016-01-01 00:00:00'", "NULL"},
      {Backend::PostgreSQL, "P3", "'2016-01-01 00:00:00'", "'-infinity'", "", "20160101",
       "'2016-01-01 00:00:00'", "NULL"},
      {Backend::MariaDB, "M1", "'2016-02-30 00:00:00'", "NULL",
       "STARTDATE holds no valid date: 2016-02-30 00:00:00", "", nullptr, nullptr},
      {Backend::MariaDB, "M2", "'2016-01-01 00:00:00'", "'2016-04-31 12:00:00'",
       "ENDDATE holds no valid date: 2016-04-31 12:00:00", "", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    if (c.backend != backend()) continue;
    SCOPED_TRACE(c.sta);
    insert_dated(c.sta, c.start, c.end);
    const ProcessResult r = run_connected({std::string("SELECT=") + c.sta + ":BHZ:XX:00"});
    EXPECT_EQ(r.err, "");
    if (*c.failure != '\0') {
      EXPECT_EQ(r.out, loading(c.sta) + "load_from_db(): " + c.failure + "\n\n");
      EXPECT_EQ(r.exit_status, kTableOrLoadFailed);
      continue;
    }
    const std::string file =
        out_dir() + "/" + c.sta + "_BHZ_XX_00_" + c.file_date + ".sac";
    EXPECT_EQ(r.out, loading(c.sta) + "OK\nWriting data to file (" + file +
                         ")\nOK\n\nOUTPUT FILENAME: " + file + "\n");
    EXPECT_EQ(r.exit_status, 0);
    if (c.like_start == nullptr) continue;
    // The same channel stored with plain dates writes the same file.
    const std::string written = read_bytes(file);
    database().execute("DELETE FROM CALIBRATION WHERE STA = '" + std::string(c.sta) + "'");
    insert_dated(c.sta, c.like_start, c.like_end);
    const ProcessResult plain = run_connected({std::string("SELECT=") + c.sta + ":BHZ:XX:00"});
    EXPECT_EQ(plain.out, r.out);
    EXPECT_EQ(read_bytes(file), written);
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, HostileInputTest, ::testing::ValuesIn(available_backends()),
                         backend_test_name);

}  // namespace
}  // namespace kalvynex

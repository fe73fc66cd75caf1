// The run from connection to chosen record, end to end on each backend:
// messages, result codes and which calibration period is chosen.
#include <gtest/gtest.h>

#include "tests/e2e/e2e_fixture.h"

namespace kalvynex {
namespace {


using DatabaseStagesTest = E2eTest;

TEST_P(DatabaseStagesTest, UnknownDataSourceReportsTheDriverManagerText) {
  const ProcessResult r = run({"SELECT=ABC:BHZ:XX:00", "ODBC=no_such_dsn"});
  EXPECT_EQ(r.out,
            "Connecting to database: no_such_dsn\n"
            "Connection ERROR: [unixODBC][Driver Manager]Data source name not found and no "
            "default driver specified\n\n");
  EXPECT_EQ(r.exit_status, kConnectFailed);
  EXPECT_EQ(r.err, "");
}

TEST_P(DatabaseStagesTest, MissingTableFailsTheCheck) {
  database().execute("CREATE TABLE OTHER (X INTEGER)");
  const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"});
  EXPECT_EQ(r.out,
            "Connecting to database: kalvynex_test\nOK\nChecking CALIBRATION table\n"
            "ERROR (Checking table CALIBRATION): NOT FOUND\n\n");
  EXPECT_EQ(r.exit_status, kTableOrLoadFailed);
}

TEST_P(DatabaseStagesTest, ViewAloneIsNoTable) {
  database().execute("CREATE TABLE CALIB_DATA (NETWORK VARCHAR(8), LOCATION VARCHAR(8), "
                     "STA VARCHAR(8), CHAN VARCHAR(8), STARTDATE TIMESTAMP, ENDDATE TIMESTAMP, "
                     "SENS DOUBLE PRECISION, ID_SENS SMALLINT, FREQ DOUBLE PRECISION, "
                     "ID_FREQ SMALLINT, SAC TEXT, FAP TEXT, LDDATE TIMESTAMP)");
  database().execute("CREATE VIEW CALIBRATION AS SELECT * FROM CALIB_DATA");
  const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"});
  EXPECT_EQ(r.out,
            "Connecting to database: kalvynex_test\nOK\nChecking CALIBRATION table\n"
            "ERROR (Checking table CALIBRATION): NOT FOUND\n\n");
  EXPECT_EQ(r.exit_status, kTableOrLoadFailed);
}

TEST_P(DatabaseStagesTest, MissingColumnsAreListedInTableOrder) {
  struct Case {
    const char* columns;
    const char* missing;
  };
  const Case cases[] = {
      {"network VARCHAR(8), Location VARCHAR(8), STA VARCHAR(8), CHAN VARCHAR(8), "
       "STARTDATE TIMESTAMP, ENDDATE TIMESTAMP, ID_SENS SMALLINT, ID_FREQ SMALLINT, "
       "SAC TEXT, FAP TEXT, LDDATE TIMESTAMP, EXTRA TEXT",
       "SENS,FREQ"},
      {"NETWORK VARCHAR(8), LOCATION VARCHAR(8), STA VARCHAR(8), CHAN VARCHAR(8), "
       "STARTDATE TIMESTAMP, ENDDATE TIMESTAMP, SENS DOUBLE PRECISION, ID_SENS SMALLINT, "
       "FREQ DOUBLE PRECISION, ID_FREQ SMALLINT, SAC TEXT, FAP TEXT",
       "LDDATE"},
      {"SOMETHING TEXT",
       "NETWORK,LOCATION,STA,CHAN,STARTDATE,ENDDATE,SENS,ID_SENS,FREQ,ID_FREQ,SAC,FAP,LDDATE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.missing);
    database().execute("DROP TABLE IF EXISTS CALIBRATION");
    database().execute(std::string("CREATE TABLE CALIBRATION (") + c.columns + ")");
    const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"});
    EXPECT_EQ(r.out, "Connecting to database: kalvynex_test\nOK\nChecking CALIBRATION table\n"
                     "ERROR (Checking table CALIBRATION). NOT FOUND column(s): " +
                         std::string(c.missing) + "\n\n");
    EXPECT_EQ(r.exit_status, kTableOrLoadFailed);
  }
}

TEST_P(DatabaseStagesTest, NothingToWriteGivesItsOwnCode) {
  database().create_calibration_table();
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
    int exit_status;
  };
  const Case cases[] = {
      {{"SELECT=ZZZ:BHZ:XX:00"}, "NOT FOUND: ZZZ:BHZ:XX:00 ()\n\n", 1},
      {{"SELECT=ABC:BHZ:XX:00", "DATE=1999-12-31"},
       "NOT FOUND: ABC:BHZ:XX:00 (1999-12-31)\n\n", 1},
      {{"SELECT=ABC:LHZ:XX:00", "DATE=2004-01-01 00:00:01"},
       "NOT FOUND: ABC:LHZ:XX:00 (2004-01-01 00:00:01)\n\n", 1},
      {{"SELECT=ABC:BHN:XX:00", "-SAC"}, "NOT FOUND SAC data: ABC:BHN:XX:00 ()\n\n", 2},
      {{"SELECT=ABC:BHE:XX:00", "/fap", "DATE=2020"},
       "NOT FOUND FAP data: ABC:BHE:XX:00 (2020)\n\n", 3},
      {{"SELECT=GHI:BHZ:YY:10"}, "NOT FOUND no FAP nor SAC data: GHI:BHZ:YY:10 ()\n\n", 4},
      // Codes are compared as typed: letter case counts.
      {{"SELECT=abc:BHZ:XX:00"}, "NOT FOUND: abc:BHZ:XX:00 ()\n\n", 1},
      {{"SELECT=ABC :BHZ:XX:00"}, "NOT FOUND: ABC :BHZ:XX:00 ()\n\n", 1},  // so do blanks
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const ProcessResult r = run_connected(c.arguments);
    const std::string& select = c.arguments[0];
    EXPECT_EQ(r.out, connected_prefix(kDsn) + "Loading data (" + select.substr(7) +
                         ") from database\n" + c.message);
    EXPECT_EQ(r.exit_status, c.exit_status);
    EXPECT_EQ(r.err, "");
  }
}

// Which period of ABC:BHZ:XX:00 a DATE= text chooses, seen through the date
// suffix of the written file (the start of the chosen period).
TEST_P(DatabaseStagesTest, DateChoosesThePeriodThatHoldsIt) {
  database().create_calibration_table();
  struct Case {
    const char* date;
    const char* suffix;  // empty: nothing chosen
  };
  const Case cases[] = {
      {nullptr, "20110101"},                     // no date: the latest start
      {"DATE=", "20110101"},                     // empty: no date
      {"DATE=200", "20110101"},                  // fewer than 4 characters: no date
      {"DATE=abcd", "20110101"},                 // no number: like no date
      {"DATE=2001-01-01", "20010101"},           // the first second of a period
      {"DATE=2005-02-28 23:59:59", "20010101"},  // its last second
      {"DATE=2005-03-01 12:29:59", ""},          // between two periods
      {"DATE=2005-03-01 12:30", "20050301"},
      {"DATE=2005-03-0112:30", "20050301"},      // no blank before the hour
      {"DATE=2005:07:15", "20010101"},           // only "-" continues: 2005-01-01
      {"DATE=2005-00-00", "20010101"},           // month and day 0 count as 1
      {"DATE=2005-07", "20050301"},
      {"DATE=2010-12-31 23:59:59", "20050301"},
      {"DATE=2011", "20110101"},
      {"DATE=2099-01-01", "20110101"},           // open end
      {"DATE=2005-13-31", "20050301"},           // month above 12 counts as 12
      {"DATE=1990", ""},                         // before every period
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date ? c.date : "(none)");
    std::vector<std::string> arguments = {"SELECT=ABC:BHZ:XX:00"};
    if (c.date) arguments.push_back(c.date);
    const ProcessResult r = run_connected(arguments);
    if (*c.suffix == '\0') {
      EXPECT_EQ(r.exit_status, 1) << r.out;
      continue;
    }
    EXPECT_EQ(r.exit_status, 0) << r.out;
    EXPECT_NE(r.out.find("ABC_BHZ_XX_00_" + std::string(c.suffix) + ".sac"), std::string::npos)
        << r.out;
  }
}

TEST_P(DatabaseStagesTest, OlderOpenPeriodCoversADateAfterALaterClosedOne) {
  database().create_calibration_table(false);
  database().execute("INSERT INTO CALIBRATION VALUES ('N', 'L', 'S', 'C', '2000-01-01 00:00:00', "
                     "NULL, 1, 1, 1, 1, 'ZEROS 0|', 'fap', NULL)");
  database().execute("INSERT INTO CALIBRATION VALUES ('N', 'L', 'S', 'C', '2010-01-01 00:00:00', "
                     "'2011-01-01 00:00:00', 1, 1, 1, 1, 'ZEROS 0|', 'fap', NULL)");
  const ProcessResult r = run_connected({"SELECT=S:C:N:L", "DATE=2015-06-01"});
  EXPECT_EQ(r.exit_status, 0) << r.out;
  EXPECT_NE(r.out.find("S_C_N_L_20000101.sac"), std::string::npos) << r.out;
}

TEST_P(DatabaseStagesTest, QueryFailureAfterTheCheckIsATableCheckFailure) {
  if (GetParam() != Backend::PostgreSQL) GTEST_SKIP() << "needs case-sensitive table names";
  // A quoted upper-case name passes the catalog check, but the unquoted
  // select looks for the lower-case table.
  database().execute(
      "CREATE TABLE \"CALIBRATION\" (NETWORK VARCHAR(8), LOCATION VARCHAR(8), STA VARCHAR(8), "
      "CHAN VARCHAR(8), STARTDATE TIMESTAMP, ENDDATE TIMESTAMP, SENS DOUBLE PRECISION, "
      "ID_SENS SMALLINT, FREQ DOUBLE PRECISION, ID_FREQ SMALLINT, SAC TEXT, FAP TEXT, "
      "LDDATE TIMESTAMP)");
  const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"});
  EXPECT_EQ(r.out, connected_prefix(kDsn) +
                       "Loading data (ABC:BHZ:XX:00) from database\n"
                       "load_from_db(): ERROR: relation \"calibration\" does not exist;\n"
                       "Error while executing the query\n\n");
  EXPECT_EQ(r.exit_status, kTableOrLoadFailed);
}

INSTANTIATE_TEST_SUITE_P(Backends, DatabaseStagesTest, ::testing::ValuesIn(available_backends()),
                         backend_test_name);

}  // namespace
}  // namespace kalvynex

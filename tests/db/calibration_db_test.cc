// CalibrationDb against the real SQLite ODBC driver.
#include "db/calibration_db.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <optional>
#include <string>

#include "tests/support/files.h"
#include "tests/support/scratch_db.h"
#include "tests/support/temp_dir.h"

namespace kalvynex {
namespace {

class CalibrationDbTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    database_ = new ScratchDatabase(Backend::SQLite, dir_->path());
    database_->create_calibration_table(false);
    // Newest first: a closed period with every value set, then an open one
    // with NULL in every nullable column.
    database_->execute(
        "INSERT INTO CALIBRATION VALUES ('N', 'L', 'S', 'C', '2010-01-01 00:00:00.5', "
        "'2011-01-01 00:00:00', 2.5, 7, 1.5, 9, 'ZEROS 1|', 'fap new|', '2010-02-03 04:05:06')");
    database_->execute(
        "INSERT INTO CALIBRATION VALUES ('N', 'L', 'S', 'C', '2000-01-01 00:00:00', "
        "NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
    // A text longer than a record holds, and codes no query may reach by
    // accident.
    database_->execute(
        "INSERT INTO CALIBRATION VALUES ('N', 'L', 'LONG', 'C', '2000-01-01 00:00:00', NULL, "
        "1, 1, 1, 1, replace(hex(zeroblob(100000)), '00', 'ab'), 'x', NULL)");
    database_->execute(
        "INSERT INTO CALIBRATION VALUES ('N', 'L', 'O''K', 'C', '2000-01-01 00:00:00', NULL, "
        "1, 1, 1, 1, 'quoted', 'x', NULL)");
    const std::string ini = dir_->write_file("odbc.ini", database_->odbc_ini_section("unit_db"));
    setenv("ODBCINI", ini.c_str(), 1);
  }

  static void TearDownTestSuite() {
    delete database_;
    delete dir_;
  }

  void SetUp() override {
    const Status status = db_->connect(unit_db());
    ASSERT_TRUE(status.ok()) << status.text();
  }

  static ConnectionParameters unit_db() {
    ConnectionParameters parameters;
    parameters.data_source = "unit_db";
    return parameters;
  }

  // The record that load_from_db chooses for station `sta` of channel
  // N.L.C; the load must succeed.
  std::optional<CalibrationRecord> load(const std::string& sta, bool descending = true) {
    std::optional<CalibrationRecord> chosen;
    const Status status = db_->load_from_db(select_codes(sta, "C", "N", "L"), descending, &chosen);
    EXPECT_TRUE(status.ok()) << status.text();
    return chosen;
  }

  static TempDir* dir_;
  static ScratchDatabase* database_;
  std::unique_ptr<CalibrationSource> db_ = make_calibration_db();
};

TempDir* CalibrationDbTest::dir_ = nullptr;
ScratchDatabase* CalibrationDbTest::database_ = nullptr;

TEST(CalibrationDbConnectTest, FailureCarriesTheStageStateAndDriverManagerText) {
  ConnectionParameters parameters;
  parameters.data_source = "no_such_data_source";
  const Status status = make_calibration_db()->connect(parameters);
  EXPECT_EQ(status.stage(), Stage::kConnect);
  EXPECT_EQ(status.sqlstate(), "IM002");
  EXPECT_EQ(status.text(),
            "[unixODBC][Driver Manager]Data source name not found and no "
            "default driver specified");
}

TEST_F(CalibrationDbTest, CheckFindsTheTable) { EXPECT_TRUE(db_->check_table().ok()); }

TEST_F(CalibrationDbTest, LatestRecordCarriesEveryColumn) {
  const std::optional<CalibrationRecord> chosen = load("S");
  ASSERT_TRUE(chosen);
  const CalibrationRecord& r = *chosen;
  EXPECT_EQ(r.codes, select_codes("S", "C", "N", "L"));
  EXPECT_EQ(r.startdate.year, 2010);
  EXPECT_EQ(r.startdate.fraction, 0u);  // fractions of a second never count
  EXPECT_EQ(r.enddate.year, 2011);
  EXPECT_EQ(r.sens, 2.5);
  EXPECT_EQ(r.id_sens, 7);
  EXPECT_EQ(r.freq, 1.5);
  EXPECT_EQ(r.id_freq, 9);
  EXPECT_EQ(r.sac, "ZEROS 1|");
  EXPECT_EQ(r.fap, "fap new|");
  EXPECT_EQ(r.lddate.year, 2010);
  EXPECT_EQ(r.lddate.second, 6);
}

TEST_F(CalibrationDbTest, AscendingOrderChoosesTheEarliest) {
  const std::optional<CalibrationRecord> chosen = load("S", false);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->startdate.year, 2000);
}

TEST_F(CalibrationDbTest, NullColumnsNeverShowThePreviousRow) {
  // The 2010 row is fetched first and passed over; nothing of it may leak
  // into the 2000 row, whose columns are all NULL.
  std::optional<CalibrationRecord> chosen;
  ASSERT_TRUE(db_->load_for_date(select_codes("S", "C", "N", "L"), Timestamp::at(2015, 1, 1),
                                &chosen)
                  .ok());
  ASSERT_TRUE(chosen);
  const CalibrationRecord& r = *chosen;
  EXPECT_EQ(r.startdate.year, 2000);
  EXPECT_EQ(r.enddate.year, -1);
  EXPECT_EQ(r.enddate.month, 0);
  EXPECT_EQ(r.sens, -1.0);
  EXPECT_EQ(r.id_sens, 0);
  EXPECT_EQ(r.freq, -1.0);
  EXPECT_EQ(r.id_freq, 0);
  EXPECT_EQ(r.sac, "");
  EXPECT_EQ(r.fap, "");
  EXPECT_EQ(r.lddate.year, -1);
  EXPECT_EQ(r.lddate.day, 0);
}

TEST_F(CalibrationDbTest, LongTextArrivesWhole) {
  // A cut response text would be corrupted data: it is read in pieces until
  // the driver has given all of it.
  const std::optional<CalibrationRecord> chosen = load("LONG");
  ASSERT_TRUE(chosen);
  const std::string& sac = chosen->sac;
  ASSERT_EQ(sac.size(), 200000u);
  EXPECT_EQ(sac.find_first_not_of("ab"), std::string::npos);
  EXPECT_EQ(sac.substr(0, 4), "abab");
  EXPECT_EQ(sac.substr(sac.size() - 2), "ab");
}

TEST_F(CalibrationDbTest, CodesAreValuesNotStatementText) {
  const std::optional<CalibrationRecord> quoted = load("O'K");
  ASSERT_TRUE(quoted);
  EXPECT_EQ(quoted->sac, "quoted");

  const char* const hostile[] = {"S' OR '1'='1", "%", "_", "S'--", "S;"};
  for (const char* sta : hostile) {
    SCOPED_TRACE(sta);
    EXPECT_FALSE(load(sta));
  }
}

TEST_F(CalibrationDbTest, DateChoiceHasInclusiveBoundsAndNoMatchIsNoFailure) {
  struct Case {
    Timestamp date;
    int chosen_year;  // 0: nothing chosen
  };
  const Case cases[] = {
      {Timestamp::at(2010, 1, 1), 2010},  // the start itself (its fraction does not count)
      {Timestamp::at(2011, 1, 1), 2010},  // the end itself
      {Timestamp::at(2011, 1, 1, 0, 0, 1), 2000},  // after the end: the older open period
      {Timestamp::at(1999, 12, 31, 23, 59, 59), 0},
      {Timestamp::at(0, 1, 1), 2010},  // year 0: like no date
      {Timestamp::at(-5, 1, 1), 2010},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date.year);
    std::optional<CalibrationRecord> chosen;
    ASSERT_TRUE(db_->load_for_date(select_codes("S", "C", "N", "L"), c.date, &chosen).ok());
    EXPECT_EQ(chosen ? chosen->startdate.year : 0, c.chosen_year);
  }
}

TEST_F(CalibrationDbTest, FailedQueryIsALoadFailureAndEmptiesTheChoice) {
  std::optional<CalibrationRecord> chosen = load("S");
  ASSERT_TRUE(chosen);
  database_->execute("ALTER TABLE CALIBRATION RENAME TO CALIBRATION_AWAY");
  const Status status = db_->load_from_db(select_codes("S", "C", "N", "L"), true, &chosen);
  database_->execute("ALTER TABLE CALIBRATION_AWAY RENAME TO CALIBRATION");
  EXPECT_EQ(status.stage(), Stage::kLoad);
  EXPECT_NE(status.text().find("no such table"), std::string::npos) << status.text();
  EXPECT_FALSE(chosen);
}

}  // namespace
}  // namespace kalvynex

// CalibrationDb against the real SQLite ODBC driver.
#include "db/calibration_db.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>

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

  void SetUp() override { ASSERT_TRUE(db_.connect("unit_db", "", "")) << db_.get_last_error(); }

  static TempDir* dir_;
  static ScratchDatabase* database_;
  CalibrationDb db_;
};

TempDir* CalibrationDbTest::dir_ = nullptr;
ScratchDatabase* CalibrationDbTest::database_ = nullptr;

TEST(CalibrationDbConnectTest, NoErrorBeforeAnyFailureThenTheDriverManagerText) {
  CalibrationDb db;
  EXPECT_EQ(db.get_last_error(), "NO_ERROR");
  EXPECT_FALSE(db.connect("no_such_data_source", "", ""));
  EXPECT_EQ(db.get_last_error(),
            "Connection ERROR: [unixODBC][Driver Manager]Data source name not found and no "
            "default driver specified");
  EXPECT_TRUE(db.chosen_record().empty());
}

TEST_F(CalibrationDbTest, SuccessfulCheckClearsTheLastError) {
  CalibrationDb failed;
  EXPECT_FALSE(failed.connect("no_such_data_source", "", ""));
  EXPECT_TRUE(db_.check_table());
  EXPECT_EQ(db_.get_last_error(), "NO_ERROR");
}

TEST_F(CalibrationDbTest, LatestRecordCarriesEveryColumn) {
  ASSERT_TRUE(db_.load_from_db({"N", "L", "S", "C"}, true));
  const CalibrationRecord& r = db_.chosen_record();
  EXPECT_EQ(r.network, "N");
  EXPECT_EQ(r.location, "L");
  EXPECT_EQ(r.sta, "S");
  EXPECT_EQ(r.chan, "C");
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
  ASSERT_TRUE(db_.load_from_db({"N", "L", "S", "C"}, false));
  EXPECT_EQ(db_.chosen_record().startdate.year, 2000);
}

TEST_F(CalibrationDbTest, NullColumnsNeverShowThePreviousRow) {
  // The 2010 row is fetched first and passed over; nothing of it may leak
  // into the 2000 row, whose columns are all NULL.
  ASSERT_TRUE(db_.load_for_date({"N", "L", "S", "C"}, Timestamp{2015, 1, 1, 0, 0, 0, 0}));
  const CalibrationRecord& r = db_.chosen_record();
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
  ASSERT_TRUE(db_.load_from_db({"N", "L", "LONG", "C"}, true));
  const std::string& sac = db_.chosen_record().sac;
  ASSERT_EQ(sac.size(), 200000u);
  EXPECT_EQ(sac.find_first_not_of("ab"), std::string::npos);
  EXPECT_EQ(sac.substr(0, 4), "abab");
  EXPECT_EQ(sac.substr(sac.size() - 2), "ab");
}

TEST_F(CalibrationDbTest, CodesAreValuesNotStatementText) {
  ASSERT_TRUE(db_.load_from_db({"N", "L", "O'K", "C"}, true));
  EXPECT_EQ(db_.chosen_record().sac, "quoted");

  const char* const hostile[] = {"S' OR '1'='1", "%", "_", "S'--", "S;"};
  for (const char* sta : hostile) {
    SCOPED_TRACE(sta);
    ASSERT_TRUE(db_.load_from_db({"N", "L", sta, "C"}, true)) << db_.get_last_error();
    EXPECT_TRUE(db_.chosen_record().empty());
  }
}

TEST_F(CalibrationDbTest, DateChoiceHasInclusiveBoundsAndNoMatchIsNoFailure) {
  struct Case {
    Timestamp date;
    int chosen_year;  // 0: nothing chosen
  };
  const Case cases[] = {
      {{2010, 1, 1, 0, 0, 0, 0}, 2010},  // the start itself (its fraction does not count)
      {{2011, 1, 1, 0, 0, 0, 0}, 2010},  // the end itself
      {{2011, 1, 1, 0, 0, 1, 0}, 2000},  // after the end: the older open period
      {{1999, 12, 31, 23, 59, 59, 0}, 0},
      {{0, 1, 1, 0, 0, 0, 0}, 2010},     // year 0: like no date
      {{-5, 1, 1, 0, 0, 0, 0}, 2010},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date.year);
    ASSERT_TRUE(db_.load_for_date({"N", "L", "S", "C"}, c.date));
    EXPECT_EQ(db_.chosen_record().startdate.year, c.chosen_year);
    EXPECT_EQ(db_.chosen_record().empty(), c.chosen_year == 0);
  }
  EXPECT_EQ(db_.get_last_error(), "NO_ERROR");
}

TEST_F(CalibrationDbTest, FailedQueryNamesTheLoadAndEmptiesTheChoice) {
  ASSERT_TRUE(db_.load_from_db({"N", "L", "S", "C"}, true));
  database_->execute("ALTER TABLE CALIBRATION RENAME TO CALIBRATION_AWAY");
  const bool loaded = db_.load_from_db({"N", "L", "S", "C"}, true);
  database_->execute("ALTER TABLE CALIBRATION_AWAY RENAME TO CALIBRATION");
  EXPECT_FALSE(loaded);
  EXPECT_EQ(db_.get_last_error().rfind("load_from_db(): ", 0), 0u) << db_.get_last_error();
  EXPECT_NE(db_.get_last_error().find("no such table"), std::string::npos);
  EXPECT_TRUE(db_.chosen_record().empty());
}

}  // namespace
}  // namespace kalvynex

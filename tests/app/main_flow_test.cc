// The decisions of run() against a calibration source in memory: every
// result code, the default choice between SAC and FAP, and the choice
// between the latest record and the one valid at DATE=.
#include "app/main_flow.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace kalvynex {
namespace {

class FakeSource : public CalibrationSource {
 public:
  Status connect_status;
  Status check_status;
  Status load_status;
  std::optional<CalibrationRecord> record;

  // What the run asked for.
  std::vector<std::string> calls;
  std::optional<Timestamp> date_asked;

  Status connect(const ConnectionParameters& parameters) override {
    calls.push_back("connect " + parameters.data_source);
    return connect_status;
  }
  Status check_table() override {
    calls.push_back("check");
    return check_status;
  }
  Status load_from_db(const ChannelCodes& codes, bool descending,
                      std::optional<CalibrationRecord>* chosen) override {
    calls.push_back(std::string(descending ? "latest " : "earliest ") + codes.selector_text());
    return answer(codes, chosen);
  }
  Status load_for_date(const ChannelCodes& codes, const Timestamp& date,
                       std::optional<CalibrationRecord>* chosen) override {
    calls.push_back("at date " + codes.selector_text());
    date_asked = date;
    return answer(codes, chosen);
  }
  void close() override { calls.push_back("close"); }

 private:
  Status answer(const ChannelCodes& codes, std::optional<CalibrationRecord>* chosen) {
    *chosen = record;
    if (*chosen) (*chosen)->codes = codes;
    return load_status;
  }
};

// Runs with `words` after the program name and gives the printed text.
std::string run_captured(FakeSource& source, std::vector<std::string> words, ExitCode* code) {
  words.insert(words.begin(), "kalvynex");
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  // No settings files: every setting comes from the words or the defaults.
  *code = run(words, SettingsFiles{}, source, out);
  std::fclose(out);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

CalibrationRecord record_with(const std::string& sac, const std::string& fap) {
  CalibrationRecord record;
  record.startdate = Timestamp::at(2005, 3, 1);
  record.enddate.year = -1;
  record.sac = sac;
  record.fap = fap;
  return record;
}

TEST(RunTest, EveryResultCodeWithItsMessage) {
  TempDir dir;
  const std::string out_dir = "OUT_DIR=" + dir.path();
  const std::string select = "SELECT=ABC:BHZ:XX:00";
  const std::string stages =
      "Connecting to database: DSN\nOK\nChecking CALIBRATION table\nOK\n"
      "Loading data (ABC:BHZ:XX:00) from database\n";
  const std::string file = dir.path() + "/ABC_BHZ_XX_00_20050301";
  const CalibrationRecord both = record_with("ZEROS 0", "1 1 0");

  struct Case {
    const char* name;
    std::vector<std::string> words;
    Status connect, check, load;
    std::optional<CalibrationRecord> record;
    ExitCode code;
    std::string output;
  };
  const Case cases[] = {
      {"incomplete SELECT", {"SELECT=ABC:BHZ:XX", "ODBC=DSN"}, {}, {}, {}, both,
       ExitCode::BadSelect, "Incorrect [SELECT=] param\n"},
      {"connection refused", {select, "ODBC=DSN"},
       Status::failure(Stage::kConnect, "refused", "08001"), {}, {}, both,
       ExitCode::ConnectFailed, "Connecting to database: DSN\nConnection ERROR: refused\n\n"},
      {"table without columns", {select, "ODBC=DSN"}, {},
       Status::failure(Stage::kMissingColumns, "SAC,FAP"), {}, both,
       ExitCode::TableOrLoadFailed,
       "Connecting to database: DSN\nOK\nChecking CALIBRATION table\n"
       "ERROR (Checking table CALIBRATION). NOT FOUND column(s): SAC,FAP\n\n"},
      {"table absent", {select, "ODBC=DSN"}, {},
       Status::failure(Stage::kReadColumns, "NOT FOUND"), {}, both,
       ExitCode::TableOrLoadFailed,
       "Connecting to database: DSN\nOK\nChecking CALIBRATION table\n"
       "ERROR (Checking table CALIBRATION): NOT FOUND\n\n"},
      {"catalog refused", {select, "ODBC=DSN"}, {},
       Status::failure(Stage::kFindTable, "no catalog"), {}, both,
       ExitCode::TableOrLoadFailed,
       "Connecting to database: DSN\nOK\nChecking CALIBRATION table\n"
       "ERROR (Checking calibration table): no catalog\n\n"},
      {"load failed", {select, "ODBC=DSN"}, {}, {},
       Status::failure(Stage::kLoad, "lost", "08S01"), both, ExitCode::TableOrLoadFailed,
       stages + "load_from_db(): lost\n\n"},
      {"no record", {select, "ODBC=DSN", "DATE=2001"}, {}, {}, {}, std::nullopt,
       ExitCode::NotFound, stages + "NOT FOUND: ABC:BHZ:XX:00 (2001)\n\n"},
      {"-SAC without SAC", {select, "ODBC=DSN", "-SAC"}, {}, {}, {}, record_with("", "1 1 0"),
       ExitCode::NoSacData, stages + "NOT FOUND SAC data: ABC:BHZ:XX:00 ()\n\n"},
      {"-FAP without FAP", {select, "ODBC=DSN", "-FAP"}, {}, {}, {}, record_with("ZEROS 0", ""),
       ExitCode::NoFapData, stages + "NOT FOUND FAP data: ABC:BHZ:XX:00 ()\n\n"},
      {"neither text", {select, "ODBC=DSN"}, {}, {}, {}, record_with("", ""),
       ExitCode::NoResponseData, stages + "NOT FOUND no FAP nor SAC data: ABC:BHZ:XX:00 ()\n\n"},
      {"both texts, no switch: SAC", {select, "ODBC=DSN", out_dir}, {}, {}, {}, both,
       ExitCode::Success,
       stages + "OK\nWriting data to file (" + file + ".sac)\nOK\n\nOUTPUT FILENAME: " + file +
           ".sac\n"},
      {"FAP only, no switch: FAP", {select, "ODBC=DSN", out_dir}, {}, {}, {},
       record_with("", "1 1 0"), ExitCode::Success,
       stages + "OK\nWriting data to file (" + file + ".fap)\nOK\n\nOUTPUT FILENAME: " + file +
           ".fap\n"},
      {"-FAP with both", {select, "ODBC=DSN", out_dir, "-FAP"}, {}, {}, {}, both,
       ExitCode::Success,
       stages + "OK\nWriting data to file (" + file + ".fap)\nOK\n\nOUTPUT FILENAME: " + file +
           ".fap\n"},
      {"unwritable directory", {select, "ODBC=DSN", "OUT_DIR=" + dir.path() + "/missing"}, {},
       {}, {}, both, ExitCode::SaveFailed,
       stages + "OK\nWriting data to file (" + dir.path() +
           "/missing/ABC_BHZ_XX_00_20050301.sac)\nCouldn't write to file (" + dir.path() +
           "/missing/ABC_BHZ_XX_00_20050301.sac)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSource source;
    source.connect_status = c.connect;
    source.check_status = c.check;
    source.load_status = c.load;
    source.record = c.record;
    ExitCode code = ExitCode::Success;
    EXPECT_EQ(run_captured(source, c.words, &code), c.output);
    EXPECT_EQ(code, c.code);
    if (c.code == ExitCode::BadSelect) {
      EXPECT_TRUE(source.calls.empty());
    }
  }
}

TEST(RunTest, DateOfFourOrMoreCharactersChoosesByDate) {
  struct Case {
    const char* date_word;
    const char* call;
    int year;  // of the date asked for; 0 when none
  };
  const Case cases[] = {
      {"DATE=", "latest A:B:C:D", 0},
      {"DATE=200", "latest A:B:C:D", 0},
      {"DATE=2005", "at date A:B:C:D", 2005},
      {"DATE=2005-07-15 12:00", "at date A:B:C:D", 2005},
      // A text that is no date still goes by date; the source treats year 0
      // as none.
      {"DATE=none", "at date A:B:C:D", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date_word);
    FakeSource source;
    ExitCode code = ExitCode::Success;
    run_captured(source, {"SELECT=A:B:C:D", c.date_word}, &code);
    EXPECT_EQ(code, ExitCode::NotFound);
    ASSERT_EQ(source.calls.size(), 4u);
    EXPECT_EQ(source.calls[0], "connect QEV");  // the default data source
    EXPECT_EQ(source.calls[2], c.call);
    EXPECT_EQ(source.calls[3], "close");  // as soon as the record is loaded
    EXPECT_EQ(source.date_asked ? source.date_asked->year : 0, c.year);
  }
}

TEST(RunTest, HelpWordShowsTheUsageScreenAndTouchesNothing) {
  FakeSource source;
  ExitCode code = ExitCode::BadSelect;
  const std::string text = run_captured(source, {"SELECT=A:B:C:D", "/?"}, &code);
  EXPECT_EQ(code, ExitCode::Success);
  EXPECT_NE(text.find("Kalvynex v" KALVYNEX_VERSION), std::string::npos);
  EXPECT_TRUE(source.calls.empty());
}

}  // namespace
}  // namespace kalvynex

// The exit status of every command over an in-memory catalog: done,
// nothing matched, a database failure at each stage and an output failure,
// each with its one message.
#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "inventory/inventory.h"
#include "tests/support/fake_catalog.h"
#include "tests/support/files.h"
#include "tests/support/inventory_run.h"
#include "tests/support/temp_dir.h"

namespace kalvynex {
namespace {

struct Command {
  const char* name;
  std::vector<std::string> args;  // "DIR" stands for a scratch directory
  bool reads_texts;
  // The file that the sound period becomes in DIR; empty for a stream.
  const char* file;
};

const std::vector<Command> kCommands = {
    {"list", {"list"}, false, ""},
    {"check", {"check", "--tolerance", "1000"}, true, ""},
    {"sacpz", {"export", "-f", "sacpz"}, true, ""},
    {"sacpz into a file", {"export", "-f", "sacpz", "-o", "DIR/all.pz"}, true, "all.pz"},
    {"sacpz into a directory",
     {"export", "-f", "sacpz", "-o", "DIR"},
     true,
     "SAC_PZs_XX_ABC_BHZ_00_2008.001.00.00.00.0000_2599.365.23.59.59.99999"},
    {"sac", {"export", "-f", "sac", "-o", "DIR"}, true, "ABC_BHZ_XX_00_20080101.sac"},
    {"fap", {"export", "-f", "fap", "-o", "DIR"}, true, "ABC_BHZ_XX_00_20080101.fap"},
    {"stationxml", {"export", "-f", "stationxml"}, true, ""},
    {"stationxml into a file",
     {"export", "-f", "stationxml", "-o", "DIR/net.xml"},
     true,
     "net.xml"},
};

std::vector<std::string> with_dir(std::vector<std::string> args, const std::string& dir) {
  for (std::string& a : args) {
    if (a.compare(0, 3, "DIR") == 0) a = dir + a.substr(3);
  }
  return args;
}

std::vector<FakePeriod> sound_periods() {
  Timestamp open;
  open.year = -1;
  return {fake_period("XX.ABC.00.BHZ", Timestamp::at(2008, 1, 1), open, kSoundSac, kSoundFap)};
}

TEST(InventoryExitStatusTest, SoundPeriodsAreDoneAndNothingMatchedIsThree) {
  for (const Command& c : kCommands) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    FakeCatalog sound(sound_periods());
    const SessionRun done = run_session_on(sound, with_dir(c.args, dir.path()));
    EXPECT_EQ(done.status, 0) << done.err;
    if (*c.file != '\0') {
      struct stat st {};
      EXPECT_EQ(::stat((dir.path() + "/" + c.file).c_str(), &st), 0);
    }

    FakeCatalog empty({});
    const SessionRun nothing = run_session_on(empty, with_dir(c.args, dir.path()));
    EXPECT_EQ(nothing.status, 3);
    EXPECT_EQ(nothing.out, "");
    EXPECT_EQ(nothing.err, "kalvynex-inventory: nothing matches the selection\n");
  }
  // JSON stays a whole document when nothing matched.
  for (const char* command : {"list", "check"}) {
    SCOPED_TRACE(command);
    FakeCatalog empty({});
    const SessionRun nothing = run_session_on(empty, {command, "-f", "json"});
    EXPECT_EQ(nothing.status, 3);
    EXPECT_EQ(nothing.out, "[]\n");
  }
}

TEST(InventoryExitStatusTest, EachDatabaseStageFailsWithFourAndOneMessage) {
  const Status load = Status::failure(Stage::kLoad, "boom\n", "HY000");
  const struct {
    CatalogCall call;
    Status status;
    std::string message;
  } stages[] = {
      {CatalogCall::kConnect, Status::failure(Stage::kConnect, "refused", "08001"),
       "cannot connect to data source 'fake': [08001] refused"},
      // A driver text is shown escaped: no terminal command, no line of its own.
      {CatalogCall::kConnect, Status::failure(Stage::kConnect, "no\x1b]0;t\x07\rx\\\xff\n", "08001"),
       "cannot connect to data source 'fake': [08001] no\\x1b]0;t\\x07\\x0dx\\\\\\xff"},
      {CatalogCall::kCheckTable, Status::failure(Stage::kReadColumns, "NOT FOUND"),
       "the database has no table CALIBRATION"},
      {CatalogCall::kCheckTable, Status::failure(Stage::kMissingColumns, "SENS, FREQ"),
       "the table CALIBRATION lacks the columns SENS, FREQ"},
      {CatalogCall::kFindChannels, load, "query failed: [HY000] boom"},
      {CatalogCall::kOpenPeriods, load, "query failed: [HY000] boom"},
      {CatalogCall::kNextPeriod, load, "query failed: [HY000] boom"},
      {CatalogCall::kReadTexts, load, "query failed: [HY000] boom"},
  };
  for (const Command& c : kCommands) {
    for (const auto& stage : stages) {
      if (stage.call == CatalogCall::kReadTexts && !c.reads_texts) continue;
      SCOPED_TRACE(std::string(c.name) + ": " + stage.message + " at call " +
                   std::to_string(static_cast<int>(stage.call)));
      TempDir dir;
      FakeCatalog catalog(sound_periods());
      catalog.fail(stage.call, stage.status);
      const SessionRun run = run_session_on(catalog, with_dir(c.args, dir.path()));
      EXPECT_EQ(run.status, 4);
      EXPECT_EQ(run.err, "kalvynex-inventory: " + stage.message + "\n");
      EXPECT_EQ(catalog.calls(stage.call), 1);  // stopped at the failure
    }
  }
}

TEST(InventoryExitStatusTest, AFailureAfterTheFirstPeriodStillFails) {
  Timestamp open;
  open.year = -1;
  for (const Command& c : kCommands) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    FakeCatalog catalog(
        {fake_period("XX.ABC.00.BHZ", Timestamp::at(2008, 1, 1), Timestamp::at(2009, 1, 1),
                     kSoundSac, kSoundFap),
         fake_period("XX.ABD.00.BHZ", Timestamp::at(2009, 1, 1), open, kSoundSac, kSoundFap)});
    catalog.fail(CatalogCall::kOpenPeriods, Status::failure(Stage::kLoad, "lost", "08S01"), 2);
    const SessionRun run = run_session_on(catalog, with_dir(c.args, dir.path()));
    EXPECT_EQ(run.status, 4);
    EXPECT_NE(run.err.find("kalvynex-inventory: query failed: [08S01] lost\n"), std::string::npos)
        << run.err;
  }
}

TEST(InventoryExitStatusTest, AnOutputThatCannotBeWrittenIsFive) {
  TempDir dir;
  const std::string d = dir.path();
  // Directories in the place of the per-period files: they cannot be
  // renamed over.
  dir.write_file("SAC_PZs_XX_ABC_BHZ_00_2008.001.00.00.00.0000_2599.365.23.59.59.99999/keep", "");
  dir.write_file("ABC_BHZ_XX_00_20080101.sac/keep", "");
  dir.write_file("ABC_BHZ_XX_00_20080101.fap/keep", "");
  const struct {
    std::vector<std::string> args;  // quiet: the failure is the only message
    Output output;                  // of the run
    std::string target;
  } rows[] = {
      {{"list", "-q"}, Output::kFailing, "standard output"},
      {{"list", "-q", "-f", "json"}, Output::kFailing, "standard output"},
      {{"check", "-q"}, Output::kFailing, "standard output"},
      {{"export", "-q", "-f", "sacpz"}, Output::kFailing, "standard output"},
      {{"export", "-q", "-f", "stationxml"}, Output::kFailing, "standard output"},
      // Closed at start: failed before the connection.
      {{"list", "-q"}, Output::kClosed, "standard output"},
      {{"check", "-q"}, Output::kClosed, "standard output"},
      {{"export", "-q", "-f", "sacpz"}, Output::kClosed, "standard output"},
      {{"export", "-q", "-f", "stationxml", "-o", "-"}, Output::kClosed, "standard output"},
      {{"export", "-q", "-f", "sacpz", "-o", d + "/gone/all.pz"}, Output::kFile, d + "/gone/all.pz"},
      {{"export", "-q", "-f", "stationxml", "-o", d + "/gone/n.xml"}, Output::kFile, d + "/gone/n.xml"},
      {{"export", "-q", "-f", "sacpz", "-o", d},
       Output::kFile,
       d + "/SAC_PZs_XX_ABC_BHZ_00_2008.001.00.00.00.0000_2599.365.23.59.59.99999"},
      {{"export", "-q", "-f", "sac", "-o", d}, Output::kFile, d + "/ABC_BHZ_XX_00_20080101.sac"},
      {{"export", "-q", "-f", "fap", "-o", d}, Output::kFile, d + "/ABC_BHZ_XX_00_20080101.fap"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args[0] + " " + row.args.back());
    // A SAC text that check finds fault with, and that the exports still
    // read: check has something to write.
    std::vector<FakePeriod> periods = sound_periods();
    periods[0].sac += "CONSTANT 1|";
    FakeCatalog catalog(periods);
    const SessionRun run = run_session_on(catalog, row.args, row.output);
    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(run.err.rfind("kalvynex-inventory: cannot write " + row.target + " (", 0), 0u)
        << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_EQ(catalog.calls(CatalogCall::kConnect), row.output == Output::kClosed ? 0 : 1);
  }
}

// A file that fails fails alone: the run's other files are written and
// the status is 5 at the end. Every period skipped leaves an existing
// document as it was (status 1, the skips). Messages that the error stream
// refused make the status 5.
TEST(InventoryExitStatusTest, OneFailedFileSkippedPeriodsAndALostErrorStream) {
  Timestamp open;
  open.year = -1;
  const FakePeriod abc = fake_period("XX.ABC.00.BHZ", Timestamp::at(2008, 1, 1), open, kSoundSac,
                                     kSoundFap);
  const FakePeriod abd = fake_period("XX.ABD.00.BHZ", Timestamp::at(2009, 1, 1), open, kSoundSac,
                                     kSoundFap);
  const FakePeriod no_sac = fake_period("XX.ABC.00.BHZ", Timestamp::at(2008, 1, 1), open, "", "");
  const FakePeriod abd_no_sac = fake_period("XX.ABD.00.BHZ", Timestamp::at(2009, 1, 1), open, "", "");
  const FakePeriod no_date =
      fake_period("XX.ABC.00.BHZ", Timestamp::at(2008, 2, 30), open, kSoundSac, kSoundFap);
  const struct {
    const char* name;
    std::vector<FakePeriod> periods;
    std::vector<std::string> args;  // "DIR" stands for the scratch directory
    Output output;
    int status;
    std::vector<std::string> files;  // DIR's entries after the run
    const char* old_file;            // "old", when that file kept its text
  } rows[] = {
      {"directory at one sac name", {abc, abd}, {"export", "-f", "sac", "-o", "DIR"},
       Output::kFile, 5, {"ABC_BHZ_XX_00_20080101.sac", "ABD_BHZ_XX_00_20090101.sac"}, ""},
      {"directory at one sacpz name", {abc, abd}, {"export", "-f", "sacpz", "-o", "DIR"},
       Output::kFile, 5,
       {"SAC_PZs_XX_ABC_BHZ_00_2008.001.00.00.00.0000_2599.365.23.59.59.99999",
        "SAC_PZs_XX_ABD_BHZ_00_2009.001.00.00.00.0000_2599.365.23.59.59.99999"}, ""},
      {"sacpz, every period skipped", {no_sac}, {"export", "-f", "sacpz", "-o", "DIR/old"},
       Output::kFile, 1, {"old"}, "old"},
      {"stationxml, every period skipped", {no_date},
       {"export", "-f", "stationxml", "-o", "DIR/old"}, Output::kFile, 1, {"old"}, "old"},
      {"sacpz, one period written", {no_sac, abd}, {"export", "-f", "sacpz", "-o", "DIR/old"},
       Output::kFile, 1, {"old"}, ""},
      {"error stream refuses a skip", {abc, abd_no_sac}, {"export", "-f", "sac", "-o", "DIR"},
       Output::kFailingErrors, 5, {"ABC_BHZ_XX_00_20080101.sac"}, ""},
      {"error stream refuses, quiet", {abc, abd_no_sac}, {"export", "-q", "-f", "sac", "-o", "DIR"},
       Output::kFailingErrors, 1, {"ABC_BHZ_XX_00_20080101.sac"}, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    if (row.args.back() == "DIR/old") dir.write_file("old", "old");
    if (row.status == 5 && row.output == Output::kFile) {
      dir.write_file(row.files[0] + "/keep", "");
    }
    FakeCatalog catalog(row.periods);
    const SessionRun run = run_session_on(catalog, with_dir(row.args, dir.path()), row.output);
    EXPECT_EQ(run.status, row.status) << run.err;
    EXPECT_EQ(directory_entries(dir.path()), row.files);
    if (row.status == 5 && row.output == Output::kFile) {
      EXPECT_EQ(run.err, "kalvynex-inventory: cannot write " + dir.path() + "/" + row.files[0] +
                             " (open): Is a directory\n");
      EXPECT_FALSE(read_file_bytes(dir.path() + "/" + row.files[1]).empty());
    }
    if (*row.old_file != '\0') {
      EXPECT_EQ(read_file_bytes(dir.path() + "/old"), "old");
    }
  }
}

TEST(InventoryExitStatusTest, AnOutputOfTheWrongKindIsFiveBeforeAnyQuery) {
  TempDir dir;
  const struct {
    std::vector<std::string> args;
    std::string message;
  } rows[] = {
      {{"export", "-f", "sac", "-o", dir.path() + "/none"},
       "sac and fap write one file per period: " + dir.path() +
           "/none is not an existing directory"},
      {{"export", "-f", "fap"},  // the settings' directory, which does not exist
       "sac and fap write one file per period: /nonexistent-output-directory is not an existing "
       "directory"},
      {{"export", "-f", "stationxml", "-o", dir.path()},
       "stationxml writes one document: " + dir.path() + " is a directory"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.message);
    FakeCatalog catalog(sound_periods());
    const SessionRun run = run_session_on(catalog, row.args);
    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(run.err, "kalvynex-inventory: " + row.message + "\n");
    EXPECT_EQ(catalog.calls(CatalogCall::kOpenPeriods), 0);
  }
}

TEST(InventoryExitStatusTest, AnEscapedExceptionIsAnInternalErrorAndMemoryItsOwnStatus) {
  const struct {
    std::function<InventoryExit()> run;
    int status;
    std::string err;
  } rows[] = {
      {[] { return InventoryExit::kProblems; }, 1, ""},
      {[]() -> InventoryExit { throw std::bad_alloc(); }, 71,
       "kalvynex-inventory: out of memory\n"},
      {[]() -> InventoryExit { throw std::logic_error("no period"); }, 70,
       "kalvynex-inventory: internal error: no period\n"},
      {[]() -> InventoryExit { throw std::out_of_range("basic_string::substr"); }, 70,
       "kalvynex-inventory: internal error: basic_string::substr\n"},
      {[]() -> InventoryExit { throw 3; }, 70,
       "kalvynex-inventory: internal error: unknown exception\n"},
  };
  for (const auto& row : rows) {
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(static_cast<int>(run_guarded(err, row.run)), row.status);
    std::rewind(err);
    char text[200] = {};
    const std::size_t n = std::fread(text, 1, sizeof text - 1, err);
    std::fclose(err);
    EXPECT_EQ(std::string(text, n), row.err);
  }
}

}  // namespace
}  // namespace kalvynex

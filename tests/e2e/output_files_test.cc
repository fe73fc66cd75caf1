// The written files end to end on each backend: their bytes on disk (CR LF
// line ends included), their names, and what a run that cannot put its file
// in place prints and leaves behind.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "tests/e2e/e2e_fixture.h"

namespace kalvynex {
namespace {

namespace fs = std::filesystem;


// The SAC file of ABC:BHZ:XX:00 for its open period since 2011, velocity.
constexpr char kSacBhz2011[] =
    "# Station ABC\r\n"
    "# Channel BHZ\r\n"
    "# Location 00\r\n"
    "# Network XX\r\n"
    "# Time 2011.01.01 00:00:00\r\n"
    "# Count/(M/sec)\r\n"
    "ZEROS 3\r\n"
    "POLES 4\r\n"
    "-0.01234 0.01234\r\n"
    "-0.01234 -0.01234\r\n"
    "-222.1 222.1\r\n"
    "-222.1 -222.1\r\n"
    "CONSTANT 7.89e+13\r\n";

// The same channel's closed period 2005-2010.
constexpr char kSacBhz2005[] =
    "# Station ABC\r\n"
    "# Channel BHZ\r\n"
    "# Location 00\r\n"
    "# Network XX\r\n"
    "# Time 2005.03.01 12:30:00 / 2010.12.31 23:59:59\r\n"
    "# Count/(M/sec)\r\n"
    "ZEROS 3\r\n"
    "POLES 4\r\n"
    "-0.0370 0.0370\r\n"
    "-0.0370 -0.0370\r\n"
    "-222.1 222.1\r\n"
    "-222.1 -222.1\r\n"
    "CONSTANT 7.40e+13\r\n";

// The twelve stored triplets of the 2011 period of ABC:BHZ and ABC:BHN, as
// written for the GSE2 form (velocity, direct, nm): 1e-3 * 2*pi*f / A.
constexpr char kGse2Triplets[] =
    "   0.0100000  6.2978278e-003 23.0590000\r\n"
    "   0.0200000  2.5261474e-002 11.3250000\r\n"
    "   0.0500000  1.5791262e-001  4.5060000\r\n"
    "   0.1000000  6.3165430e-001  2.2510000\r\n"
    "   0.2000000  2.5266197e+000  1.1250000\r\n"
    "   0.5000000  1.5791342e+001  0.4500000\r\n"
    "   1.0000000  6.3165493e+001  0.2250000\r\n"
    "   2.0000000  2.5266197e+002  0.1130000\r\n"
    "   5.0000000  1.5791342e+003  0.0450000\r\n"
    "  10.0000000  6.3165493e+003  0.0230000\r\n"
    "  15.0000000  1.4212222e+004  0.0150000\r\n"
    "  20.0000000  2.5266197e+004  0.0110000\r\n";

// The same triplets in the stored form: amplitudes as stored.
constexpr char kQevTriplets[] =
    "   0.0100000  9.9767500e-003 23.0590000\r\n"
    "   0.0200000  4.9745200e-003 11.3250000\r\n"
    "   0.0500000  1.9894500e-003  4.5060000\r\n"
    "   0.1000000  9.9471900e-004  2.2510000\r\n"
    "   0.2000000  4.9735900e-004  1.1250000\r\n"
    "   0.5000000  1.9894400e-004  0.4500000\r\n"
    "   1.0000000  9.9471800e-005  0.2250000\r\n"
    "   2.0000000  4.9735900e-005  0.1130000\r\n"
    "   5.0000000  1.9894400e-005  0.0450000\r\n"
    "  10.0000000  9.9471800e-006  0.0230000\r\n"
    "  15.0000000  6.6314600e-006  0.0150000\r\n"
    "  20.0000000  4.9735900e-006  0.0110000\r\n";

// Displacement, direct, metres: 1e6 / A.
constexpr char kCountPerMetreTriplets[] =
    "   0.0100000  1.0023304e+008 23.0590000\r\n"
    "   0.0200000  2.0102442e+008 11.3250000\r\n"
    "   0.0500000  5.0265149e+008  4.5060000\r\n"
    "   0.1000000  1.0053090e+009  2.2510000\r\n"
    "   0.2000000  2.0106201e+009  1.1250000\r\n"
    "   0.5000000  5.0265401e+009  0.4500000\r\n"
    "   1.0000000  1.0053100e+010  0.2250000\r\n"
    "   2.0000000  2.0106201e+010  0.1130000\r\n"
    "   5.0000000  5.0265401e+010  0.0450000\r\n"
    "  10.0000000  1.0053100e+011  0.0230000\r\n"
    "  15.0000000  1.5079636e+011  0.0150000\r\n"
    "  20.0000000  2.0106201e+011  0.0110000\r\n";

// Everything a good run prints, for the channel and the file it names.
std::string good_run_output(const std::string& select, const std::string& file) {
  return connected_prefix("kalvynex_test") + "Loading data (" + select +
         ") from database\nOK\nWriting data to file (" + file + ")\nOK\n\nOUTPUT FILENAME: " +
         file + "\n";
}

// Everything a run prints when its file cannot be put in place.
std::string save_failed_output(const std::string& select, const std::string& file) {
  return connected_prefix("kalvynex_test") + "Loading data (" + select +
         ") from database\nOK\nWriting data to file (" + file + ")\nCouldn't write to file (" +
         file + ")\n";
}

class OutputFilesTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    database().create_calibration_table();
  }

  std::string out_file(const std::string& name) const { return out_dir() + "/" + name; }
};

TEST_P(OutputFilesTest, GoodRunPrintsEveryStageAndWritesTheSacFile) {
  const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"});
  const std::string file = out_file("ABC_BHZ_XX_00_20110101.sac");
  EXPECT_EQ(r.out, good_run_output("ABC:BHZ:XX:00", file));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(read_file_bytes(file), kSacBhz2011);
  // Only the one file: nothing temporary stays beside it.
  EXPECT_EQ(directory_entries(out_dir()),
            (std::vector<std::string>{".keep", "ABC_BHZ_XX_00_20110101.sac"}));
}

TEST_P(OutputFilesTest, SacFileWithAnEndDate) {
  const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00", "DATE=2007-06-01"});
  ASSERT_EQ(r.exit_status, 0) << r.out;
  // The suffix is the start of the chosen period, not the requested date.
  EXPECT_EQ(read_file_bytes(out_file("ABC_BHZ_XX_00_20050301.sac")), kSacBhz2005);
}

TEST_P(OutputFilesTest, SacZerosCountAndUnitFollowTheKindOfMotion) {
  struct Case {
    const char* type;  // nullptr: no TYPE_OUT
    const char* unit_line;
    const char* zeros_line;
  };
  const Case cases[] = {
      {nullptr, "# Count/(M/sec)", "ZEROS 3"},
      {"TYPE_OUT=GSE2", "# Count/(M/sec)", "ZEROS 3"},
      {"TYPE_OUT=gse2", "# Count/(M/sec)", "ZEROS 3"},
      {"TYPE_OUT=QEV", "# Count/M", "ZEROS 2"},
      {"TYPE_OUT=0", "# Count/M", "ZEROS 2"},
      {"TYPE_OUT=2", "# Count/(M/sec**2)", "ZEROS 4"},
      {"TYPE=2,1,-6", "# Count/(M/sec**2)", "ZEROS 4"},  // only the first number counts
      {"TYPE_OUT=3", "# Count/(M/sec)", "ZEROS 5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type ? c.type : "(default)");
    std::vector<std::string> arguments = {"SELECT=ABC:BHZ:XX:00"};
    if (c.type) arguments.push_back(c.type);
    const ProcessResult r = run_connected(arguments);
    ASSERT_EQ(r.exit_status, 0) << r.out;
    const std::string expected =
        std::string("# Station ABC\r\n# Channel BHZ\r\n# Location 00\r\n# Network XX\r\n"
                    "# Time 2011.01.01 00:00:00\r\n") +
        c.unit_line + "\r\n" + c.zeros_line +
        "\r\nPOLES 4\r\n-0.01234 0.01234\r\n-0.01234 -0.01234\r\n-222.1 222.1\r\n"
        "-222.1 -222.1\r\nCONSTANT 7.89e+13\r\n";
    EXPECT_EQ(read_file_bytes(out_file("ABC_BHZ_XX_00_20110101.sac")), expected);
  }
}

TEST_P(OutputFilesTest, FapFileInEachForm) {
  const std::string cal2 =
      "CAL2 ABC   BHN             -1.00000000e+000  -1.000             2011/01/01 00:00 \r\n";
  struct Case {
    const char* type;  // nullptr: no TYPE_OUT
    const char* comment;
    const char* fap2;
    const char* triplets;
  };
  const Case cases[] = {
      {nullptr, " ( ABC:BHN:00:XX Count/(nM/sec) )\r\n",
       "FAP2  0 C         0.000  12 GSE2 FAP Triplets 12     \r\n", kGse2Triplets},
      {"TYPE_OUT=1,0,-9", " ( ABC:BHN:00:XX Count/(nM/sec) )\r\n",
       "FAP2  0 C         0.000  12 GSE2 FAP Triplets 12     \r\n", kGse2Triplets},
      {"TYPE_OUT=QEV", " ( ABC:BHN:00:XX mkM/Count )\r\n",
       "FAP2  0 C         0.000  12 QEV FAP Triplets 12      \r\n", kQevTriplets},
      {"TYPE=qev", " ( ABC:BHN:00:XX mkM/Count )\r\n",
       "FAP2  0 C         0.000  12 QEV FAP Triplets 12      \r\n", kQevTriplets},
      {"TYPE_OUT=0,0,0", " ( ABC:BHN:00:XX Count/M )\r\n",
       "FAP2  0 C         0.000  12 FAP Triplets 12          \r\n", kCountPerMetreTriplets},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type ? c.type : "(default)");
    // ABC:BHN holds a FAP text only: without a switch the ".fap" is written.
    std::vector<std::string> arguments = {"SELECT=ABC:BHN:XX:00"};
    if (c.type) arguments.push_back(c.type);
    const ProcessResult r = run_connected(arguments);
    const std::string file = out_file("ABC_BHN_XX_00_20110101.fap");
    EXPECT_EQ(r.out, good_run_output("ABC:BHN:XX:00", file));
    ASSERT_EQ(r.exit_status, 0);
    EXPECT_EQ(read_file_bytes(file), cal2 + c.comment + c.fap2 + c.triplets);
  }
}

TEST_P(OutputFilesTest, FapSwitchWritesTheFapTextOfARecordHoldingBoth) {
  const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00", "-FAP", "DATE=2011-05-05"});
  ASSERT_EQ(r.exit_status, 0) << r.out;
  EXPECT_EQ(read_file_bytes(out_file("ABC_BHZ_XX_00_20110101.fap")),
            std::string("CAL2 ABC   BHZ             -1.00000000e+000  -1.000             "
                        "2011/01/01 00:00 \r\n"
                        " ( ABC:BHZ:00:XX Count/(nM/sec) )\r\n"
                        "FAP2  0 C         0.000  12 GSE2 FAP Triplets 12     \r\n") +
                kGse2Triplets);
  // -FAP writes the one file; no ".sac" beside it.
  EXPECT_EQ(directory_entries(out_dir()),
            (std::vector<std::string>{".keep", "ABC_BHZ_XX_00_20110101.fap"}));
}

TEST_P(OutputFilesTest, FapFileOfAClosedPeriodNamesItsEnd) {
  const ProcessResult r = run_connected({"SELECT=ABC:LHZ:XX:00", "/FAP", "TYPE_OUT=QEV"});
  ASSERT_EQ(r.exit_status, 0) << r.out;
  EXPECT_EQ(read_file_bytes(out_file("ABC_LHZ_XX_00_20030101.fap")),
            "CAL2 ABC   LHZ             -1.00000000e+000  -1.000             "
            "2003/01/01 00:00 2004/01/01 00:00\r\n"
            " ( ABC:LHZ:00:XX mkM/Count )\r\n"
            "FAP2  0 C         0.000   3 QEV FAP Triplets 3       \r\n"
            "   0.1000000  1.3263200e-003  6.7680000\r\n"
            "   1.0000000  1.3262900e-004  0.6750000\r\n"
            "  10.0000000  1.3262900e-005  0.0680000\r\n");
}

TEST_P(OutputFilesTest, RecordWithBothTextsWritesOnlyTheSacFile) {
  const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"});
  ASSERT_EQ(r.exit_status, 0) << r.out;
  EXPECT_EQ(directory_entries(out_dir()),
            (std::vector<std::string>{".keep", "ABC_BHZ_XX_00_20110101.sac"}));
}

// The triplet count of the FAP2 line states the lines that follow it, so
// that a reader taking the count reads exactly the triplets written.
TEST_P(OutputFilesTest, FapCountIsTheNumberOfTripletLinesWritten) {
  database().execute(
      "INSERT INTO CALIBRATION VALUES ('N', 'L', 'S', 'C', '2020-02-02 00:00:00', NULL, "
      "1, 1, 1, 1, NULL, '0.5 2.0 10|not a triplet|0 1 2|1 -1 0|2 4|', NULL)");
  database().execute(
      "INSERT INTO CALIBRATION VALUES ('N', 'L', 'S', 'D', '2020-02-02 00:00:00', NULL, "
      "1, 1, 1, 1, NULL, '1.0 0.5 45.0', NULL)");
  struct Case {
    const char* select;
    const char* file;
    const char* expected;
  };
  const Case cases[] = {
      // Five separators; three lines cannot be read or are not positive.
      {"SELECT=S:C:N:L", "S_C_N_L_20200202.fap",
       "CAL2 S     C               -1.00000000e+000  -1.000             2020/02/02 00:00 \r\n"
       " ( S:C:L:N mkM/Count )\r\n"
       "FAP2  0 C         0.000   2 QEV FAP Triplets 2       \r\n"
       "   0.5000000  2.0000000e+000 10.0000000\r\n"
       "   2.0000000  4.0000000e+000  0.0000000\r\n"},
      // One triplet without any separator after it.
      {"SELECT=S:D:N:L", "S_D_N_L_20200202.fap",
       "CAL2 S     D               -1.00000000e+000  -1.000             2020/02/02 00:00 \r\n"
       " ( S:D:L:N mkM/Count )\r\n"
       "FAP2  0 C         0.000   1 QEV FAP Triplets 1       \r\n"
       "   1.0000000  5.0000000e-001 45.0000000\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.select);
    const ProcessResult r = run_connected({c.select, "TYPE_OUT=QEV"});
    ASSERT_EQ(r.exit_status, 0) << r.out;
    EXPECT_EQ(read_file_bytes(out_file(c.file)), c.expected);
  }
}

// The file is written in text mode: LF becomes CR LF, and a CR that the
// stored text holds is kept before it.
TEST_P(OutputFilesTest, CarriageReturnsOfTheStoredTextAreKept) {
  database().execute(
      "INSERT INTO CALIBRATION VALUES ('N', 'L', 'S', 'C', '2020-02-02 00:00:00', NULL, "
      "1, 1, 1, 1, 'POLES 0\r\nCONSTANT 1\r\n', NULL, NULL)");
  const ProcessResult r = run_connected({"SELECT=S:C:N:L"});
  ASSERT_EQ(r.exit_status, 0) << r.out;
  EXPECT_EQ(read_file_bytes(out_file("S_C_N_L_20200202.sac")),
            "# Station S\r\n# Channel C\r\n# Location L\r\n# Network N\r\n"
            "# Time 2020.02.02 00:00:00\r\n# Count/(M/sec)\r\n"
            "POLES 0\r\r\nCONSTANT 1\r\r\n");
}

TEST_P(OutputFilesTest, FileNames) {
  database().execute(
      "INSERT INTO CALIBRATION VALUES ('XX', '?', 'DEF', 'HHZ', '2016-01-02 00:00:00', NULL, "
      "1, 1, 1, 1, 'ZEROS 0|', NULL, NULL)");
  database().execute(
      "INSERT INTO CALIBRATION VALUES ('XX', '?\?\?', 'DEF', 'HHZ', '2017-03-04 00:00:00', NULL, "
      "1, 1, 1, 1, 'ZEROS 0|', NULL, NULL)");
  database().execute(
      "INSERT INTO CALIBRATION VALUES ('xX', 'l0', 'Abc', 'bHz', '1999-09-09 09:09:09', NULL, "
      "1, 1, 1, 1, NULL, '1 1 1|', NULL)");
  struct Case {
    std::vector<std::string> arguments;
    std::string name;  // inside out_dir()
  };
  const Case cases[] = {
      {{"SELECT=ABC:BHZ:XX:00", "OUT_DIR=" + out_dir() + "/"}, "ABC_BHZ_XX_00_20110101.sac"},
      // "??" drops the location part, "?" and "???" stay.
      {{"SELECT=DEF:HHZ:XX:??"}, "DEF_HHZ_XX_20150601.sac"},
      {{"SELECT=DEF:HHZ:XX:?"}, "DEF_HHZ_XX_?_20160102.sac"},
      {{"SELECT=DEF:HHZ:XX:???"}, "DEF_HHZ_XX_???_20170304.sac"},
      {{"SELECT=DEF:HHZ:XX:??", "-FAP"}, "DEF_HHZ_XX_20150601.fap"},
      // Codes as typed, and the date of the record's start.
      {{"select=Abc:bHz:xX:l0"}, "Abc_bHz_xX_l0_19990909.fap"},
      {{"SELECT=ABC:BHZ:XX:00", "DATE=2004-12-31"}, "ABC_BHZ_XX_00_20010101.sac"},
      // Both switches cancel each other; a third one chooses again.
      {{"SELECT=ABC:BHZ:XX:00", "-FAP", "/sac"}, "ABC_BHZ_XX_00_20110101.sac"},
      {{"SELECT=ABC:BHZ:XX:00", "-SAC", "-FAP", "xFAPS"}, "ABC_BHZ_XX_00_20110101.fap"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProcessResult r = run_connected(c.arguments);
    const std::string file = out_file(c.name);
    EXPECT_NE(r.out.find("Writing data to file (" + file + ")\nOK\n\nOUTPUT FILENAME: " +
                         file + "\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_TRUE(fs::is_regular_file(file));
  }
}

TEST_P(OutputFilesTest, EmptyOutputDirectoryWritesIntoTheCurrentDirectory) {
  dir().write_file("kalvynex.ini", "[OUT]\nDIR=\n");
  dir().write_file("work/.keep", "");
  ProcessOptions options;
  options.working_directory = dir().path() + "/work";
  const ProcessResult r = run({"SELECT=ABC:BHZ:XX:00", std::string("ODBC=") + kDsn,
                               "USER=" + database().user(), "PASSWORD=" + database().password()},
                              options);
  EXPECT_EQ(r.out, good_run_output("ABC:BHZ:XX:00", "ABC_BHZ_XX_00_20110101.sac"));
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(read_file_bytes(dir().path() + "/work/ABC_BHZ_XX_00_20110101.sac"), kSacBhz2011);
}

TEST_P(OutputFilesTest, SecondRunReplacesTheFirstFile) {
  const std::string file = out_file("ABC_BHZ_XX_00_20110101.sac");
  ASSERT_EQ(run_connected({"SELECT=ABC:BHZ:XX:00", "TYPE_OUT=2"}).exit_status, 0);
  ASSERT_NE(read_file_bytes(file), kSacBhz2011);
  // A longer file than the new one, to see that nothing of it survives; it
  // was kept private, and so stays the new one.
  dir().write_file("out/ABC_BHZ_XX_00_20110101.sac", std::string(5000, 'x'));
  ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
  ProcessOptions options;
  options.before_exec = [] { ::umask(022); };
  ASSERT_EQ(run_connected({"SELECT=ABC:BHZ:XX:00"}, options).exit_status, 0);
  EXPECT_EQ(read_file_bytes(file), kSacBhz2011);
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_P(OutputFilesTest, CreatedFileIsReadWriteAsTheUmaskAllows) {
  const struct {
    mode_t umask_value;
    mode_t mode;
  } cases[] = {{022, 0644}, {077, 0600}, {0, 0666}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.umask_value);
    const std::string file = out_file("ABC_BHZ_XX_00_20110101.sac");
    fs::remove(file);
    ProcessOptions options;
    const mode_t umask_value = c.umask_value;
    options.before_exec = [umask_value] { ::umask(umask_value); };
    ASSERT_EQ(run_connected({"SELECT=ABC:BHZ:XX:00"}, options).exit_status, 0);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.mode);
  }
}

// A run that cannot put its file in place says so and ends with -5; what
// stood at the name before is unchanged and no temporary file is left.
TEST_P(OutputFilesTest, FileThatCannotBePutInPlaceFailsTheRun) {
  struct Case {
    const char* what;
    std::function<std::string()> prepare;  // gives the output directory
    ProcessOptions options;
  };
  const std::string name = "ABC_BHZ_XX_00_20110101.sac";
  ProcessOptions small_files;
  // Files may grow to 100 bytes only; the write fails instead of killing.
  small_files.before_exec = [] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100, 100};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  };
  const Case cases[] = {
      {"missing directory", [&] { return dir().path() + "/no/such/dir"; }, {}},
      {"directory at the name",
       [&] {
         dir().write_file("taken/" + name + "/inside", "kept");
         return dir().path() + "/taken";
       },
       {}},
      {"regular file as the directory",
       [&] { return dir().write_file("plain-file", "not a directory"); }, {}},
      {"name component too long",
       [&] { return dir().path() + "/" + std::string(300, 'c'); }, {}},
      {"name longer than 1023 bytes",
       [&] {
         std::string deep = dir().path() + "/deep";
         while (deep.size() < 1024) deep += "/" + std::string(200, 'd');
         fs::create_directories(deep);
         return deep;
       },
       {}},
      {"write fails part way",
       [&] {
         dir().write_file("full/" + name, "the file of an earlier run");
         return dir().path() + "/full";
       },
       small_files},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string directory = c.prepare();
    const std::vector<std::string> before = directory_entries(directory);
    const std::string file = directory + "/" + name;
    const std::string old_contents = read_file_bytes(file);

    const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00", "OUT_DIR=" + directory},
                                          c.options);
    EXPECT_EQ(r.out, save_failed_output("ABC:BHZ:XX:00", file));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exit_status, kSaveFailed);
    EXPECT_EQ(directory_entries(directory), before);
    EXPECT_EQ(read_file_bytes(file), old_contents);
  }
  // The missing directory was not created.
  EXPECT_FALSE(fs::exists(dir().path() + "/no"));
  EXPECT_EQ(read_file_bytes(dir().path() + "/taken/" + name + "/inside"), "kept");
  EXPECT_EQ(read_file_bytes(dir().path() + "/plain-file"), "not a directory");
}

INSTANTIATE_TEST_SUITE_P(Backends, OutputFilesTest, ::testing::ValuesIn(available_backends()),
                         backend_test_name);

}  // namespace
}  // namespace kalvynex

// The command line and the settings files end to end: the checks that end a
// run before any database work, the usage screen, and which of command line,
// kalvynex.ini, qev.ini and the built-in defaults gives each setting.
#include <iconv.h>

#include <cerrno>
#include <filesystem>
#include <optional>

#include <gtest/gtest.h>

#include "config/usage.h"
#include "tests/e2e/e2e_fixture.h"

namespace kalvynex {
namespace {

namespace fs = std::filesystem;


constexpr char kIncorrectSelect[] = "Incorrect [SELECT=] param\n";

// `utf8` in the charset `to`, converted independently of the program.
std::string iconv_from_utf8(const std::string& utf8, const char* to) {
  iconv_t cd = iconv_open(to, "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  std::string in = utf8;
  std::string out(utf8.size() * 2 + 16, '\0');
  char* in_ptr = in.data();
  size_t in_left = in.size();
  char* out_ptr = out.data();
  size_t out_left = out.size();
  const size_t result = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  iconv_close(cd);
  if (result == static_cast<size_t>(-1)) throw std::runtime_error("iconv failed");
  out.resize(out.size() - out_left);
  return out;
}

// Runs without any database: the runs here end before a connection, or fail
// it on a data source that does not exist.
class CommandLineTest : public ::testing::Test {
 protected:
  ProcessResult run(const std::vector<std::string>& arguments,
                    std::map<std::string, std::optional<std::string>> environment = {}) const {
    ProcessOptions options;
    options.environment = std::move(environment);
    options.environment.emplace("ODBCINI", dir_.path() + "/no-odbc.ini");
    options.environment.emplace("QEV", std::nullopt);
    options.environment.emplace("WINDIR", std::nullopt);
    options.environment.emplace("LC_ALL", "C.UTF-8");
    options.argument0 = dir_.path() + "/kalvynex";
    options.working_directory = dir_.path();
    return run_process(KALVYNEX_BINARY, arguments, options);
  }

  TempDir dir_;
};

TEST_F(CommandLineTest, IncompleteOrOverlongSelectEndsTheRunAtOnce) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"SELECT=ABC:BHZ:XX"},
      {"SELECT=ABC::XX:00"},  // "::" is one separator: only three codes
      {"SELECT="},
      {"SELECT=:::"},
      {"SELECT ABC:BHZ:XX:00"},
      {"ODBC=x", "OUT_DIR=/tmp", "DATE=2005"},
      // Help words only when whole.
      {"-help=1"},
      {"helpme"},
      // A code of 8 bytes is refused, not cut to another station's code.
      {"SELECT=ABCDEFGH:BHZ:XX:00"},
      {"SELECT=ABC:BHZ:XX:00000000"},
      {"SELECT=ABC:BHZ:ABCDEFGHIJKLMNOP:00"},
  };
  for (const auto& arguments : cases) {
    SCOPED_TRACE(arguments.empty() ? "(none)" : arguments[0]);
    const ProcessResult r = run(arguments);
    EXPECT_EQ(r.out, kIncorrectSelect);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exit_status, kBadSelect);
  }
}

TEST_F(CommandLineTest, CompleteSelectGoesOnToTheConnection) {
  // Seven bytes per code fit; later SELECT= parts replace earlier ones.
  const std::vector<std::vector<std::string>> cases = {
      {"SELECT=ABCDEFG:BHZ:XX:00"},
      {"select=abc:bhz:xx:00"},
      {"SELECT=:ABC:BHZ:XX:00:"},
      {"SELECT=A:B:C:D:E"},
      {"SELECT=A:B", "SELECT=X:Y:C:D"},
      {"SELECT=A:B:C:D", "SELECT=X:Y"},
  };
  for (const auto& arguments : cases) {
    SCOPED_TRACE(arguments[0]);
    const ProcessResult r = run(arguments);
    EXPECT_EQ(r.out,
              "Connecting to database: QEV\n"
              "Connection ERROR: [unixODBC][Driver Manager]Data source name not found and no "
              "default driver specified\n\n");
    EXPECT_EQ(r.exit_status, kConnectFailed);
  }
}

TEST_F(CommandLineTest, EveryHelpWordShowsTheUsageScreen) {
  const std::vector<std::vector<std::string>> cases = {
      {"--help"}, {"-help"}, {"/help"}, {"help"}, {"--h"}, {"-h"}, {"/h"}, {"--?"}, {"-?"},
      {"/?"},
      // Any letter case.
      {"--HELP"}, {"-Help"}, {"/HeLp"}, {"HELP"}, {"--H"}, {"-H"}, {"/H"},
      // Whatever comes before or after.
      {"SELECT=ABC:BHZ:XX:00", "/h"},
      {"--?", "SELECT=ABC:BHZ:XX:00"},
      {"SELECT=ABC:BHZ:XX:00", "ODBC=no_such_dsn", "-FAP", "help", "OUT_DIR=/no/such"},
      {"SELECT=ABC:BHZ", "-h"},
  };
  const std::string screen = usage_text();
  // The date form that the screen teaches is the one DATE= reads: dashes.
  EXPECT_NE(screen.find("(\xD0\x93\xD0\x93\xD0\x93\xD0\x93-\xD0\x9C\xD0\x9C-"
                        "\xD0\x94\xD0\x94 "),
            std::string::npos)
      << screen;
  for (const auto& arguments : cases) {
    SCOPED_TRACE(arguments[0]);
    const ProcessResult r = run(arguments);
    EXPECT_EQ(r.out, screen);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exit_status, 0);
  }
}

// The Russian texts reach a console in a Cyrillic single-byte charset
// converted into it. The locales are built into a private directory, since
// a test machine usually has none of them installed.
TEST_F(CommandLineTest, UsageScreenInTheCharsetOfTheLocale) {
  const std::string locales = dir_.path() + "/locales";
  fs::create_directories(locales);
  struct Case {
    const char* locale;
    const char* charmap;
  };
  const Case cases[] = {{"ru_RU.KOI8-R", "KOI8-R"},
                       {"ru_RU.CP1251", "CP1251"},
                       {"ru_RU.IBM866", "IBM866"},
                       {"ru_RU.ISO-8859-5", "ISO-8859-5"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale);
    const ProcessResult built = run_process(
        "/usr/bin/localedef", {"-i", "ru_RU", "-f", c.charmap, locales + "/" + c.locale});
    if (built.exit_status != 0) {
      GTEST_SKIP() << "cannot build the locale " << c.locale << ": " << built.err;
    }
    const ProcessResult r = run({"/?"}, {{"LOCPATH", locales}, {"LC_ALL", c.locale}});
    EXPECT_EQ(r.out, iconv_from_utf8(usage_text(), c.charmap));
    EXPECT_NE(r.out.find(iconv_from_utf8("(\xD0\x93\xD0\x93\xD0\x93\xD0\x93-\xD0\x9C\xD0\x9C-"
                                         "\xD0\x94\xD0\x94 ",
                                         c.charmap)),
              std::string::npos);
    EXPECT_EQ(r.exit_status, 0);
  }
}

// ---------------------------------------------------------------------------
// Settings, on each backend: seen through the data source that the run
// names, whether the connection succeeds and where the file goes.

class SettingsOrderTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    database().create_calibration_table();
    system_dir_ = dir().path() + "/system";
    other_out_ = dir().path() + "/other-out";
    dir().write_file("system/.keep", "");
    dir().write_file("other-out/.keep", "");
  }

  // [DATABASE] lines that reach the scratch database.
  std::string database_section(const std::string& odbc) {
    return "[DATABASE]\nODBC=" + odbc + "\nUSER=" + database().user() +
           "\nPASSWORD=" + database().password() + "\n";
  }

  void write_program_file(const std::string& text) const {
    dir().write_file("kalvynex.ini", text);
  }
  void write_system_file(const std::string& text) const {
    dir().write_file("system/qev.ini", text);
  }

  // QEV names the directory of the system file.
  ProcessOptions with_qev(const std::string& value) const {
    ProcessOptions options;
    options.environment.emplace("QEV", value);
    return options;
  }

  static std::string sac_name() { return "ABC_BHZ_XX_00_20110101.sac"; }

  std::string system_dir_;
  std::string other_out_;
};

TEST_P(SettingsOrderTest, DataSourceAndOutputDirectoryByPrecedence) {
  const std::string dsn = kDsn;
  const std::string user = "USER=" + database().user();
  const std::string password = "PASSWORD=" + database().password();
  struct Case {
    const char* what;
    std::optional<std::string> program_file;
    std::optional<std::string> system_file;
    std::vector<std::string> arguments;  // after SELECT=
    std::string file;                    // the written file
  };
  const std::string out_section = "[OUT]\nDIR=" + out_dir() + "\n";
  const std::string other_out_section = "[OUT]\nDIR=" + other_out_ + "\n";
  const Case cases[] = {
      {"program file alone", database_section(dsn) + out_section, std::nullopt, {},
       out_dir() + "/" + sac_name()},
      {"system file alone", std::nullopt, database_section(dsn) + other_out_section, {},
       other_out_ + "/" + sac_name()},
      {"program file over system file", database_section(dsn) + out_section,
       database_section("no_such_dsn") + other_out_section, {}, out_dir() + "/" + sac_name()},
      {"empty key in the program file falls through",
       "[DATABASE]\nODBC=\nUSER=\nPASSWORD=\n" + out_section,
       database_section(dsn) + other_out_section, {}, out_dir() + "/" + sac_name()},
      {"command line over program file", database_section("no_such_dsn") + out_section,
       std::nullopt, {"ODBC=" + dsn, "OUT_DIR=" + other_out_}, other_out_ + "/" + sac_name()},
      {"names on the command line in any case", database_section("no_such_dsn") + out_section,
       std::nullopt, {"odbc=" + dsn, "Out_Dir=" + other_out_}, other_out_ + "/" + sac_name()},
      {"the last of repeated parameters",
       database_section("no_such_dsn") + out_section, std::nullopt,
       {"ODBC=no_such_dsn", "ODBC=" + dsn, "OUT_DIR=/no/such", "OUT_DIR=" + other_out_},
       other_out_ + "/" + sac_name()},
      {"empty values on the command line count as not given",
       database_section(dsn) + out_section, std::nullopt, {"ODBC=", "OUT_DIR="},
       out_dir() + "/" + sac_name()},
      {"DIR=0 in the program file passes on", database_section(dsn) + "[OUT]\nDIR=0\n",
       other_out_section, {}, other_out_ + "/" + sac_name()},
      {"missing DIR in the program file passes on", database_section(dsn),
       other_out_section, {}, other_out_ + "/" + sac_name()},
      {"backslashes in OUT_DIR", database_section(dsn), std::nullopt,
       {"OUT_DIR=" + [&] {
          std::string path = out_dir();
          for (char& ch : path) ch = ch == '/' ? '\\' : ch;
          return path;
        }()},
       out_dir() + "/" + sac_name()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(dir().path() + "/kalvynex.ini");
    fs::remove(system_dir_ + "/qev.ini");
    if (c.program_file) write_program_file(*c.program_file);
    if (c.system_file) write_system_file(*c.system_file);
    std::vector<std::string> arguments = {"SELECT=ABC:BHZ:XX:00"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    // User and password are the subject of a test of their own.
    arguments.push_back(user);
    arguments.push_back(password);
    fs::remove(c.file);
    const ProcessResult r = run(arguments, with_qev(system_dir_));
    EXPECT_EQ(r.out.rfind("Connecting to database: " + dsn + "\nOK\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("OUTPUT FILENAME: " + c.file + "\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_TRUE(fs::is_regular_file(c.file));
  }
}

TEST_P(SettingsOrderTest, BuiltInDefaults) {
  // No file, no parameter: data source QEV, which the test's odbc.ini lacks.
  ProcessResult r = run({"SELECT=ABC:BHZ:XX:00"});
  EXPECT_EQ(r.out,
            "Connecting to database: QEV\n"
            "Connection ERROR: [unixODBC][Driver Manager]Data source name not found and no "
            "default driver specified\n\n");
  EXPECT_EQ(r.exit_status, kConnectFailed);

  // The output directory D:/OUT, relative here, which does not exist.
  write_program_file(database_section(kDsn));
  r = run({"SELECT=ABC:BHZ:XX:00"});
  EXPECT_NE(r.out.find("Writing data to file (D:/OUT/" + sac_name() +
                       ")\nCouldn't write to file (D:/OUT/" + sac_name() + ")\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.exit_status, kSaveFailed);
  EXPECT_FALSE(fs::exists(dir().path() + "/D:"));
}

TEST_P(SettingsOrderTest, WhereTheSystemFileIsLookedFor) {
  write_system_file(database_section(kDsn) + "[OUT]\nDIR=" + other_out_ + "\n");
  std::string backslashed = system_dir_;
  for (char& ch : backslashed) ch = ch == '/' ? '\\' : ch;
  struct Case {
    const char* what;
    std::map<std::string, std::optional<std::string>> environment;
    bool found;
  };
  const Case cases[] = {
      {"QEV", {{"QEV", system_dir_}}, true},
      {"QEV ending in a slash", {{"QEV", system_dir_ + "/"}}, true},
      {"QEV with backslashes", {{"QEV", backslashed + "\\"}}, true},
      {"WINDIR when QEV is not set", {{"WINDIR", system_dir_}}, true},
      // QEV names a directory without qev.ini: WINDIR is not tried.
      {"QEV without the file", {{"QEV", dir().path() + "/out"}, {"WINDIR", system_dir_}}, false},
      {"QEV over WINDIR", {{"QEV", system_dir_}, {"WINDIR", dir().path() + "/out"}}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProcessOptions options;
    options.environment = c.environment;
    const ProcessResult r = run({"SELECT=ABC:BHZ:XX:00"}, options);
    if (c.found) {
      EXPECT_EQ(r.out.rfind("Connecting to database: kalvynex_test\nOK\n", 0), 0u) << r.out;
      EXPECT_NE(r.out.find("OUTPUT FILENAME: " + other_out_ + "/" + sac_name()),
                std::string::npos)
          << r.out;
      EXPECT_EQ(r.exit_status, 0);
    } else {
      EXPECT_EQ(r.out.rfind("Connecting to database: QEV\nConnection ERROR: ", 0), 0u) << r.out;
      EXPECT_EQ(r.exit_status, kConnectFailed);
    }
  }
}

// A program started through PATH reads the kalvynex.ini beside the
// executable, not one in the current directory.
TEST_P(SettingsOrderTest, StartedThroughPathReadsTheFileBesideTheExecutable) {
  const std::string bin = dir().path() + "/bin";
  fs::create_directories(bin);
  fs::copy_file(KALVYNEX_BINARY, bin + "/kalvynex");
  fs::permissions(bin + "/kalvynex", fs::perms::owner_all);
  dir().write_file("bin/kalvynex.ini",
                   database_section(kDsn) + "[OUT]\nDIR=" + other_out_ + "\n");
  dir().write_file("work/kalvynex.ini",
                   database_section("no_such_dsn") + "[OUT]\nDIR=" + out_dir() + "\n");

  ProcessOptions options;
  options.argument0 = "kalvynex";
  options.working_directory = dir().path() + "/work";
  options.environment = {{"ODBCINI", dir().path() + "/odbc.ini"},
                         {"QEV", std::nullopt},
                         {"WINDIR", std::nullopt},
                         {"PATH", bin + ":/usr/bin:/bin"}};
  const ProcessResult r = run_process(bin + "/kalvynex", {"SELECT=ABC:BHZ:XX:00"}, options);
  EXPECT_EQ(r.out.rfind("Connecting to database: kalvynex_test\nOK\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("OUTPUT FILENAME: " + other_out_ + "/" + sac_name()), std::string::npos)
      << r.out;
  EXPECT_EQ(r.exit_status, 0);
}

// A server checks the password; which one is sent follows the same order.
TEST_P(SettingsOrderTest, UserAndPasswordByPrecedence) {
  if (GetParam() == Backend::SQLite) GTEST_SKIP() << "SQLite takes any password";
  const std::string user = database().user();
  const std::string good = database().password();
  const std::string wrong_section =
      "[DATABASE]\nODBC=" + std::string(kDsn) + "\nUSER=" + user + "\nPASSWORD=wrong-pw\n";
  struct Case {
    const char* what;
    std::optional<std::string> program_file;
    std::optional<std::string> system_file;
    std::vector<std::string> arguments;
    bool connects;
  };
  const Case cases[] = {
      {"wrong password in the program file", wrong_section, std::nullopt, {}, false},
      {"command line over the program file", wrong_section, std::nullopt,
       {"PASSWORD=" + good}, true},
      {"empty password in the program file falls through to the system file",
       "[DATABASE]\nODBC=" + std::string(kDsn) + "\nUSER=" + user + "\nPASSWORD=\n",
       "[DATABASE]\nPASSWORD=" + good + "\n", {}, true},
      {"program file over the system file", wrong_section, "[DATABASE]\nPASSWORD=" + good + "\n",
       {}, false},
      {"empty PASSWORD= on the command line counts as not given", wrong_section, std::nullopt,
       {"PASSWORD="}, false},
      {"user from the system file",
       "[DATABASE]\nODBC=" + std::string(kDsn) + "\nUSER=\nPASSWORD=" + good + "\n",
       "[DATABASE]\nUSER=" + user + "\n", {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(dir().path() + "/kalvynex.ini");
    fs::remove(system_dir_ + "/qev.ini");
    if (c.program_file) write_program_file(*c.program_file);
    if (c.system_file) write_system_file(*c.system_file);
    std::vector<std::string> arguments = {"SELECT=ABC:BHZ:XX:00", "OUT_DIR=" + out_dir()};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const ProcessResult r = run(arguments, with_qev(system_dir_));
    if (c.connects) {
      EXPECT_EQ(r.exit_status, 0) << r.out;
      continue;
    }
    EXPECT_EQ(r.exit_status, kConnectFailed);
    const std::string prefix =
        "Connecting to database: kalvynex_test\nConnection ERROR: [unixODBC]";
    EXPECT_EQ(r.out.rfind(prefix, 0), 0u) << r.out;
    EXPECT_NE(r.out.find(user), std::string::npos) << r.out;
    if (GetParam() == Backend::PostgreSQL) {
      EXPECT_NE(r.out.find("connection to server at"), std::string::npos) << r.out;
      EXPECT_NE(r.out.find("password authentication failed for user \"" + user + "\""),
                std::string::npos)
          << r.out;
    }
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "\n\n");
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, SettingsOrderTest, ::testing::ValuesIn(available_backends()),
                         backend_test_name);

}  // namespace
}  // namespace kalvynex

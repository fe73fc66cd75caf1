#include "config/settings.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace kalvynex {
namespace {

SettingsEnvironment environment(const std::string& program_path) {
  SettingsEnvironment env;
  env.program_path = program_path;
  return env;
}

TEST(SettingsTest, ToSlashesTurnsEveryBackslash) {
  EXPECT_EQ(to_slashes("C:\\X\\\\Y\\"), "C:/X//Y/");
  EXPECT_EQ(to_slashes("/a/b"), "/a/b");
  EXPECT_EQ(to_slashes(""), "");
}

TEST(SettingsTest, PlacesTheProgramFile) {
  struct Case {
    const char* program_path;
    const char* executable_path;
    const char* program_file;
  };
  const Case cases[] = {
      {"C:\\Tools\\kalvynex.exe", "", "C:/Tools/kalvynex.ini"},
      {"/opt/kx/bin/kalvynex", "/elsewhere/kalvynex", "/opt/kx/bin/kalvynex.ini"},
      {"./kalvynex", "", "./kalvynex.ini"},
      // Started through PATH: beside the executable, else the current
      // directory.
      {"kalvynex", "/usr/local/bin/kalvynex", "/usr/local/bin/kalvynex.ini"},
      {"kalvynex", "", "kalvynex.ini"},
      // A short last component keeps the directory of argument 0.
      {"/opt/k", "", "/opt/kalvynex.ini"},
      {"ab", "", "kalvynex.ini"},
      {"", "", "kalvynex.ini"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program_path);
    SettingsEnvironment env = environment(c.program_path);
    env.executable_path = c.executable_path;
    EXPECT_EQ(locate_settings_files(env).program_file, c.program_file);
  }
}

TEST(SettingsTest, FindsTheSystemFile) {
  TempDir with_file;
  const std::string existing = with_file.write_file("qev.ini", "[DATABASE]\n");
  TempDir without_file;
  struct Case {
    std::optional<std::string> qev;
    std::optional<std::string> windir;
    std::string expected;
  };
  const Case cases[] = {
      {with_file.path(), std::nullopt, existing},
      {with_file.path() + "/", std::nullopt, existing},
      {with_file.path() + "\\", std::nullopt, existing},
      // QEV without a qev.ini: no system file, WINDIR is not tried.
      {without_file.path(), with_file.path(), ""},
      // WINDIR is taken without a check that the file is there.
      {std::nullopt, std::string("C:\\WINDOWS"), "C:/WINDOWS/qev.ini"},
      {std::nullopt, std::string("C:\\WINDOWS\\"), "C:/WINDOWS/qev.ini"},
      {std::nullopt, std::nullopt, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.qev.value_or("(unset)") + " / " + c.windir.value_or("(unset)"));
    SettingsEnvironment env = environment("kalvynex");
    env.qev = c.qev;
    env.windir = c.windir;
    EXPECT_EQ(locate_settings_files(env).system_file, c.expected);
  }
}

// A program directory holding kalvynex.ini and a QEV directory holding
// qev.ini, each written only when its content is given.
struct Installation {
  TempDir dir;
  SettingsEnvironment env;

  Installation(const char* program_ini, const char* system_ini) {
    env.program_path = dir.path() + "/bin/kalvynex";
    env.qev = dir.path() + "/qev";
    dir.write_file("qev/placeholder", "");
    if (program_ini != nullptr) dir.write_file("bin/kalvynex.ini", program_ini);
    if (system_ini != nullptr) dir.write_file("qev/qev.ini", system_ini);
  }
};

ArgumentList command_line(std::vector<std::string> words) {
  words.insert(words.begin(), "kalvynex");
  return words;
}

TEST(SettingsTest, GathersDatabaseSettingsInOrderOfPrecedence) {
  const char* const kFullSystem =
      "[DATABASE]\nODBC=SYSDSN\nUSER=sysuser\nPASSWORD=syspass\n"
      "[DATA]\nDIR=S:\\DATA\n";
  const char* const kFullProgram =
      "[DATABASE]\nODBC=PRGDSN\nUSER=prguser\nPASSWORD=prgpass\n"
      "[DATA]\nDIR=P:\\DATA\n";
  struct Case {
    const char* name;
    const char* program_ini;
    const char* system_ini;
    std::vector<std::string> args;
    DatabaseSettings expected;
  };
  const Case cases[] = {
      {"no files, no parameters", nullptr, nullptr, {},
       {"QEV", "QEV", "QEV", "D:/DATA", false}},
      {"system file only", nullptr, kFullSystem, {},
       {"SYSDSN", "sysuser", "syspass", "S:/DATA", false}},
      {"program file wins", kFullProgram, kFullSystem, {},
       {"PRGDSN", "prguser", "prgpass", "P:/DATA", false}},
      {"command line wins", kFullProgram, kFullSystem,
       {"ODBC=MYDSN", "user=me", "PASSWORD=pw", "DATA=E:\\D"},
       {"MYDSN", "me", "pw", "E:/D", false}},
      {"empty ODBC= counts as not given", kFullProgram, kFullSystem,
       {"ODBC=X", "ODBC="}, {"PRGDSN", "prguser", "prgpass", "P:/DATA", false}},
      {"last occurrence wins", nullptr, nullptr, {"ODBC=A", "ODBC=B", "USER=u"},
       {"B", "u", "QEV", "D:/DATA", false}},
      {"empty value in the program file counts as absent",
       "[DATABASE]\nUSER=\nODBC=  \n[DATA]\nDIR=\n", kFullSystem, {},
       {"SYSDSN", "sysuser", "syspass", "S:/DATA", false}},
      {"system file without the keys gives the defaults", "[OTHER]\nODBC=x\n",
       "[OUT]\nDIR=x\n", {}, {"QEV", "QEV", "QEV", "D:/DATA", false}},
      {"empty value in the system file is taken", nullptr, "[DATABASE]\nUSER=\n", {},
       {"QEV", "", "QEV", "D:/DATA", false}},
      {"DATE= is no DATA=", nullptr, nullptr, {"DATE=2005", "SELECT=A:B:C:D"},
       {"QEV", "QEV", "QEV", "D:/DATA", false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Installation installation(c.program_ini, c.system_ini);
    const DatabaseSettings got =
        gather_settings(command_line(c.args), locate_settings_files(installation.env)).database;
    EXPECT_EQ(got.odbc, c.expected.odbc);
    EXPECT_EQ(got.user, c.expected.user);
    EXPECT_EQ(got.password, c.expected.password);
    EXPECT_EQ(got.data_dir, c.expected.data_dir);
    EXPECT_EQ(got.use_tend, c.expected.use_tend);
  }
}

TEST(SettingsTest, DecidesUseTend) {
  struct Case {
    const char* program_ini;
    const char* system_ini;
    std::vector<std::string> args;
    bool expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, {}, false},
      {"[DATABASE]\nUSE_TEND=0\n", "[DATABASE]\nUSE_TEND=1\n", {}, false},
      {"[DATABASE]\n", "[DATABASE]\nUSE_TEND=1\n", {}, true},
      {"[DATABASE]\nUSE_TEND=-1\n", "[DATABASE]\nUSE_TEND=1\n", {}, true},
      {"[DATABASE]\nUSE_TEND=2\n", "[DATABASE]\nUSE_TEND=0\n", {}, true},
      {"[DATABASE]\nUSE_TEND=-5\n", "[DATABASE]\nUSE_TEND=-7\n", {}, false},
      {"[DATABASE]\nUSE_TEND=yes\n", "[DATABASE]\nUSE_TEND=1\n", {}, false},
      {"[DATABASE]\nUSE_TEND=0\n", "[DATABASE]\nUSE_TEND=0\n", {"-use_tend"}, true},
      {"[DATABASE]\nUSE_TEND=0\n", nullptr, {"/USE_TEND"}, true},
      {nullptr, nullptr, {"-use_tendency"}, true},
      {nullptr, nullptr, {"-use_ten"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.program_ini ? c.program_ini : "(none)") + " | " +
                 (c.system_ini ? c.system_ini : "(none)") + " | " +
                 testing::PrintToString(c.args));
    Installation installation(c.program_ini, c.system_ini);
    EXPECT_EQ(gather_settings(command_line(c.args), locate_settings_files(installation.env))
                  .database.use_tend,
              c.expected);
  }
}

TEST(SettingsTest, DecidesTheTimeLimits) {
  struct Case {
    const char* program_ini;
    const char* system_ini;
    int login;
    int query;
  };
  const Case cases[] = {
      {nullptr, nullptr, 30, 300},
      {"[DATABASE]\nLOGIN_TIMEOUT=5\n", "[DATABASE]\nLOGIN_TIMEOUT=7\nQUERY_TIMEOUT=9\n", 5, 9},
      {"[DATABASE]\nLOGIN_TIMEOUT=0\nQUERY_TIMEOUT=0\n", "[DATABASE]\nQUERY_TIMEOUT=9\n", 0, 0},
      {"[DATABASE]\nLOGIN_TIMEOUT=-1\n", "[DATABASE]\nLOGIN_TIMEOUT=7\n", 7, 300},
      {"[DATABASE]\nQUERY_TIMEOUT=-1\n", "[DATABASE]\nQUERY_TIMEOUT=-4\n", 30, 300},
      {"[OUT]\nLOGIN_TIMEOUT=5\n", nullptr, 30, 300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.program_ini ? c.program_ini : "(none)") + " | " +
                 (c.system_ini ? c.system_ini : "(none)"));
    Installation installation(c.program_ini, c.system_ini);
    const DatabaseSettings got =
        gather_settings(command_line({}), locate_settings_files(installation.env)).database;
    EXPECT_EQ(got.login_timeout, c.login);
    EXPECT_EQ(got.query_timeout, c.query);
  }
}

TEST(SettingsTest, GathersTheOutputDirectory) {
  struct Case {
    const char* program_ini;
    const char* system_ini;
    std::vector<std::string> args;
    const char* expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, {}, "D:/OUT"},
      {nullptr, "[OUT]\nDIR=S:\\OUT\n", {}, "S:/OUT"},
      {"[OUT]\nDIR=P:\\OUT\n", "[OUT]\nDIR=S:\\OUT\n", {}, "P:/OUT"},
      {"[OUT]\nDIR=0\n", "[OUT]\nDIR=S:\\OUT\n", {}, "S:/OUT"},
      {"[OUT]\nDIR=\n", "[OUT]\nDIR=S:\\OUT\n", {}, ""},
      {"[OUT]\nDIR=00\n", "[OUT]\nDIR=S:\\OUT\n", {}, "00"},
      {"[OUT]\nDIR=P:\\OUT\n", nullptr, {"OUT_DIR=C:\\X\\Y"}, "C:/X/Y"},
      {"[OUT]\nDIR=P:\\OUT\n", nullptr, {"out_dir=A", "OUT_DIR=B"}, "B"},
      {"[OUT]\nDIR=P:\\OUT\n", nullptr, {"OUT_DIR=A", "OUT_DIR="}, "P:/OUT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.program_ini ? c.program_ini : "(none)") + " | " +
                 (c.system_ini ? c.system_ini : "(none)") + " | " +
                 testing::PrintToString(c.args));
    Installation installation(c.program_ini, c.system_ini);
    EXPECT_EQ(gather_settings(command_line(c.args), locate_settings_files(installation.env))
                  .output_directory,
              c.expected);
  }
}

}  // namespace
}  // namespace kalvynex

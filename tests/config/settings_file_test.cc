#include "config/settings_file.h"

#include <climits>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace kalvynex {
namespace {

constexpr char kSample[] =
    "; leading comment\n"
    "ODBC=outside any section\n"
    "[DATABASE]\n"
    "ODBC=FIRST\n"
    "odbc=SECOND\n"
    "  User  =   some user  \n"
    "# PASSWORD=commented out\n"
    "; PASSWORD=commented out too\n"
    "a line without an equals sign\n"
    "EMPTY=\n"
    "QUOTED=\"two words\"\n"
    "HALF=\"open\n"
    "EQUALS=a=b\n"
    "USE_TEND=  12abc\n"
    "BIG=99999999999\n"
    "NEG=-3\n"
    "WORD=yes\n"
    "[ Data ] trailing text\n"
    "DIR=E:\\D\r\n"
    "[DATABASE]\n"
    "PASSWORD=from the second section\n"
    "[OUT]\r\n"
    "DIR=D:\\OUT\\X\r\n";

TEST(SettingsFileTest, FindsStringValuesByTheProfileRules) {
  TempDir dir;
  const std::string path = dir.write_file("sample.ini", kSample);
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  };
  const Case cases[] = {
      {"DATABASE", "ODBC", "FIRST"},          // first occurrence wins
      {"database", "Odbc", "FIRST"},          // names without regard to case
      {"DATABASE", "USER", "some user"},      // blanks trimmed
      {"DATABASE", "PASSWORD", "dflt"},       // comments; later section unread
      {"DATABASE", "EMPTY", ""},              // present but empty
      {"DATABASE", "QUOTED", "two words"},
      {"DATABASE", "HALF", "\"open"},
      {"DATABASE", "EQUALS", "a=b"},          // split at the first "="
      {"DATABASE", "a line without an equals sign", "dflt"},
      {"DATA", "DIR", "E:\\D"},               // header text after "]" ignored
      {"OUT", "DIR", "D:\\OUT\\X"},           // CR LF line ends
      {"NOSUCH", "DIR", "dflt"},
      {"DATABASE", "NOSUCH", "dflt"},
      {"", "ODBC", "dflt"},                   // keys before any header
  };
  for (const Case& c : cases) {
    EXPECT_EQ(read_settings_string(path, c.section, c.key, "dflt"), c.expected)
        << '[' << c.section << "] " << c.key;
  }
}

TEST(SettingsFileTest, MissingFileGivesTheDefault) {
  TempDir dir;
  EXPECT_EQ(read_settings_string(dir.path() + "/none.ini", "A", "B", "d"), "d");
  EXPECT_EQ(read_settings_string("", "A", "B", "d"), "d");
  EXPECT_EQ(read_settings_int(dir.path() + "/none.ini", "A", "B", -1), -1);
  EXPECT_EQ(read_settings_int("", "A", "B", 7), 7);
}

TEST(SettingsFileTest, ReadsIntegersByTheAtoiRule) {
  TempDir dir;
  const std::string path = dir.write_file("sample.ini", kSample);
  struct Case {
    const char* key;
    int expected;
  };
  const Case cases[] = {
      {"USE_TEND", 12}, {"BIG", INT_MAX}, {"NEG", -3},
      {"WORD", 0},      {"EMPTY", 0},     {"NOSUCH", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(read_settings_int(path, "DATABASE", c.key, -1), c.expected) << c.key;
  }
}

TEST(SettingsFileTest, CutsLongValuesTo1023Bytes) {
  TempDir dir;
  const std::string long_value(5000, 'v');
  const std::string path =
      dir.write_file("long.ini", "[S]\nK=" + long_value + "\nNEXT=ok\n");
  EXPECT_EQ(read_settings_string(path, "S", "K", ""), std::string(1023, 'v'));
  EXPECT_EQ(read_settings_string(path, "S", "NEXT", ""), "ok");
}

TEST(SettingsFileTest, ByteOrderMarkDoesNotHideTheFirstSection) {
  TempDir dir;
  const std::string path = dir.write_file("bom.ini", "\xEF\xBB\xBF[S]\nK=v\n");
  EXPECT_EQ(read_settings_string(path, "S", "K", ""), "v");
}

}  // namespace
}  // namespace kalvynex

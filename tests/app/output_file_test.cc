#include "app/output_file.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace kalvynex {
namespace {

namespace fs = std::filesystem;

Timestamp date(int year, int month, int day) {
  Timestamp t;
  t.year = static_cast<int16_t>(year);
  t.month = static_cast<uint16_t>(month);
  t.day = static_cast<uint16_t>(day);
  t.hour = 12;  // the time of day never reaches the name
  t.minute = 30;
  return t;
}

std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

// Every entry of `dir` by name, hidden ones included.
std::vector<std::string> entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(OutputFileNameTest, JoinsDirectoryCodesStartDateAndExtension) {
  struct Case {
    const char* out_dir;
    ChannelSelector channel;
    Timestamp start;
    OutputKind kind;
    const char* expected;
  };
  const Case cases[] = {
      {"D:/OUT", {"ABC", "BHZ", "XX", "00"}, date(2005, 3, 1), OutputKind::Sac,
       "D:/OUT/ABC_BHZ_XX_00_20050301.sac"},
      // A final "/" is not doubled.
      {"D:/OUT/", {"ABC", "BHZ", "XX", "00"}, date(2005, 3, 1), OutputKind::Sac,
       "D:/OUT/ABC_BHZ_XX_00_20050301.sac"},
      {"/data/out", {"ABC", "BHN", "XX", "00"}, date(2011, 1, 1), OutputKind::Fap,
       "/data/out/ABC_BHN_XX_00_20110101.fap"},
      // The location "??" leaves out the location part with its "_" ...
      {"out", {"DEF", "HHZ", "XX", "??"}, date(2015, 6, 1), OutputKind::Sac,
       "out/DEF_HHZ_XX_20150601.sac"},
      {"out/", {"DEF", "HHZ", "XX", "??"}, date(2015, 6, 1), OutputKind::Fap,
       "out/DEF_HHZ_XX_20150601.fap"},
      // ... but other question marks are a location like any other.
      {"out", {"DEF", "HHZ", "XX", "?"}, date(2015, 6, 1), OutputKind::Sac,
       "out/DEF_HHZ_XX_?_20150601.sac"},
      {"out", {"DEF", "HHZ", "XX", "???"}, date(2015, 6, 1), OutputKind::Sac,
       "out/DEF_HHZ_XX_???_20150601.sac"},
      // Codes as typed, letter case included.
      {"out", {"abc", "Bhz", "xX", "0a"}, date(2005, 3, 1), OutputKind::Sac,
       "out/abc_Bhz_xX_0a_20050301.sac"},
      // An empty directory is the current one: no leading "/".
      {"", {"ABC", "BHZ", "XX", "00"}, date(2005, 3, 1), OutputKind::Sac,
       "ABC_BHZ_XX_00_20050301.sac"},
      {"", {"DEF", "HHZ", "XX", "??"}, date(2015, 6, 1), OutputKind::Fap,
       "DEF_HHZ_XX_20150601.fap"},
      {"/", {"ABC", "BHZ", "XX", "00"}, date(2005, 3, 1), OutputKind::Sac,
       "/ABC_BHZ_XX_00_20050301.sac"},
      // Years below 1000 keep four digits; month and day two.
      {"o", {"A", "B", "C", "D"}, date(999, 12, 9), OutputKind::Sac, "o/A_B_C_D_09991209.sac"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(output_file_name(c.out_dir, c.channel, c.start, c.kind), c.expected);
  }
}

TEST(ToCrlfTest, EveryLineFeedGetsACarriageReturnBeforeIt) {
  struct Case {
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"", ""},
      {"no line end", "no line end"},
      {"X\nY1\n2\n", "X\r\nY1\r\n2\r\n"},
      {"\n\n", "\r\n\r\n"},
      // A CR already there is kept as it is.
      {"a\r\nb", "a\r\r\nb"},
      {"\r", "\r"},
      {std::string("nul\0byte\n", 9), std::string("nul\0byte\r\n", 10)},
      {"\nfirst and last\n", "\r\nfirst and last\r\n"},
      {"ends without\nline feed", "ends without\r\nline feed"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(to_crlf(c.text), c.expected);
  }
}

class ReplaceFileTest : public ::testing::Test {
 protected:
  TempDir dir_;
};

TEST_F(ReplaceFileTest, CreatesTheFileWithExactlyTheContents) {
  const std::string path = dir_.path() + "/new.sac";
  const std::string contents = std::string("line 1\r\nline 2\r\n\0tail", 21);
  ASSERT_TRUE(replace_file(path, contents));
  EXPECT_EQ(read_bytes(path), contents);
  EXPECT_EQ(entries(dir_.path()), std::vector<std::string>{"new.sac"});
}

TEST_F(ReplaceFileTest, ReplacesALongerFileWhole) {
  const std::string path = dir_.write_file("old.fap", std::string(10000, 'x'));
  ASSERT_TRUE(replace_file(path, "short"));
  EXPECT_EQ(read_bytes(path), "short");
  ASSERT_TRUE(replace_file(path, ""));
  EXPECT_EQ(read_bytes(path), "");
  EXPECT_EQ(entries(dir_.path()), std::vector<std::string>{"old.fap"});
}

TEST_F(ReplaceFileTest, PermissionsFollowTheUmask) {
  struct Case {
    mode_t umask_value;
    mode_t expected;
  };
  const Case cases[] = {{022, 0644}, {077, 0600}, {002, 0664}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.umask_value);
    const std::string path = dir_.path() + "/perm.sac";
    fs::remove(path);
    const mode_t saved = ::umask(c.umask_value);
    const bool written = replace_file(path, "x");
    ::umask(saved);
    ASSERT_TRUE(written);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.expected);
  }
}

TEST_F(ReplaceFileTest, ExistingFileKeepsItsPermissionBits) {
  const std::string path = dir_.path() + "/kept.sac";
  for (const mode_t mode : {0600, 0640, 0664, 0604}) {
    SCOPED_TRACE(mode);
    dir_.write_file("kept.sac", "old");
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    const mode_t saved = ::umask(022);
    const bool written = replace_file(path, "new");
    ::umask(saved);
    ASSERT_TRUE(written);
    EXPECT_EQ(read_bytes(path), "new");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode);
  }
}

// Runs `body` in a child process without privileges (as "nobody" when this
// process is root) and gives its result.
bool unprivileged(const std::function<bool()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    ::_exit(body() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "cannot drop privileges";
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(ReplaceFileTest, FileThatMayNotBeWrittenIsLeftAlone) {
  // Anyone may create files in the directory; only the files' own
  // permissions decide.
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0777), 0);
  const std::string read_only = dir_.write_file("read-only.sac", "protected");
  const std::string writable = dir_.write_file("writable.sac", "open");
  ASSERT_EQ(::chmod(read_only.c_str(), 0444), 0);
  ASSERT_EQ(::chmod(writable.c_str(), 0666), 0);

  EXPECT_FALSE(unprivileged([&] { return replace_file(read_only, "overwritten"); }));
  EXPECT_EQ(read_bytes(read_only), "protected");
  EXPECT_TRUE(unprivileged([&] { return replace_file(writable, "replaced"); }));
  EXPECT_EQ(read_bytes(writable), "replaced");
  EXPECT_EQ(entries(dir_.path()), (std::vector<std::string>{"read-only.sac", "writable.sac"}));
}

TEST_F(ReplaceFileTest, FailureLeavesNoTraceAndNoNewDirectory) {
  // A missing directory is not created.
  EXPECT_FALSE(replace_file(dir_.path() + "/missing/sub/a.sac", "x"));
  EXPECT_FALSE(fs::exists(dir_.path() + "/missing"));

  // A directory in the way is left as it was, with what it holds.
  dir_.write_file("taken.sac/inside", "kept");
  EXPECT_FALSE(replace_file(dir_.path() + "/taken.sac", "x"));
  EXPECT_TRUE(fs::is_directory(dir_.path() + "/taken.sac"));
  EXPECT_EQ(read_bytes(dir_.path() + "/taken.sac/inside"), "kept");

  // A name component longer than the system allows.
  EXPECT_FALSE(replace_file(dir_.path() + "/" + std::string(300, 'n') + ".sac", "x"));

  // No temporary file stays behind in any of these cases.
  EXPECT_EQ(entries(dir_.path()), std::vector<std::string>{"taken.sac"});
}

TEST(WriteOutputFileTest, NameLongerThanTheLimitIsRefused) {
  TempDir dir;
  CalibrationRecord record;
  record.sta = "ABC";
  record.chan = "BHZ";
  record.network = "XX";
  record.location = "00";
  record.startdate = date(2011, 1, 1);
  record.enddate.year = -1;
  record.sac = "ZEROS 0|";

  // Nested directories so that the name itself is fine for the system but
  // longer than the limit by one byte; the name of exactly the limit works.
  const std::string leaf = "/f.sac";
  std::string deep = dir.path();
  while (deep.size() + 1 + 100 + leaf.size() <= kMaxFileNameLength) {
    deep += "/" + std::string(100, 'd');
  }
  const std::size_t missing = kMaxFileNameLength - deep.size() - leaf.size();
  ASSERT_GE(missing, 2u);
  deep += "/" + std::string(missing - 1, 'e');
  fs::create_directories(deep);
  const std::string at_limit = deep + leaf;
  ASSERT_EQ(at_limit.size(), kMaxFileNameLength);
  EXPECT_TRUE(write_output_file(at_limit, OutputKind::Sac, record, "GSE2"));
  EXPECT_TRUE(fs::exists(at_limit));

  const std::string over_limit = deep + "/ff.sac";
  ASSERT_EQ(over_limit.size(), kMaxFileNameLength + 1);
  EXPECT_FALSE(write_output_file(over_limit, OutputKind::Sac, record, "GSE2"));
  EXPECT_FALSE(fs::exists(over_limit));
}

}  // namespace
}  // namespace kalvynex

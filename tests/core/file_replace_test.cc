#include "core/file_replace.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace kalvynex {
namespace {

namespace fs = std::filesystem;

class ReplaceFileTest : public ::testing::Test {
 protected:
  TempDir dir_;
};

TEST_F(ReplaceFileTest, CreatesTheFileWithExactlyTheContents) {
  const std::string path = dir_.path() + "/new.sac";
  const std::string contents = std::string("line 1\r\nline 2\r\n\0tail", 21);
  ASSERT_TRUE(replace_file(path, contents).ok());
  EXPECT_EQ(read_file_bytes(path), contents);
  EXPECT_EQ(directory_entries(dir_.path()), std::vector<std::string>{"new.sac"});
}

TEST_F(ReplaceFileTest, ReplacesALongerFileWhole) {
  const std::string path = dir_.write_file("old.fap", std::string(10000, 'x'));
  ASSERT_TRUE(replace_file(path, "short").ok());
  EXPECT_EQ(read_file_bytes(path), "short");
  ASSERT_TRUE(replace_file(path, "").ok());
  EXPECT_EQ(read_file_bytes(path), "");
  EXPECT_EQ(directory_entries(dir_.path()), std::vector<std::string>{"old.fap"});
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
    const bool written = replace_file(path, "x").ok();
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
    const bool written = replace_file(path, "new").ok();
    ::umask(saved);
    ASSERT_TRUE(written);
    EXPECT_EQ(read_file_bytes(path), "new");
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

  EXPECT_FALSE(unprivileged([&] { return replace_file(read_only, "overwritten").ok(); }));
  EXPECT_EQ(read_file_bytes(read_only), "protected");
  EXPECT_TRUE(unprivileged([&] { return replace_file(writable, "replaced").ok(); }));
  EXPECT_EQ(read_file_bytes(writable), "replaced");
  EXPECT_EQ(directory_entries(dir_.path()), (std::vector<std::string>{"read-only.sac", "writable.sac"}));
}

TEST_F(ReplaceFileTest, FailureLeavesNoTraceAndNoNewDirectory) {
  // A missing directory is not created.
  EXPECT_FALSE(replace_file(dir_.path() + "/missing/sub/a.sac", "x").ok());
  EXPECT_FALSE(fs::exists(dir_.path() + "/missing"));

  // A directory in the way is left as it was, with what it holds.
  dir_.write_file("taken.sac/inside", "kept");
  EXPECT_FALSE(replace_file(dir_.path() + "/taken.sac", "x").ok());
  EXPECT_TRUE(fs::is_directory(dir_.path() + "/taken.sac"));
  EXPECT_EQ(read_file_bytes(dir_.path() + "/taken.sac/inside"), "kept");

  // A name component longer than the system allows.
  EXPECT_FALSE(replace_file(dir_.path() + "/" + std::string(300, 'n') + ".sac", "x").ok());

  // No temporary file stays behind in any of these cases.
  EXPECT_EQ(directory_entries(dir_.path()), std::vector<std::string>{"taken.sac"});
}

}  // namespace
}  // namespace kalvynex

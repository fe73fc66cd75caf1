// The password file: its first line, and only from a regular file of at
// most 4 KiB; anything else is refused without blocking or reading on.
#include "inventory/password_file.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "inventory/inventory.h"
#include "tests/support/temp_dir.h"

namespace kalvynex {
namespace {

TEST(PasswordFileTest, FirstLineOfASmallRegularFileOnly) {
  TempDir dir;
  const std::string fifo = dir.path() + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string at_limit(kMaxPasswordFileBytes, 'p');
  const std::string over = dir.write_file("over", at_limit + "\n");
  const struct {
    std::string path;
    std::string password;  // when read
    std::string error;     // else
  } rows[] = {
      {dir.write_file("two", "secret\nsecond line\n"), "secret", ""},
      {dir.write_file("crlf", "se cret\r\n"), "se cret", ""},
      {dir.write_file("bare", "secret"), "secret", ""},
      {dir.write_file("empty", ""), "", ""},
      {dir.write_file("at-limit", at_limit), at_limit, ""},
      {over, "", "cannot read the password file " + over + ": larger than 4096 bytes"},
      {fifo, "", "cannot read the password file " + fifo + ": not a regular file"},
      {"/dev/zero", "", "cannot read the password file /dev/zero: not a regular file"},
      {dir.path(), "", "cannot read the password file " + dir.path() + ": not a regular file"},
      {dir.path() + "/none", "",
       "cannot read the password file " + dir.path() + "/none: No such file or directory"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    std::string password = "unchanged";
    std::string error;
    EXPECT_EQ(read_password_file(row.path, &password, &error), row.error.empty());
    EXPECT_EQ(error, row.error);
    EXPECT_EQ(password, row.error.empty() ? row.password : "unchanged");
  }
}

// The run ends with a usage error before it connects.
TEST(PasswordFileTest, UnreadableFileIsAUsageError) {
  InventoryOptions options;
  options.command = InventoryCommand::kList;
  options.password_file = "/dev/zero";
  InventoryEnvironment env;
  std::FILE* out = std::tmpfile();
  env.out = fileno(out);
  env.err = std::tmpfile();
  EXPECT_EQ(run_inventory(options, env), InventoryExit::kUsage);
  std::rewind(env.err);
  char text[256] = {};
  const std::size_t n = std::fread(text, 1, sizeof text - 1, env.err);
  EXPECT_EQ(std::string(text, n),
            "kalvynex-inventory: cannot read the password file /dev/zero: not a regular file\n");
  std::fclose(out);
  std::fclose(env.err);
}

}  // namespace
}  // namespace kalvynex

#include "app/output_file.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace kalvynex {
namespace {

namespace fs = std::filesystem;

TEST(WriteOutputFileTest, NameLongerThanTheLimitIsRefused) {
  TempDir dir;
  CalibrationRecord record;
  record.codes = select_codes("ABC", "BHZ", "XX", "00");
  record.startdate = Timestamp::at(2011, 1, 1);
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
  EXPECT_TRUE(write_output_file(at_limit, record, resolve_output_request(OutputKind::Sac, "GSE2")));
  EXPECT_TRUE(fs::exists(at_limit));

  const std::string over_limit = deep + "/ff.sac";
  ASSERT_EQ(over_limit.size(), kMaxFileNameLength + 1);
  EXPECT_FALSE(write_output_file(over_limit, record, resolve_output_request(OutputKind::Sac, "GSE2")));
  EXPECT_FALSE(fs::exists(over_limit));
}

}  // namespace
}  // namespace kalvynex

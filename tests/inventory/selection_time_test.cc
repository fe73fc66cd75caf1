// The time forms of --time, --start and --end, each limit pinned on both
// sides.
#include "inventory/selection_time.h"

#include <string>

#include <gtest/gtest.h>

namespace kalvynex {
namespace {

TEST(SelectionTimeTest, ReadsTheFdsnForms) {
  const struct {
    const char* text;
    const char* time;  // nullptr: refused
    uint32_t fraction;
  } rows[] = {
      {"2020-01-02", "2020-01-02T00:00:00", 0},
      {"2020-01-02Z", nullptr, 0},
      {"2020-01-02T", nullptr, 0},
      {"2020-01-02T03", nullptr, 0},
      {"2020-01-02T03:", nullptr, 0},
      {"2020-01-02T03:04", "2020-01-02T03:04:00", 0},
      {"2020-01-02 03:04", "2020-01-02T03:04:00", 0},
      {"2020-01-02t03:04", nullptr, 0},
      {"2020-01-02T03:04Z", "2020-01-02T03:04:00", 0},
      {"2020-01-02T03:04:", nullptr, 0},
      {"2020-01-02T03:04:5", nullptr, 0},
      {"2020-01-02T03:04:05", "2020-01-02T03:04:05", 0},
      {"2020-01-02 03:04:05Z", "2020-01-02T03:04:05", 0},
      {"2020-01-02T03:04:05z", nullptr, 0},
      {"2020-01-02T03:04:05ZZ", nullptr, 0},
      {"2020-01-02T03:04:05+00:00", nullptr, 0},
      {"2020-01-02T03:04:05.", nullptr, 0},
      {"2020-01-02T03:04:05.5", "2020-01-02T03:04:05", 500000000},
      {"2020-01-02T03:04:05.000001Z", "2020-01-02T03:04:05", 1000},
      {"2020-01-02T03:04:05.999999", "2020-01-02T03:04:05", 999999000},
      {"2020-01-02T03:04:05.0000001", nullptr, 0},
      {"2020-01-02T03:04:05.5x", nullptr, 0},
      {"2020-01-02T03:04:05.-5", nullptr, 0},
      {"2020-01-02T03:04:05 ", nullptr, 0},
      {"2020-01-02T23:59:59", "2020-01-02T23:59:59", 0},
      {"2020-01-02T24:00", nullptr, 0},
      {"2020-01-02T24:00:00", nullptr, 0},
      {"2020-01-02T23:60", nullptr, 0},
      {"2020-01-02T23:59:60", nullptr, 0},
      {"2020-02-29", "2020-02-29T00:00:00", 0},
      {"2019-02-29", nullptr, 0},
      {"2000-02-29", "2000-02-29T00:00:00", 0},
      {"2100-02-29", nullptr, 0},
      {"2020-04-31", nullptr, 0},
      {"2020-13-01", nullptr, 0},
      {"0000-01-01", nullptr, 0},
      {"0001-01-01", "0001-01-01T00:00:00", 0},
      {"9999-12-31T23:59:59.999999Z", "9999-12-31T23:59:59", 999999000},
      {"10000-01-01", nullptr, 0},
      {"2020-1-02", nullptr, 0},
      {"", nullptr, 0},
      {"Z", nullptr, 0},
  };
  for (const auto& row : rows) {
    Timestamp time;
    time.fraction = 7;
    const bool read = parse_selection_time(row.text, &time);
    EXPECT_EQ(read, row.time != nullptr) << row.text;
    if (read && row.time != nullptr) {
      EXPECT_EQ(timestamp_iso_text(time), row.time) << row.text;
      EXPECT_EQ(time.fraction, row.fraction) << row.text;
    }
  }
}

}  // namespace
}  // namespace kalvynex

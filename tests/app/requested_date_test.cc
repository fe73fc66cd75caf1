#include "app/requested_date.h"

#include <gtest/gtest.h>

namespace kalvynex {
namespace {

TEST(ParseRequestedDateTest, ReadsAsFarAsTheTextMatches) {
  struct Case {
    const char* text;
    Timestamp expected;
  };
  const Case cases[] = {
      {"2005", {2005, 1, 1, 0, 0, 0, 0}},
      {"2005-07", {2005, 7, 1, 0, 0, 0, 0}},
      {"2005-07-15", {2005, 7, 15, 0, 0, 0, 0}},
      {"2005-07-15 12:30", {2005, 7, 15, 12, 30, 0, 0}},
      {"2005-07-1512:30", {2005, 7, 15, 12, 30, 0, 0}},
      {"2005-07-15 \t 12:30:45", {2005, 7, 15, 12, 30, 45, 0}},
      {"2005-00-00", {2005, 1, 1, 0, 0, 0, 0}},
      {"2005:07:15", {2005, 1, 1, 0, 0, 0, 0}},
      {"20050715", {2005, 1, 1, 0, 0, 0, 0}},  // the year takes 4 digits only
      {"2005-7-5 1:2:3", {2005, 7, 5, 1, 2, 3, 0}},
      {"2005-13-01", {2005, 12, 1, 0, 0, 0, 0}},   // month clamped
      {"2005--1-01", {2005, 12, 1, 0, 0, 0, 0}},   // a negative month too
      {"abcd", {0, 1, 1, 0, 0, 0, 0}},             // year 0: no date
      {"", {0, 1, 1, 0, 0, 0, 0}},
      {"-999", {-999, 1, 1, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Timestamp t = parse_requested_date(c.text);
    EXPECT_EQ(t.year, c.expected.year);
    EXPECT_EQ(t.month, c.expected.month);
    EXPECT_EQ(t.day, c.expected.day);
    EXPECT_EQ(t.hour, c.expected.hour);
    EXPECT_EQ(t.minute, c.expected.minute);
    EXPECT_EQ(t.second, c.expected.second);
    EXPECT_EQ(t.fraction, 0u);
  }
}

}  // namespace
}  // namespace kalvynex

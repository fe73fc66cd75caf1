#include "core/calibration_record.h"

#include <gtest/gtest.h>

namespace kalvynex {
namespace {

TEST(IsLeapYearTest, FollowsTheGregorianRule) {
  struct Case {
    int year;
    bool leap;
  };
  const Case cases[] = {{2000, true}, {1900, false}, {2004, true}, {2005, false},
                        {2100, false}, {2400, true}, {1600, true}, {1970, false}};
  for (const Case& c : cases) EXPECT_EQ(is_leap_year(c.year), c.leap) << c.year;
}

TEST(IsCalendarTimeTest, AcceptsOnlyRealTimes) {
  EXPECT_TRUE(is_calendar_time(Timestamp::at(2024, 2, 29, 23, 59, 59)));
  EXPECT_TRUE(is_calendar_time(Timestamp::at(1, 1, 1)));
  EXPECT_TRUE(is_calendar_time(Timestamp::at(2000, 2, 29)));
  EXPECT_FALSE(is_calendar_time(Timestamp::at(1900, 2, 29)));
  EXPECT_FALSE(is_calendar_time(Timestamp::at(2023, 2, 29)));
  EXPECT_FALSE(is_calendar_time(Timestamp::at(2023, 4, 31)));
  EXPECT_FALSE(is_calendar_time(Timestamp::at(2023, 13, 1)));
  EXPECT_FALSE(is_calendar_time(Timestamp::at(2023, 0, 1)));
  EXPECT_FALSE(is_calendar_time(Timestamp::at(2023, 1, 0)));
  EXPECT_FALSE(is_calendar_time(Timestamp::at(2023, 1, 1, 24)));
  EXPECT_FALSE(is_calendar_time(Timestamp::at(2023, 1, 1, 0, 60)));
  EXPECT_FALSE(is_calendar_time(Timestamp::at(2023, 1, 1, 0, 0, 60)));
  EXPECT_FALSE(is_calendar_time(Timestamp{}));  // the NULL start
  EXPECT_FALSE(is_calendar_time(Timestamp::at(-1, 1, 1)));
}

TEST(TimestampSecondsTest, CountsFromTheEpoch) {
  EXPECT_EQ(timestamp_seconds(1970, 1, 1, 0, 0, 0), 0.0);
  EXPECT_EQ(timestamp_seconds(1970, 1, 2, 0, 0, 1), 86401.0);
  EXPECT_EQ(timestamp_seconds(2005, 3, 1, 12, 30, 0), 1109680200.0);
  EXPECT_EQ(timestamp_seconds(2038, 1, 19, 3, 14, 8), 2147483648.0);
}

TEST(TimestampSecondsTest, LeapDaysFallInTheRightYears) {
  const double day = 86400.0;
  EXPECT_EQ(timestamp_seconds(2000, 3, 1, 0, 0, 0) - timestamp_seconds(2000, 2, 29, 0, 0, 0), day);
  EXPECT_EQ(timestamp_seconds(1900, 3, 1, 0, 0, 0) - timestamp_seconds(1900, 2, 28, 0, 0, 0), day);
  EXPECT_EQ(timestamp_seconds(2001, 1, 1, 0, 0, 0) - timestamp_seconds(2000, 1, 1, 0, 0, 0),
            366 * day);
  EXPECT_EQ(timestamp_seconds(2101, 1, 1, 0, 0, 0) - timestamp_seconds(2100, 1, 1, 0, 0, 0),
            365 * day);
}

TEST(TimestampSecondsTest, OrdersTimesLikeTheCalendar) {
  // The record choice only compares; neighbours must keep their order.
  const Timestamp earlier{2010, 12, 31, 23, 59, 59, 0};
  const Timestamp later{2011, 1, 1, 0, 0, 0, 0};
  EXPECT_LT(timestamp_seconds(earlier), timestamp_seconds(later));
  EXPECT_EQ(timestamp_seconds(later) - timestamp_seconds(earlier), 1.0);
}

TEST(TimestampSecondsTest, YearsBeforeTheEpochKeepTheirOrder) {
  // Each new year begins one second after the old one ends, before 1970 too.
  for (int year = 1890; year <= 1975; ++year) {
    SCOPED_TRACE(year);
    EXPECT_EQ(timestamp_seconds(year + 1, 1, 1, 0, 0, 0) -
                  timestamp_seconds(year, 12, 31, 23, 59, 59),
              1.0);
  }
  EXPECT_EQ(timestamp_seconds(1969, 1, 1, 0, 0, 0), -365 * 86400.0);
  EXPECT_EQ(timestamp_seconds(1968, 1, 1, 0, 0, 0), -731 * 86400.0);
}

TEST(TimestampSecondsTest, MonthOutOfRangeIsClampedNotReadPastTheTable) {
  EXPECT_EQ(timestamp_seconds(2005, 0, 1, 0, 0, 0), timestamp_seconds(2005, 1, 1, 0, 0, 0));
  EXPECT_EQ(timestamp_seconds(2005, 65535, 1, 0, 0, 0), timestamp_seconds(2005, 12, 1, 0, 0, 0));
}

}  // namespace
}  // namespace kalvynex

namespace kalvynex {
namespace {

TEST(CeilingSecondTest, RoundsAFractionUpWithEveryCarry) {
  const struct {
    Timestamp in;
    uint32_t fraction;
    std::string out;
  } rows[] = {
      {Timestamp::at(2020, 5, 6, 7, 8, 9), 0, "2020-05-06T07:08:09"},
      {Timestamp::at(2020, 5, 6, 7, 8, 9), 1, "2020-05-06T07:08:10"},
      {Timestamp::at(2020, 5, 6, 7, 8, 59), 500000000, "2020-05-06T07:09:00"},
      {Timestamp::at(2020, 5, 6, 7, 59, 59), 999999999, "2020-05-06T08:00:00"},
      {Timestamp::at(2020, 5, 6, 23, 59, 59), 500000000, "2020-05-07T00:00:00"},
      {Timestamp::at(2020, 2, 28, 23, 59, 59), 1000, "2020-02-29T00:00:00"},
      {Timestamp::at(2020, 2, 29, 23, 59, 59), 1000, "2020-03-01T00:00:00"},
      {Timestamp::at(2100, 2, 28, 23, 59, 59), 1000, "2100-03-01T00:00:00"},
      {Timestamp::at(2000, 2, 28, 23, 59, 59), 1000, "2000-02-29T00:00:00"},
      {Timestamp::at(2020, 4, 30, 23, 59, 59), 1000, "2020-05-01T00:00:00"},
      {Timestamp::at(2020, 12, 31, 23, 59, 59), 1000, "2021-01-01T00:00:00"},
      {Timestamp::at(9999, 12, 31, 23, 59, 58), 1000, "9999-12-31T23:59:59"},
      {Timestamp::at(9999, 12, 31, 23, 59, 59), 500000000, "9999-12-31T23:59:59"},
  };
  for (const auto& row : rows) {
    Timestamp in = row.in;
    in.fraction = row.fraction;
    const Timestamp up = ceiling_second(in);
    EXPECT_EQ(timestamp_iso_text(up), row.out) << timestamp_iso_text(in) << "." << row.fraction;
    EXPECT_EQ(up.fraction, 0u);
  }
}

}  // namespace
}  // namespace kalvynex

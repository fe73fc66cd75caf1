// The rules by which both programs read a CALIBRATION row, as plain
// functions of a buffer and its NULL indicator; and the form in which every
// diagnostic record of a failed call reaches the message.
#include "db/calibration_row.h"

#include <gtest/gtest.h>

#include <string>

#include "db/odbc_handle.h"

namespace kalvynex {
namespace {

SQL_TIMESTAMP_STRUCT odbc_time(int year, int month, int day, int hour, int minute, int second,
                               unsigned fraction = 0) {
  SQL_TIMESTAMP_STRUCT t{};
  t.year = static_cast<SQLSMALLINT>(year);
  t.month = static_cast<SQLUSMALLINT>(month);
  t.day = static_cast<SQLUSMALLINT>(day);
  t.hour = static_cast<SQLUSMALLINT>(hour);
  t.minute = static_cast<SQLUSMALLINT>(minute);
  t.second = static_cast<SQLUSMALLINT>(second);
  t.fraction = fraction;
  return t;
}

std::string text(const Timestamp& t) { return timestamp_text(t); }

// A NULL column's buffer may hold anything (the SQLite driver leaves partial
// numbers there); none of it may show through.
const SQL_TIMESTAMP_STRUCT kLeftOver = odbc_time(2016, 2, 30, 7, 8, 9, 5);
const SQL_TIMESTAMP_STRUCT kEndOfTime = odbc_time(9999, 12, 31, 23, 59, 59);

TEST(CalibrationRowTest, EachDateColumnReadsItsValueOrItsNullRule) {
  enum class Column { kStart, kEnd, kLoad };
  struct Case {
    const char* what;
    Column column;
    SQL_TIMESTAMP_STRUCT value;
    SQLLEN indicator;
    std::string expected;  // timestamp_text of the result
  };
  const Case cases[] = {
      {"NULL start: all zero", Column::kStart, kLeftOver, SQL_NULL_DATA, "0000-00-00 00:00:00"},
      {"the end of time as a start stays", Column::kStart, kEndOfTime, 0, "9999-12-31 23:59:59"},
      {"start, fraction dropped", Column::kStart, odbc_time(2010, 1, 1, 0, 0, 0, 500000000), 19,
       "2010-01-01 00:00:00"},
      {"NULL end: open", Column::kEnd, kLeftOver, SQL_NULL_DATA, "-001-00-00 00:00:00"},
      {"the end of time: open", Column::kEnd, kEndOfTime, 0, "-001-00-00 00:00:00"},
      {"the end of time with a fraction: open", Column::kEnd,
       odbc_time(9999, 12, 31, 23, 59, 59, 999999000), 0, "-001-00-00 00:00:00"},
      {"a second before: an end", Column::kEnd, odbc_time(9999, 12, 31, 23, 59, 58), 0,
       "9999-12-31 23:59:58"},
      {"a day before: an end", Column::kEnd, odbc_time(9999, 12, 30, 23, 59, 59), 0,
       "9999-12-30 23:59:59"},
      {"a minute before: an end", Column::kEnd, odbc_time(9999, 12, 31, 23, 58, 59), 0,
       "9999-12-31 23:58:59"},
      {"year 9998: an end", Column::kEnd, odbc_time(9998, 12, 31, 23, 59, 59), 0,
       "9998-12-31 23:59:59"},
      {"an ordinary end", Column::kEnd, odbc_time(2020, 1, 1, 0, 0, 0), 0, "2020-01-01 00:00:00"},
      {"NULL load date", Column::kLoad, kLeftOver, SQL_NULL_DATA, "-001-00-00 00:00:00"},
      {"the end of time as a load date stays", Column::kLoad, kEndOfTime, 0,
       "9999-12-31 23:59:59"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Timestamp t = c.column == Column::kStart ? row_start_date(c.value, c.indicator)
                        : c.column == Column::kEnd ? row_end_date(c.value, c.indicator)
                                                   : row_load_date(c.value, c.indicator);
    EXPECT_EQ(text(t), c.expected);
    EXPECT_EQ(t.fraction, 0u);
  }
  EXPECT_TRUE(is_open_end(row_end_date(kEndOfTime, 0)));
  EXPECT_FALSE(is_open_end(row_end_date(odbc_time(9999, 12, 31, 23, 59, 58), 0)));
}

TEST(CalibrationRowTest, DatesOfAChosenRowMustBeCalendarTimes) {
  struct Case {
    Timestamp start;
    bool start_is_null;
    Timestamp end;
    std::string failure;  // empty: accepted
  };
  const Timestamp open = null_date();
  const Case cases[] = {
      {Timestamp::at(2016, 2, 29), false, open, ""},
      {Timestamp::at(2015, 2, 29), false, open, "STARTDATE holds no valid date: 2015-02-29 00:00:00"},
      {Timestamp::at(2000, 2, 29), false, open, ""},
      {Timestamp::at(1900, 2, 29), false, open, "STARTDATE holds no valid date: 1900-02-29 00:00:00"},
      {Timestamp::at(2010, 4, 31), false, open, "STARTDATE holds no valid date: 2010-04-31 00:00:00"},
      {Timestamp::at(2010, 1, 1, 23, 59, 59), false, open, ""},
      {Timestamp::at(2010, 1, 1, 24, 0, 0), false, open, "STARTDATE holds no valid date: 2010-01-01 24:00:00"},
      {Timestamp::at(1, 1, 1), false, open, ""},
      {Timestamp::at(0, 1, 1), false, open, "STARTDATE holds no valid date: 0000-01-01 00:00:00"},
      {Timestamp::at(9999, 12, 31, 23, 59, 59), false, open, ""},
      // A NULL start (all zero) is no stored date and passes.
      {Timestamp(), true, open, ""},
      {Timestamp(), false, open, "STARTDATE holds no valid date: 0000-00-00 00:00:00"},
      // Ends: year 1 and later must be calendar times; year 0 and below are
      // open, whatever else they hold.
      {Timestamp::at(2010, 1, 1), false, Timestamp::at(2010, 12, 31), ""},
      {Timestamp::at(2010, 1, 1), false, Timestamp::at(2010, 13, 1),
       "ENDDATE holds no valid date: 2010-13-01 00:00:00"},
      {Timestamp::at(2010, 1, 1), false, Timestamp::at(2011, 2, 29),
       "ENDDATE holds no valid date: 2011-02-29 00:00:00"},
      {Timestamp::at(2010, 1, 1), false, Timestamp::at(1, 0, 1),
       "ENDDATE holds no valid date: 0001-00-01 00:00:00"},
      {Timestamp::at(2010, 1, 1), false, Timestamp::at(0, 13, 40), ""},
      {Timestamp::at(2015, 2, 29), false, Timestamp::at(2010, 13, 1),
       "STARTDATE holds no valid date: 2015-02-29 00:00:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(text(c.start) + " / " + text(c.end));
    const Status status = check_row_dates(c.start, c.start_is_null, c.end);
    EXPECT_EQ(status.text(), c.failure);
    EXPECT_EQ(status.stage(), c.failure.empty() ? Stage::kNone : Stage::kLoad);
  }
}

TEST(OdbcDiagnosticTest, EveryRecordIsKeptAfterTheFirst) {
  struct Record {
    const char* sqlstate;
    const char* text;
  };
  struct Case {
    std::vector<Record> records;
    std::string sqlstate, text;
  };
  const Case cases[] = {
      {{}, "", ""},
      // One record stays exactly as the driver wrote it, line ends included.
      {{{"08001", "refused\n\tIs the server running?\n"}},
       "08001", "refused\n\tIs the server running?\n"},
      {{{"HY000", "first\r\n"}, {"01000", "second\n"}, {"HY001", "third"}},
       "HY000", "first\n[01000] second\n[HY001] third"},
      {{{"42P01", ""}, {"08S01", "lost"}}, "42P01", "\n[08S01] lost"},
  };
  for (const Case& c : cases) {
    OdbcDiagnostic diagnostic;
    for (const Record& r : c.records) append_diagnostic_record(r.sqlstate, r.text, &diagnostic);
    EXPECT_EQ(diagnostic.sqlstate, c.sqlstate);
    EXPECT_EQ(diagnostic.text, c.text);
  }
}

}  // namespace
}  // namespace kalvynex

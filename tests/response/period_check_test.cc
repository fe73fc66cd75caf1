#include "response/period_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/string_printf.h"
#include "response/pole_zero.h"

namespace kalvynex {
namespace {

constexpr const char* kSac =
    "ZEROS 2|POLES 4|-0.0370 0.0370|-0.0370 -0.0370|-222.1 222.1|-222.1 -222.1|"
    "CONSTANT 5.92e+13|";

// The FAP text that the pole zeros describe, amplitudes scaled by `scale`
// at each frequency (1: the same instrument).
std::string fap_of(const std::string& sac, const std::vector<double>& frequencies,
                   double (*scale)(double)) {
  PoleZeroResponse pz;
  std::vector<PoleZeroProblem> problems;
  EXPECT_TRUE(parse_pole_zero(sac, &pz, &problems));
  std::string text;
  for (const double f : frequencies) {
    text += string_printf("%g %.9g 0.5|", f, 1e6 / std::abs(evaluate_pole_zero(pz, f)) * scale(f));
  }
  return text;
}

const std::vector<double> kFrequencies = {0.01, 0.1, 1, 5, 20};
double same(double) { return 1.0; }
// 20 log10(2 pi 20) = 41.98 dB at 20 Hz, the largest.
double by_angular_frequency(double f) { return 1.0 / (2 * M_PI * f); }
double slightly(double f) { return f == 5 ? 1.06 : 1.0; }  // 20 log10(1.06) = 0.506 dB

struct Row {
  const char* channel;  // NET.STA.LOC.CHA
  Timestamp start, end;
  std::string sac, fap;
};

CalibrationRecord record(const Row& row) {
  CalibrationRecord r;
  const std::string c = row.channel;
  const auto d1 = c.find('.'), d2 = c.find('.', d1 + 1), d3 = c.find('.', d2 + 1);
  r.codes.network = c.substr(0, d1);
  r.codes.sta = c.substr(d1 + 1, d2 - d1 - 1);
  r.codes.location = c.substr(d2 + 1, d3 - d2 - 1);
  r.codes.chan = c.substr(d3 + 1);
  r.startdate = row.start;
  r.enddate = row.end;
  r.sac = row.sac;
  r.fap = row.fap;
  return r;
}

std::vector<std::string> check_all(const std::vector<Row>& rows, double tolerance) {
  PeriodChecker checker(tolerance);
  std::vector<Finding> findings;
  for (const Row& row : rows) checker.check(record(row), &findings);
  std::vector<std::string> lines;
  for (const Finding& f : findings) lines.push_back(finding_text(f));
  return lines;
}

Timestamp at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return Timestamp::at(y, mo, d, h, mi, s);
}
const Timestamp kOpen{-1};

// One table with every kind of finding, and periods that must give none.
TEST(PeriodCheckTest, FindsEveryKindAndNothingElse) {
  const std::string good = fap_of(kSac, kFrequencies, same);
  Timestamp before_christ = at(1, 1, 1);
  before_christ.year = -1;  // PostgreSQL's 0001-01-01 BC
  Timestamp february_30 = at(2016, 2, 30);
  const std::vector<Row> rows = {
      // Clean: consistent texts, periods one after the other (both ends count).
      {"XX.ABC.00.BHZ", at(2001, 1, 1), at(2005, 2, 28, 23, 59, 59), kSac, good},
      {"XX.ABC.00.BHZ", at(2005, 3, 1), at(2005, 12, 31), kSac, ""},
      {"XX.ABC.00.BHZ", at(2005, 12, 31), at(2006, 6, 30), "", good},  // starts when the last ends
      {"XX.ABC.00.BHZ", at(2006, 5, 1), at(2006, 5, 2), kSac, good},   // inside the last
      {"XX.ABC.00.BHZ", at(2007, 1, 1), at(2006, 12, 31), kSac, good},  // END before START
      {"XX.ABC.00.BHZ", at(2008, 1, 1), kOpen, kSac, good},
      {"XX.ABC.00.BHZ", at(2010, 1, 1), at(2011, 1, 1), kSac, good},  // the open one still holds
      // Another channel starts afresh.
      {"XX.ABC.00.BHN", at(2009, 1, 1), kOpen, kSac, good},
      {"XX.ABC.00.BHN", at(2010, 1, 1), at(2009, 1, 1), "", ""},  // order and empty
      {"XX.ABC.10.BHN", at(0, 0, 0), kOpen, kSac, good},  // a start the driver could not read
      {"XX.ABC.10.BHN", february_30, at(2016, 3, 1), kSac, good},
      {"XX.ABC.10.BHN", at(2017, 1, 1), before_christ, kSac, good},
      {"XX.ABC.10.BHN", at(2018, 1, 1), at(2018, 13, 1), kSac, good},
      // Texts.
      {"XX.DEF..HHZ", at(2015, 6, 1), at(2015, 12, 31), "", ""},
      {"XX.DEF..HHZ", at(2016, 1, 1), at(2016, 1, 2), "ZEROS 2|POLES 1|-1 1|-2 2|CONSTANT 1|", ""},
      {"XX.DEF..HHZ", at(2016, 2, 1), at(2016, 2, 2), "ZEROS 2|POLES 1|-1 1|", ""},
      {"XX.DEF..HHZ", at(2016, 3, 1), at(2016, 3, 2), "",
       "0.1 2 3|-1 2 3||1 0 3|x|7|2 5 1|1.5 1 1\n1 1 1|"},
      {"XX.DEF..HHZ", at(2016, 4, 1), at(2016, 4, 2), "", "1 2 3|"},
      {"XX.DEF..HHZ", at(2016, 5, 1), at(2016, 5, 2), kSac,
       fap_of(kSac, kFrequencies, by_angular_frequency)},
      {"XX.DEF..HHZ", at(2016, 6, 1), at(2016, 6, 2), kSac, fap_of(kSac, kFrequencies, slightly)},
  };
  const std::vector<std::string> expected = {
      "XX.ABC.00.BHZ 2005-12-31T00:00:00 overlap: valid at the same time as the period from "
      "2005-03-01T00:00:00 to 2005-12-31T00:00:00",
      "XX.ABC.00.BHZ 2006-05-01T00:00:00 overlap: valid at the same time as the period from "
      "2005-12-31T00:00:00 to 2006-06-30T00:00:00",
      "XX.ABC.00.BHZ 2007-01-01T00:00:00 order: END 2006-12-31T00:00:00 is before START",
      "XX.ABC.00.BHZ 2010-01-01T00:00:00 overlap: valid at the same time as the period from "
      "2008-01-01T00:00:00 (open)",
      "XX.ABC.00.BHN 2010-01-01T00:00:00 order: END 2009-01-01T00:00:00 is before START",
      "XX.ABC.00.BHN 2010-01-01T00:00:00 empty: neither a SAC nor a FAP text",
      "XX.ABC.10.BHN 0000-00-00T00:00:00 date: START 0000-00-00T00:00:00 is not a calendar time",
      "XX.ABC.10.BHN 2016-02-30T00:00:00 date: START 2016-02-30T00:00:00 is not a calendar time",
      "XX.ABC.10.BHN 2017-01-01T00:00:00 date: END -001-01-01T00:00:00 is not a calendar time "
      "(read as open)",
      "XX.ABC.10.BHN 2018-01-01T00:00:00 date: END 2018-13-01T00:00:00 is not a calendar time",
      "XX.DEF..HHZ 2015-06-01T00:00:00 empty: neither a SAC nor a FAP text",
      "XX.DEF..HHZ 2016-01-01T00:00:00 sac: line 4: ",
      "XX.DEF..HHZ 2016-02-01T00:00:00 sac: ",
      "XX.DEF..HHZ 2016-03-01T00:00:00 fap: line 2 dropped: frequency -1 is not positive",
      "XX.DEF..HHZ 2016-03-01T00:00:00 fap: line 4 dropped: amplitude 0 is not positive",
      "XX.DEF..HHZ 2016-03-01T00:00:00 fap: line 5 dropped: no number",
      "XX.DEF..HHZ 2016-03-01T00:00:00 fap: line 6 dropped: no amplitude",
      "XX.DEF..HHZ 2016-03-01T00:00:00 fap: frequencies not increasing: line 8 (1.5 Hz) after "
      "line 7 (2 Hz) and 1 more",
      "XX.DEF..HHZ 2016-04-01T00:00:00 fap: 1 usable triplet, at least 2 needed",
      "XX.DEF..HHZ 2016-05-01T00:00:00 mismatch: pole zeros and FAP differ by -41.98 dB at 20 Hz "
      "(FAP line 5): 5.92518e+08 against 7.4458e+10 count/m",
  };
  const std::vector<std::string> found = check_all(rows, 1.0);
  ASSERT_EQ(found.size(), expected.size()) << ::testing::PrintToString(found);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    // The reasons of the pole-zero reader are its own; the line is ours.
    EXPECT_EQ(found[i].substr(0, expected[i].size()), expected[i]);
  }
}

// Numbers that no export can write: one finding of the text's kind each,
// and none for the numbers on the sound side of each limit.
TEST(PeriodCheckTest, NumbersThatCannotBeWritten) {
  const Timestamp day = at(2016, 1, 1);
  const std::string pole_at_1_hz = "ZEROS 0|POLES 2|0 6.283185307179586|0 -6.283185307179586|CONSTANT 1";
  const struct {
    std::string sac, fap;
    const char* finding;  // start of the one finding after "XX.DEF..HHZ 2016-01-01T00:00:00 "
  } rows[] = {
      {"ZEROS 0|POLES 1|nan 0|CONSTANT 1", "", "sac: line 3: a pole that is not finite"},
      {"ZEROS 0|POLES 0|CONSTANT inf", "", "sac: line 3: CONSTANT is not finite"},
      {"ZEROS 0|POLES 1|-1e5 0|CONSTANT 4.9e-324", "",
       "sac: the response cannot be normalised at 1 Hz (the normalisation factor or the "
       "sensitivity is zero or not finite there) nor at any of 1e-4 to 1e4 Hz by decades"},
      {"ZEROS 0|POLES 1|-1e5 0|CONSTANT 1e-300", "", nullptr},
      {"", "1 1 0|2 1 nan", "fap: line 2: a number that is not finite; the text is unusable"},
      {"", "1 1 inf|2 1 0|3 1 -INF",
       "fap: line 1: a number that is not finite and 1 more such lines; the text is unusable"},
      {"", "1 4.9e-324 0|2 1 0",
       "fap: line 1: amplitude 4.94066e-324 has no finite inverse; the text is unusable"},
      {"", "1 1e-300 0|2 1 0", nullptr},
      {"", "1 1 400|2 1 -450|3 1 360.0000001", nullptr},
      // At the pole no difference in dB is defined; at 2 Hz there is one.
      {pole_at_1_hz, "1 1 0|2 1 0", "mismatch: pole zeros and FAP differ by -1"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.sac + " / " + row.fap);
    const std::vector<std::string> found =
        check_all({{"XX.DEF..HHZ", day, kOpen, row.sac, row.fap}}, 1.0);
    if (row.finding == nullptr) {
      EXPECT_EQ(found.size(), 0u) << ::testing::PrintToString(found);
      continue;
    }
    ASSERT_EQ(found.size(), 1u) << ::testing::PrintToString(found);
    const std::string expected = std::string("XX.DEF..HHZ 2016-01-01T00:00:00 ") + row.finding;
    EXPECT_EQ(found[0].substr(0, expected.size()), expected);
    EXPECT_EQ(found[0].find("inf"), std::string::npos);
    EXPECT_EQ(found[0].find("nan"), std::string::npos);
  }
}

TEST(PeriodCheckTest, ToleranceDecidesTheMismatch) {
  const Row row = {"XX.ABC.00.BHZ", at(2001, 1, 1), kOpen, kSac,
                   fap_of(kSac, kFrequencies, slightly)};
  EXPECT_TRUE(check_all({row}, 1.0).empty());
  EXPECT_TRUE(check_all({row}, 0.51).empty());
  const std::vector<std::string> tight = check_all({row}, 0.5);
  ASSERT_EQ(tight.size(), 1u);
  EXPECT_EQ(tight[0],
            "XX.ABC.00.BHZ 2001-01-01T00:00:00 mismatch: pole zeros and FAP differ by +0.51 dB "
            "at 5 Hz (FAP line 4): 6.0003e+08 against 5.66066e+08 count/m");
}

TEST(PeriodCheckTest, JsonEscapesEveryMember) {
  Finding f;
  f.codes.network = "XX";
  f.codes.sta = "A\"B";
  f.codes.location = "";
  f.codes.chan = "BHZ";
  f.start = at(2001, 2, 3, 4, 5, 6);
  f.kind = FindingKind::kSac;
  f.detail = "line 1: unknown keyword \\x\t\x01";
  EXPECT_EQ(finding_json(f),
            "{\"network\": \"XX\", \"station\": \"A\\\"B\", \"location\": \"\", "
            "\"channel\": \"BHZ\", \"start\": \"2001-02-03T04:05:06\", \"kind\": \"sac\", "
            "\"detail\": \"line 1: unknown keyword \\\\\\\\x\\t\\u0001\"}");
}

}  // namespace
}  // namespace kalvynex

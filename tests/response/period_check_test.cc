#include "response/period_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "core/string_printf.h"
#include "response/pole_zero.h"

namespace kalvynex {
namespace {

constexpr const char* kSac =
    "ZEROS 2|POLES 4|-0.0370 0.0370|-0.0370 -0.0370|-222.1 222.1|-222.1 -222.1|"
    "CONSTANT 5.92e+13|";

double same_phase(double, double degrees) { return degrees; }

// The FAP text that the pole zeros describe, amplitudes scaled by `scale`
// at each frequency (1: the same instrument) and phases made by `phase`
// from the pole zeros' phase in degrees.
std::string fap_of(const std::string& sac, const std::vector<double>& frequencies,
                   double (*scale)(double), double (*phase)(double, double) = same_phase) {
  PoleZeroResponse pz;
  std::vector<PoleZeroProblem> problems;
  EXPECT_TRUE(parse_pole_zero(sac, &pz, &problems));
  std::string text;
  for (const double f : frequencies) {
    const std::complex<double> response = evaluate_pole_zero(pz, f);
    text += string_printf("%g %.9g %.9g|", f, 1e6 / std::abs(response) * scale(f),
                          phase(f, std::arg(response) * 180 / M_PI));
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
  double sens = -1.0, freq = -1.0;  // NULL
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
  r.sens = row.sens;
  r.freq = row.freq;
  return r;
}

std::vector<Finding> findings_of(const std::vector<Row>& rows, double tolerance,
                                 double phase_tolerance = 5.0) {
  PeriodChecker checker(tolerance, phase_tolerance);
  std::vector<Finding> findings;
  for (const Row& row : rows) checker.check(record(row), &findings);
  return findings;
}

std::vector<std::string> check_all(const std::vector<Row>& rows, double tolerance,
                                   double phase_tolerance = 5.0) {
  PeriodChecker checker(tolerance, phase_tolerance);
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
      "XX.DEF..HHZ 2016-05-01T00:00:00 mismatch: pole zeros and FAP differ by -15.96 dB at 1 Hz, "
      "the calibration frequency (FAP line 3): 6.0006e+08 against 3.77029e+09 count/m, the FAP "
      "text larger; the largest difference -41.98 dB at 20 Hz (FAP line 5); differs by a factor "
      "of 2 pi f: one text describes velocity, the other displacement",
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
      // The phases agree modulo 360 (-180 at 2 Hz).
      {pole_at_1_hz, "1 1 180|2 1 -180",
       "mismatch: pole zeros and FAP differ by -161.47 dB at 2 Hz, the stored frequency nearest "
       "the calibration frequency 0.1 Hz (FAP line 2)"},
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
            "XX.ABC.00.BHZ 2001-01-01T00:00:00 mismatch: pole zeros and FAP differ by +0.00 dB "
            "at 1 Hz, the calibration frequency (FAP line 3): 6.0006e+08 against 6.0006e+08 "
            "count/m; the largest difference +0.51 dB at 5 Hz (FAP line 4)");
}

double gain_at(const std::string& sac, double f) {
  PoleZeroResponse pz;
  std::vector<PoleZeroProblem> problems;
  EXPECT_TRUE(parse_pole_zero(sac, &pz, &problems));
  return std::abs(evaluate_pole_zero(pz, f));
}
double velocity(double f) { return 2 * M_PI * f; }  // 10^6/A is |PZ| / (2 pi f)
double displacement_of_velocity(double f) { return 1 / (2 * M_PI * f); }
double velocity_and_more(double f) { return 2 * M_PI * f * 1.06; }  // and 0.506 dB
double flipped(double, double degrees) { return -degrees; }
double three_degrees_less(double, double degrees) { return degrees - 3; }
double one_turn_and_a_degree(double, double degrees) { return degrees - 361; }

// The amplitude, phase and SENS comparisons: each fault found once and named,
// each tolerance decided on both sides, the calibration frequency taken from
// FREQ (or the nearest stored frequency to it).
TEST(PeriodCheckTest, ComparesAmplitudesPhasesAndSens) {
  const double gain_1hz = gain_at(kSac, 1);
  const struct {
    const char* what;
    std::string fap;
    double sens, freq, tolerance, phase_tolerance;
    std::vector<std::string> findings;  // the start of each, after the kind
  } rows[] = {
      {"consistent", fap_of(kSac, kFrequencies, same), gain_1hz, 1, 1, 5, {}},
      {"flipped phases", fap_of(kSac, kFrequencies, same, flipped), -1, -1, 1, 5,
       {"phase: pole zeros and FAP phases differ by -1.9 degrees at 1 Hz, the calibration "
        "frequency (FAP line 3): -0.946 against 0.946 degrees, the FAP text's larger; the "
        "largest difference +150.8 degrees at 0.01 Hz (FAP line 1); the phases have opposite "
        "signs"}},
      {"velocity for displacement", fap_of(kSac, kFrequencies, velocity), -1, -1, 1, 5,
       {"mismatch: pole zeros and FAP differ by +15.96 dB at 1 Hz, the calibration frequency "
        "(FAP line 3): 6.0006e+08 against 9.55025e+07 count/m, the pole zeros larger; the "
        "largest difference +41.98 dB at 20 Hz (FAP line 5); differs by a factor of 2 pi f: "
        "one text describes velocity, the other displacement"}},
      {"displacement for velocity", fap_of(kSac, kFrequencies, displacement_of_velocity), -1, 5,
       1, 5,
       {"mismatch: pole zeros and FAP differ by -29.94 dB at 5 Hz, the calibration frequency "
        "(FAP line 4): ",
        "; differs by a factor of 2 pi f"}},
      // 0.506 dB beyond the factor: named within 0.51 dB, not within 0.5.
      {"slope within", fap_of(kSac, kFrequencies, velocity_and_more), -1, -1, 0.51, 5,
       {"mismatch: ", "; differs by a factor of 2 pi f: one"}},
      {"slope and a gain", fap_of(kSac, kFrequencies, velocity_and_more), -1, -1, 0.5, 5,
       {"mismatch: ", "; differs by a factor of 2 pi f and by +0.51 dB besides: one text "
                      "describes velocity, the other displacement"}},
      {"no slope", fap_of(kSac, kFrequencies, slightly), -1, -1, 0.5, 5,
       {"mismatch: ", "!2 pi f"}},
      {"phase within", fap_of(kSac, kFrequencies, same, three_degrees_less), -1, -1, 1, 3.01, {}},
      {"phase beyond", fap_of(kSac, kFrequencies, same, three_degrees_less), -1, -1, 1, 2.99,
       {"phase: pole zeros and FAP phases differ by +3.0 degrees", "!opposite"}},
      {"phase modulo 360", fap_of(kSac, kFrequencies, same, one_turn_and_a_degree), -1, -1, 1, 1.01,
       {}},
      {"FREQ between stored frequencies", fap_of(kSac, kFrequencies, same, three_degrees_less), -1,
       3, 1, 2.99,
       {"phase: pole zeros and FAP phases differ by +3.0 degrees at 5 Hz, the stored frequency "
        "nearest the calibration frequency 3 Hz (FAP line 4)"}},
      {"SENS twice", fap_of(kSac, kFrequencies, same), 2 * gain_1hz, 1, 1, 5,
       {"sens: SENS 1.20012e+09 differs by +6.02 dB from the 6.0006e+08 count/m that the pole "
        "zeros give at 1 Hz, the calibration frequency; SENS is larger"}},
      {"SENS within", "", gain_1hz * 1.06, -1, 0.51, 5, {}},  // FREQ NULL: 1 Hz
      {"SENS beyond", "", gain_1hz * 1.06, -1, 0.5, 5, {"sens: SENS 6.36063e+08 differs by +0.51"}},
      {"SENS of a FAP text", "1 1000 0|2 1000 0", 2000, 1.5, 1, 5,
       {"sens: SENS 2000 differs by +6.02 dB from the 1000 count/m that the FAP text gives (line "
        "2) at 2 Hz, the stored frequency nearest the calibration frequency 1.5 Hz; SENS is "
        "larger"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string sac = row.fap.find("1000") == std::string::npos ? kSac : "";
    const std::vector<std::string> found = check_all(
        {{"XX.DEF..HHZ", at(2016, 1, 1), kOpen, sac, row.fap, row.sens, row.freq}},
        row.tolerance, row.phase_tolerance);
    // Several expected pieces may belong to one finding: a piece with "; "
    // or "!" is looked for (or, after "!", its absence) in the last one.
    std::size_t lines = 0;
    for (const std::string& piece : row.findings) lines += piece[0] != ';' && piece[0] != '!';
    ASSERT_EQ(found.size(), lines) << ::testing::PrintToString(found);
    std::size_t i = 0;
    for (const std::string& piece : row.findings) {
      if (piece[0] == '!') {
        EXPECT_EQ(found[i - 1].find(piece.substr(1)), std::string::npos) << found[i - 1];
      } else if (piece[0] == ';') {
        EXPECT_NE(found[i - 1].find(piece), std::string::npos) << found[i - 1];
      } else {
        const std::string expected = "XX.DEF..HHZ 2016-01-01T00:00:00 " + piece;
        EXPECT_EQ(found[i].substr(0, expected.size()), expected);
        ++i;
      }
    }
  }
}

// The JSON findings carry the numbers of the text.
TEST(PeriodCheckTest, JsonCarriesTheNumbers) {
  const std::vector<Finding> found = findings_of(
      {{"XX.ABC.00.BHZ", at(2001, 1, 1), kOpen, kSac, fap_of(kSac, kFrequencies, velocity, flipped),
        2 * gain_at(kSac, 1), 1}},
      1, 5);
  ASSERT_EQ(found.size(), 3u);
  const std::string json = finding_json(found[0]) + "\n" + finding_json(found[1]) + "\n" +
                           finding_json(found[2]);
  for (const char* member :
       {"\"kind\": \"sens\"", "\"sens\": 1.20011967e+09, \"computed\": 600059835, "
        "\"frequency\": 1, \"difference_db\": 6.02059991",
        "\"kind\": \"mismatch\"", "\"frequency\": 1, \"difference_db\": 15.96",
        "\"largest_difference_db\": 41.98", "\"largest_at\": 20}",
        "\"kind\": \"phase\"", "\"difference_deg\": -1.89", "\"largest_difference_deg\": 150.79",
        "\"largest_at\": 0.01}"}) {
    EXPECT_NE(json.find(member), std::string::npos) << member << "\n" << json;
  }
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

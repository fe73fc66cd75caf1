#include "response/pole_zero.h"

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kalvynex {
namespace {

using C = std::complex<double>;

TEST(ParsePoleZeroTest, ReadsStoredTextsWithUnlistedZerosAtTheOrigin) {
  const struct {
    const char* stored;
    std::vector<C> zeros;
    std::vector<C> poles;
    double constant;
  } cases[] = {
      // The demo data's form: "|" line ends, two zeros counted and none listed.
      {"ZEROS 2|POLES 4|-0.0370 0.0370|-0.0370 -0.0370|-222.1 222.1|-222.1 -222.1|"
       "CONSTANT 5.92e+13|",
       {C(0, 0), C(0, 0)},
       {C(-0.037, 0.037), C(-0.037, -0.037), C(-222.1, 222.1), C(-222.1, -222.1)},
       5.92e13},
      // Any letter case, "*" comments, blank lines, CR LF, tabs, one zero listed of three.
      {"* NETWORK (KNETWK): XX\r\n*\r\n\r\nzeros\t3\r\n  +1.5e+00 -2.0e+00\r\nPoles 1\r\n"
       "-1 0\r\nConstant +4.000000e+02\r\n",
       {C(1.5, -2.0), C(0, 0), C(0, 0)},
       {C(-1, 0)},
       400.0},
      // POLES before ZEROS, a count of 0, the constant first.
      {"CONSTANT -3|POLES 2|1 2|3 4|ZEROS 0", {}, {C(1, 2), C(3, 4)}, -3.0},
      // Number forms: signs, no digits before the point, long mantissas, a
      // constant beyond the smallest normal double.
      {"ZEROS 1|+.5 -7.|POLES 1|-3.700000000000000e-02 +1E+2|CONSTANT 1e-310",
       {C(0.5, -7.0)},
       {C(-0.037, 100.0)},
       1e-310},
      // 30 is the largest count, however it is written.
      {"ZEROS 30|POLES +0030|CONSTANT 1", std::vector<C>(30), std::vector<C>(30), 1.0},
  };
  for (const auto& c : cases) {
    PoleZeroResponse response;
    std::vector<PoleZeroProblem> problems;
    EXPECT_TRUE(parse_pole_zero(c.stored, &response, &problems)) << c.stored;
    EXPECT_TRUE(problems.empty()) << c.stored << ": " << problems[0].reason;
    EXPECT_EQ(response.zeros, c.zeros) << c.stored;
    EXPECT_EQ(response.poles, c.poles) << c.stored;
    EXPECT_EQ(response.constant, c.constant) << c.stored;
  }
}

TEST(ParsePoleZeroTest, NamesTheLineAndTheReasonOfEachProblem) {
  const struct {
    const char* stored;
    int line;
    const char* reason;
  } cases[] = {
      // kalvynex's own ".sac" file starts with "#" comments, which SAC does not know.
      {"# Station ABC\nZEROS 3\nPOLES 0\nCONSTANT 1\n", 1, "unknown keyword \"#\""},
      {"ZEROS 1|1 0|2 0|POLES 0|CONSTANT 1", 3, "more values than ZEROS counted"},
      {"ZEROS 0|POLES 1|1 0|2 0|CONSTANT 1", 4, "more values than POLES counted"},
      {"ZEROS 1|1|POLES 0|CONSTANT 1", 2, "a value line needs two numbers"},
      {"ZEROS 1|1 2 3|POLES 0|CONSTANT 1", 2, "a value line needs two numbers"},
      {"ZEROS 1|1 x|POLES 0|CONSTANT 1", 2, "a value line needs two numbers"},
      {"ZEROS 1|1 +-2|POLES 0|CONSTANT 1", 2, "a value line needs two numbers"},
      {"ZEROS 1|1 2,5|POLES 0|CONSTANT 1", 2, "a value line needs two numbers"},
      {"1 2|ZEROS 1|POLES 0|CONSTANT 1", 1, "a value line outside ZEROS and POLES"},
      {"ZEROS 31|POLES 0|CONSTANT 1", 1, "the count of ZEROS is more than 30"},
      {"ZEROS 0|POLES 31|CONSTANT 1", 2, "the count of POLES is more than 30"},
      {"ZEROS 0|POLES +0031|CONSTANT 1", 2, "the count of POLES is more than 30"},
      {"ZEROS 99|POLES 0|CONSTANT 1", 1, "the count of ZEROS is more than 30"},
      {"ZEROS 100|POLES 0|CONSTANT 1", 1, "the count of ZEROS is more than 30"},
      {"ZEROS 0|POLES 100000000000|CONSTANT 1", 2, "the count of POLES is more than 30"},
      {"ZEROS -1|POLES 0|CONSTANT 1", 1, "the count of ZEROS is not a whole number"},
      {"ZEROS 2.5|POLES 0|CONSTANT 1", 1, "the count of ZEROS is not a whole number"},
      {"ZEROS +|POLES 0|CONSTANT 1", 1, "the count of ZEROS is not a whole number"},
      {"ZEROS ++3|POLES 0|CONSTANT 1", 1, "the count of ZEROS is not a whole number"},
      {"ZEROS 3+|POLES 0|CONSTANT 1", 1, "the count of ZEROS is not a whole number"},
      {"ZEROS|POLES 0|CONSTANT 1", 1, "ZEROS needs one count"},
      {"ZEROS 0|POLES 0|", 2, "CONSTANT is missing"},
      {"", 1, "CONSTANT is missing"},
      {"ZEROS 0|POLES 0|CONSTANT 0.0", 3, "CONSTANT is zero"},
      {"ZEROS 0|POLES 0|CONSTANT inf", 3, "CONSTANT is not finite"},
      {"ZEROS 0|POLES 0|CONSTANT 1e999", 3, "CONSTANT is not finite"},
      {"ZEROS 0|POLES 0|CONSTANT NaN", 3, "CONSTANT is not finite"},
      {"ZEROS 1|nan 0|POLES 0|CONSTANT 1", 2, "a zero that is not finite"},
      {"ZEROS 0|POLES 1|0 -inf|CONSTANT 1", 3, "a pole that is not finite"},
      {"ZEROS 0|POLES 1|1.8e308 0|CONSTANT 1", 3, "a pole that is not finite"},
      {"nan nan|ZEROS 0|POLES 0|CONSTANT 1", 1, "a value that is not finite"},
      {"ZEROS 0|POLES 0|CONSTANT", 3, "CONSTANT needs one number"},
      {"ZEROS 0|POLES 0|GAIN 5|CONSTANT 1", 3, "unknown keyword \"GAIN\""},
  };
  for (const auto& c : cases) {
    PoleZeroResponse response;
    std::vector<PoleZeroProblem> problems;
    EXPECT_FALSE(parse_pole_zero(c.stored, &response, &problems)) << c.stored;
    ASSERT_EQ(problems.size(), 1u) << c.stored;
    EXPECT_EQ(problems[0].line, c.line) << c.stored;
    EXPECT_EQ(problems[0].reason, c.reason) << c.stored;
  }
  // Every problem is reported, not only the first; a null list is allowed.
  std::vector<PoleZeroProblem> problems;
  EXPECT_FALSE(parse_pole_zero("GAIN 1|ZEROS 99|CONSTANT 0", nullptr, &problems));
  EXPECT_EQ(problems.size(), 3u);
  EXPECT_FALSE(parse_pole_zero("GAIN 1", nullptr, nullptr));
}

// Only inf and nan (and numbers beyond double, which read as inf) are marked
// not finite: the largest finite double and a subnormal one read.
TEST(ParsePoleZeroTest, MarksNumbersThatAreNotFinite) {
  const struct {
    const char* stored;
    bool readable;
    bool not_finite;
  } cases[] = {
      {"ZEROS 0|POLES 1|-1.7976931348623157e308 0|CONSTANT 1.7976931348623157e308", true, false},
      {"ZEROS 0|POLES 1|-1.7976931348623159e308 0|CONSTANT 1", false, true},
      {"ZEROS 1|4.9e-324 -4.9e-324|POLES 0|CONSTANT 4.9e-324", true, false},
      {"ZEROS 0|POLES 0|CONSTANT -inf", false, true},
      {"ZEROS 0|POLES 0|CONSTANT 0", false, false},
      {"ZEROS 2|1 0|-nan 1|POLES 0|CONSTANT 1", false, true},
      // The place of a value that is not finite still counts.
      {"ZEROS 1|inf 0|1 0|POLES 0|CONSTANT 1", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    std::vector<PoleZeroProblem> problems;
    EXPECT_EQ(parse_pole_zero(c.stored, nullptr, &problems), c.readable);
    EXPECT_EQ(first_not_finite(problems) != nullptr, c.not_finite);
  }
  std::vector<PoleZeroProblem> problems;
  parse_pole_zero("ZEROS 1|inf 0|1 0|POLES 0|CONSTANT 1", nullptr, &problems);
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[1].reason, "more values than ZEROS counted");
}

TEST(EvaluatePoleZeroTest, IsConstantTimesZerosOverPolesOnTheImaginaryAxis) {
  PoleZeroResponse response;
  response.zeros = {C(0, 0)};
  response.poles = {C(-1, 0), C(-2, 3)};
  response.constant = 2.5;
  for (double f : {0.01, 0.5, 1.0, 20.0}) {
    const C s(0.0, 2.0 * M_PI * f);
    const C expected = 2.5 * s / ((s + 1.0) * (s - C(-2, 3)));
    const C got = evaluate_pole_zero(response, f);
    EXPECT_NEAR(std::abs(got - expected), 0.0, 1e-12 * std::abs(expected)) << f;
  }
  EXPECT_EQ(evaluate_pole_zero(response, 0.0), C(0, 0));
}

}  // namespace
}  // namespace kalvynex

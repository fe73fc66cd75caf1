#include "response/number_format.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "core/string_printf.h"

namespace kalvynex {
namespace {

TEST(StringPrintfTest, WritesTextsLongerThanAnyLineBuffer) {
  const std::string long_text(100000, 'x');
  const std::string result = string_printf("<%s>%d", long_text.c_str(), 7);
  ASSERT_EQ(result.size(), long_text.size() + 3);
  EXPECT_EQ(result.substr(0, 2), "<x");
  EXPECT_EQ(result.substr(result.size() - 3), "x>7");
  EXPECT_EQ(string_printf("%s", ""), "");
}

// Texts are formatted into a first buffer and, when they do not fit, once
// more at their exact length: every length around that buffer's size comes
// back whole, with nothing cut and nothing added.
TEST(StringPrintfTest, KeepsEveryLengthAroundTheFirstBuffer) {
  for (std::size_t length = 1; length <= 200; ++length) {
    std::string expected(length - 1, 'a');
    expected += 'z';
    const std::string result = string_printf("%s", expected.c_str());
    ASSERT_EQ(result, expected) << "length " << length;
    ASSERT_EQ(result.size(), std::strlen(result.c_str())) << "length " << length;
  }
  // Arguments are read again for the second pass.
  const std::string number_after_long_text =
      string_printf("%s|%12.7f|%d", std::string(90, 'x').c_str(), 3.25, -17);
  EXPECT_EQ(number_after_long_text, std::string(90, 'x') + "|   3.2500000|-17");
}

struct ExponentCase {
  double value;
  int width;
  int precision;
  const char* expected;
};

class FormatExponentTest : public ::testing::TestWithParam<ExponentCase> {};

TEST_P(FormatExponentTest, WritesThreeExponentDigitsThenPads) {
  const ExponentCase& c = GetParam();
  EXPECT_EQ(format_exponent(c.value, c.width, c.precision), c.expected);
}

const double kInf = std::numeric_limits<double>::infinity();
const double kNan = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Values, FormatExponentTest,
    ::testing::Values(
        ExponentCase{0.0125663706, 10, 7, "1.2566371e-002"},
        ExponentCase{0.5, 10, 7, "5.0000000e-001"},
        ExponentCase{1.5, 10, 7, "1.5000000e+000"},
        // The width counts the widened text: -1.0 is 16 characters, 1.0 is
        // 15 and gets no leading blank.
        ExponentCase{-1.0, 15, 8, "-1.00000000e+000"},
        ExponentCase{1.0, 15, 8, "1.00000000e+000"},
        ExponentCase{1.0, 18, 2, "         1.00e+000"},
        ExponentCase{0.0, 10, 7, "0.0000000e+000"},
        ExponentCase{-0.0, 10, 7, "-0.0000000e+000"},
        ExponentCase{9.99999999e99, 10, 7, "1.0000000e+100"},  // rounding carries
        // Exponents that already have three digits stay as they are.
        ExponentCase{1e-300, 10, 7, "1.0000000e-300"},
        ExponentCase{1e300, 10, 7, "1.0000000e+300"},
        ExponentCase{4e-320, 10, 7, "3.9999555e-320"},
        ExponentCase{2.5, 0, 0, "2e+000"},  // no decimal point without decimals
        ExponentCase{kInf, 10, 7, "       inf"},
        ExponentCase{-kInf, 10, 7, "      -inf"},
        ExponentCase{-kInf, 0, 7, "-inf"},
        ExponentCase{kNan, 0, 7, "nan"},
        ExponentCase{-kNan, 0, 7, "-nan"},
        ExponentCase{kNan, 5, 7, "  nan"}));

TEST(FormatExponentLimitsTest, OutOfRangeArgumentsStaySafe) {
  EXPECT_EQ(format_exponent(1.0, -20, -1), "1.000000e+000");
  const std::string wide = format_exponent(1.0, 0, std::numeric_limits<int>::max());
  EXPECT_EQ(wide.substr(0, 4), "1.00");
  EXPECT_EQ(wide.substr(wide.size() - 5), "e+000");
}

}  // namespace
}  // namespace kalvynex

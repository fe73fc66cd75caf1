#include "core/text_rules.h"

#include <climits>

#include <gtest/gtest.h>

namespace kalvynex {
namespace {

TEST(TextRulesTest, AtoiClampedFollowsTheAtoiRule) {
  struct Case {
    const char* text;
    int expected;
  };
  const Case cases[] = {
      {"", 0},
      {"abc", 0},
      {"42", 42},
      {"  \t\n-17xyz", -17},
      {"+8", 8},
      {"- 8", 0},         // no blank allowed between sign and digits
      {"--8", 0},
      {"007", 7},
      {"12 34", 12},
      {"2147483647", INT_MAX},
      {"2147483648", INT_MAX},
      {"-2147483648", INT_MIN},
      {"-2147483649", INT_MIN},
      {"99999999999999999999999", INT_MAX},
      {"-99999999999999999999999", INT_MIN},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(atoi_clamped(c.text), c.expected) << '"' << c.text << '"';
  }
  EXPECT_EQ(atoi_clamped(nullptr), 0);
}

TEST(TextRulesTest, AddClampedStopsAtTheLimitsOfInt) {
  EXPECT_EQ(add_clamped(2, 3), 5);
  EXPECT_EQ(add_clamped(INT_MAX, 1), INT_MAX);
  EXPECT_EQ(add_clamped(INT_MAX - 1, 1), INT_MAX);
  EXPECT_EQ(add_clamped(INT_MIN, -1), INT_MIN);
  EXPECT_EQ(add_clamped(INT_MIN, INT_MAX), -1);
  EXPECT_EQ(add_clamped(-5, INT_MIN + 5), INT_MIN);
}

TEST(TextRulesTest, CaseIsIgnoredForLatinLettersOnly) {
  EXPECT_TRUE(equals_ignore_case("Select=", "SELECT="));
  EXPECT_FALSE(equals_ignore_case("SELECT", "SELECT="));
  // "Ж" (D0 96) and "ж" (D0 B6) stay different: only A-Z/a-z are folded.
  EXPECT_FALSE(equals_ignore_case("\xD0\x96", "\xD0\xB6"));
  // '@' and '`' differ from 'A'/'a' by the case bit but are not letters.
  EXPECT_FALSE(equals_ignore_case("@", "`"));
  EXPECT_FALSE(equals_ignore_case("[", "{"));

  EXPECT_TRUE(starts_with_ignore_case("type_out=vel", "TYPE_OUT="));
  EXPECT_TRUE(starts_with_ignore_case("abc", ""));
  EXPECT_FALSE(starts_with_ignore_case("TYP", "TYPE="));
}

}  // namespace
}  // namespace kalvynex

#include "response/sac_text.h"

#include <climits>
#include <string>

#include <gtest/gtest.h>

namespace kalvynex {
namespace {

SacHeaderFields abc_fields() {
  SacHeaderFields fields;
  fields.codes.sta = "ABC";
  fields.codes.chan = "BHZ";
  fields.codes.network = "XX";
  fields.codes.location = "00";
  fields.start = Timestamp::at(2005, 3, 1, 12, 30, 0);
  fields.end = Timestamp::at(2010, 12, 31, 23, 59, 59);
  fields.kind = 1;
  return fields;
}

TEST(BuildSacHeaderTest, WritesSixLinesWithTimeSpan) {
  EXPECT_EQ(build_sac_header(abc_fields()),
            "# Station ABC\n"
            "# Channel BHZ\n"
            "# Location 00\n"
            "# Network XX\n"
            "# Time 2005.03.01 12:30:00 / 2010.12.31 23:59:59\n"
            "# Count/(M/sec)\n");
}

TEST(BuildSacHeaderTest, WritesStartAloneWithoutEnd) {
  SacHeaderFields fields = abc_fields();
  for (int year : {0, -1}) {
    fields.end = Timestamp::at(year, 12, 31, 23, 59, 59);
    EXPECT_NE(build_sac_header(fields).find("\n# Time 2005.03.01 12:30:00\n# Count"),
              std::string::npos)
        << "year " << year;
  }
  fields.start = Timestamp::at(7, 1, 2, 3, 4, 5);
  fields.end = Timestamp::at(1, 1, 1, 0, 0, 0);
  EXPECT_NE(build_sac_header(fields).find("\n# Time 0007.01.02 03:04:05 / 0001.01.01 00:00:00\n"),
            std::string::npos);
}

TEST(BuildSacHeaderTest, ChoosesUnitLineByKind) {
  const struct {
    int kind;
    const char* unit_line;
  } cases[] = {{0, "# Count/M\n"},        {1, "# Count/(M/sec)\n"},
               {2, "# Count/(M/sec**2)\n"}, {3, "# Count/(M/sec)\n"},
               {-1, "# Count/(M/sec)\n"},   {INT_MIN, "# Count/(M/sec)\n"}};
  for (const auto& c : cases) {
    SacHeaderFields fields = abc_fields();
    fields.kind = c.kind;
    const std::string header = build_sac_header(fields);
    EXPECT_EQ(header.substr(header.find("\n# Count") + 1), c.unit_line) << "kind " << c.kind;
  }
}

struct ZerosCase {
  const char* stored;
  int kind;
  const char* expected;
};

class AdjustSacZerosTest : public ::testing::TestWithParam<ZerosCase> {};

TEST_P(AdjustSacZerosTest, RewritesZerosLines) {
  const ZerosCase& c = GetParam();
  EXPECT_EQ(adjust_sac_zeros(c.stored, c.kind), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, AdjustSacZerosTest,
    ::testing::Values(
        ZerosCase{"ZEROS 2|POLES 2|-0.037 0.037|-0.037 -0.037|CONSTANT 1.0|", 1,
                  "ZEROS 3\nPOLES 2\n-0.037 0.037\n-0.037 -0.037\nCONSTANT 1.0\n"},
        ZerosCase{"ZEROS 2\nPOLES 0\n", 2, "ZEROS 4\nPOLES 0\n"},
        // Kind 0 keeps the number but normalises the blanks after the keyword.
        ZerosCase{"ZEROS \t 2|POLES 0|", 0, "ZEROS 2\nPOLES 0\n"},
        ZerosCase{"ZEROS 2|", 3, "ZEROS 5\n"}, ZerosCase{"ZEROS 2|", -1, "ZEROS 1\n"},
        ZerosCase{"ZEROS|", 1, "ZEROS 1\n"}, ZerosCase{"ZEROS x|", 2, "ZEROS 2\n"},
        ZerosCase{"ZEROS 2 extra|", 1, "ZEROS 3\n"}, ZerosCase{"ZEROS -4|", 1, "ZEROS -3\n"},
        ZerosCase{"  \tZEROS 2|", 1, "ZEROS 3\n"},
        // The last line is handled with or without a line end after it.
        ZerosCase{"POLES 0|ZEROS 2", 1, "POLES 0\nZEROS 3"},
        ZerosCase{"ZEROS 2", 1, "ZEROS 3"}, ZerosCase{"POLES 0", 1, "POLES 0"},
        // "|" and LF both end a line, in any mixture.
        ZerosCase{"* comment\nZEROS 1|POLES 0\nZEROS 5|", 1,
                  "* comment\nZEROS 2\nPOLES 0\nZEROS 6\n"},
        // Only lines that begin with the keyword count; case matters.
        ZerosCase{"* ZEROS follow|ZEROS 2|", 1, "* ZEROS follow\nZEROS 3\n"},
        ZerosCase{"zeros 2|POLES 2|", 1, "zeros 2\nPOLES 2\n"},
        ZerosCase{"ZERO 2|", 1, "ZERO 2\n"}, ZerosCase{"ZEROS2|", 1, "ZEROS 3\n"},
        ZerosCase{"", 1, ""}, ZerosCase{"|||", 1, "\n\n\n"}, ZerosCase{"\n", 1, "\n"},
        // CR LF line ends stay CR LF, also on a rewritten line.
        ZerosCase{"ZEROS 2\r\nPOLES 0\r\n", 1, "ZEROS 3\r\nPOLES 0\r\n"},
        ZerosCase{"ZEROS\r|", 1, "ZEROS 1\r\n"},
        ZerosCase{"\rZEROS 2|", 1, "\rZEROS 2\n"},
        // Sums beyond int clamp instead of overflowing.
        ZerosCase{"ZEROS 2147483647|", 1, "ZEROS 2147483647\n"},
        ZerosCase{"ZEROS 99999999999|", 0, "ZEROS 2147483647\n"},
        ZerosCase{"ZEROS -2147483648|", -1, "ZEROS -2147483648\n"},
        ZerosCase{"ZEROS 5|", INT_MAX, "ZEROS 2147483647\n"}));

TEST(AdjustSacZerosLongTest, HandlesLongTexts) {
  std::string stored = "ZEROS 2|";
  std::string expected = "ZEROS 4\n";
  for (int i = 0; i < 20000; ++i) {
    stored += "1.0 -2.0|";
    expected += "1.0 -2.0\n";
  }
  stored += "ZEROS " + std::string(200000, '9');
  expected += "ZEROS 2147483647";
  EXPECT_EQ(adjust_sac_zeros(stored, 2), expected);
}

}  // namespace
}  // namespace kalvynex

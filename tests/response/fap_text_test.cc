#include "response/fap_text.h"

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kalvynex {
namespace {

constexpr ResponseType kGse2{1, 0, -9};
constexpr ResponseType kQev{0, 1, -6};
constexpr ResponseType kStored{0, 1, -6};  // amplitudes copied as read

struct NormalizeCase {
  const char* stored;
  const char* text;
  int count;
};

class NormalizeFapTextTest : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeFapTextTest, TurnsBarsIntoLineFeedsAndCountsSeparators) {
  const NormalizeCase& c = GetParam();
  const NormalizedFap result = normalize_fap_text(c.stored);
  EXPECT_EQ(result.text, c.text);
  EXPECT_EQ(result.separator_count, c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NormalizeFapTextTest,
    ::testing::Values(NormalizeCase{"1 2 3|4 5 6|", "1 2 3\n4 5 6\n", 2},
                      NormalizeCase{"1 2 3|4 5 6", "1 2 3\n4 5 6", 1},
                      NormalizeCase{"1 2 3\n4 5 6\n", "1 2 3\n4 5 6\n", 2},
                      NormalizeCase{"", "", 0}, NormalizeCase{"1 2 3", "1 2 3", 0},
                      // With any "|" present, the LFs are not counted.
                      NormalizeCase{"a\nb|c\n|", "a\nb\nc\n\n", 2},
                      NormalizeCase{"||\r\n", "\n\n\r\n", 2}));

std::string convert(const std::string& normalized, const ResponseType& type) {
  return convert_fap_triplets(normalized, type).text;
}

// The worked lines of the format: conversion and layout together.
TEST(ConvertFapTripletsTest, WritesWorkedLines) {
  EXPECT_EQ(convert("1.0, 0.5, 45.0", kGse2), "   1.0000000  1.2566371e-002 45.0000000\n");
  EXPECT_EQ(convert("1.0, 0.5, 45.0", kQev), "   1.0000000  5.0000000e-001 45.0000000\n");
  EXPECT_EQ(convert("0.02, 1.5, -90.0", kQev), "   0.0200000  1.5000000e+000 -90.0000000\n");
  EXPECT_EQ(convert("10.0, 2.0, 0.0", ResponseType{2, 1, -9}),
            "  10.0000000  5.0660592e-007  0.0000000\n");
}

TEST(ConvertFapTripletsTest, ConvertsByKindDirectionAndOrder) {
  // f = 1/(2 pi) makes w = 1, so only the unit and the direction act.
  const std::string line = "0.15915494309189535 2.0 0";
  EXPECT_EQ(convert(line, ResponseType{2, 0, 0}), "   0.1591549  5.0000000e+005  0.0000000\n");
  EXPECT_EQ(convert(line, ResponseType{0, 0, -6}), "   0.1591549  5.0000000e-001  0.0000000\n");
  EXPECT_EQ(convert(line, ResponseType{1, 1, -3}), "   0.1591549  2.0000000e+003  0.0000000\n");
  // The power of w stands in the numerator of a direct amplitude and in the
  // denominator of an inverse one; kind 3 uses the third power.
  const std::string at_1hz = "1 1 0";
  EXPECT_EQ(convert(at_1hz, ResponseType{3, 0, -6}), "   1.0000000  2.4805021e+002  0.0000000\n");
  EXPECT_EQ(convert(at_1hz, ResponseType{3, 1, -6}), "   1.0000000  4.0314418e-003  0.0000000\n");
  EXPECT_EQ(convert(at_1hz, ResponseType{-1, 0, -6}), "   1.0000000  1.5915494e-001  0.0000000\n");
}

TEST(ConvertFapTripletsTest, StoredFormCopiesAmplitudeWithAnyInverseDirection) {
  const std::string stored = "2.5 1.234567891 12.5\n";
  const std::string expected = "   2.5000000  1.2345679e+000 12.5000000\n";
  EXPECT_EQ(convert(stored, kQev), expected);
  EXPECT_EQ(convert(stored, ResponseType{0, 5, -6}), expected);
  EXPECT_EQ(convert(stored, ResponseType{0, -1, -6}), expected);
  // Direct, or another unit, is a real conversion.
  EXPECT_NE(convert(stored, ResponseType{0, 0, -6}), expected);
  EXPECT_NE(convert(stored, ResponseType{0, 1, -9}), expected);
}

struct LineCase {
  const char* line;
  const char* expected;  // QEV line, or "" when the line is dropped
};

class ReadTripletLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(ReadTripletLineTest, ReadsOrDrops) {
  const LineCase& c = GetParam();
  const ConvertedTriplets result = convert_fap_triplets(c.line, kQev);
  EXPECT_EQ(result.text, c.expected);
  EXPECT_EQ(result.line_count, *c.expected ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReadTripletLineTest,
    ::testing::Values(
        LineCase{"1,0.5,45", "   1.0000000  5.0000000e-001 45.0000000\n"},
        LineCase{"1;0.5;45", "   1.0000000  5.0000000e-001 45.0000000\n"},
        LineCase{"1\t0.5\t45", "   1.0000000  5.0000000e-001 45.0000000\n"},
        LineCase{"1  0.5  45", "   1.0000000  5.0000000e-001 45.0000000\n"},
        LineCase{"  1, 0.5, 45 trailing text", "   1.0000000  5.0000000e-001 45.0000000\n"},
        LineCase{"1,0.5,45\r", "   1.0000000  5.0000000e-001 45.0000000\n"},
        // The C library takes a partial exponent as part of the number.
        LineCase{"1e,0.5,45", "   1.0000000  5.0000000e-001 45.0000000\n"},
        LineCase{"0x1p3,0x1p-1,-45", "   8.0000000  5.0000000e-001 -45.0000000\n"},
        LineCase{"1,0.5", "   1.0000000  5.0000000e-001  0.0000000\n"},
        LineCase{"1,0.5,", "   1.0000000  5.0000000e-001  0.0000000\n"},
        LineCase{"1,0.5,nan", "   1.0000000  5.0000000e-001        nan\n"},
        LineCase{"inf,inf,-inf", "         inf         inf       -inf\n"},
        LineCase{"123456789012345,0.5,-123456.5",
                 "123456789012345.0000000  5.0000000e-001 -123456.5000000\n"},
        // Dropped: the separator is one character, so " ," leaves the
        // amplitude unread.
        LineCase{"1.0 , 0.5, 45", ""}, LineCase{"1.0", ""}, LineCase{"0,0.5,45", ""},
        LineCase{"-1,0.5,45", ""}, LineCase{"1,0,45", ""}, LineCase{"1,-0.5,45", ""},
        LineCase{"nan,0.5,45", ""}, LineCase{"1,nan,45", ""}, LineCase{"abc", ""},
        LineCase{"\r", ""}, LineCase{"", ""}));

TEST(ConvertFapTripletsTest, KeepsOrderSkipsEmptyLinesAndCountsWrittenLines) {
  const NormalizedFap normalized =
      normalize_fap_text("1,0.5,45|bad|\n\n0,1,1|2,0.25,-10|3,1,0");
  EXPECT_EQ(normalized.separator_count, 4);
  const ConvertedTriplets result = convert_fap_triplets(normalized.text, kQev);
  EXPECT_EQ(result.line_count, 3);
  EXPECT_EQ(result.text,
            "   1.0000000  5.0000000e-001 45.0000000\n"
            "   2.0000000  2.5000000e-001 -10.0000000\n"
            "   3.0000000  1.0000000e+000  0.0000000\n");
  EXPECT_EQ(convert_fap_triplets("\n\n\n", kQev).line_count, 0);
}

TEST(ConvertFapTripletsTest, ExtremeTypesOverflowToInfWithoutFailing) {
  EXPECT_EQ(convert("1000,1,0", ResponseType{1000, 0, 400}),
            "1000.0000000         inf  0.0000000\n");
  EXPECT_EQ(convert("1000,1,0", ResponseType{1000, 1, -400}),
            "1000.0000000  0.0000000e+000  0.0000000\n");
  // The unit exponent is formed without int overflow.
  EXPECT_EQ(convert("1,1,0", ResponseType{0, 0, 2147483647}),
            "   1.0000000         inf  0.0000000\n");
  EXPECT_EQ(convert("1,1,0", ResponseType{0, 0, -2147483647 - 1}),
            "   1.0000000  0.0000000e+000  0.0000000\n");
  // inf * 0 gives NaN, which is written as it is.
  const std::string nan_line = convert("0.01,1,0", ResponseType{2147483647, 0, 2147483647});
  EXPECT_NE(nan_line.find("nan"), std::string::npos);
}

// The first line whose numbers, read or converted, are not finite: both
// sides of each limit. The text itself is written as before.
TEST(ConvertFapTripletsTest, NamesTheFirstLineThatIsNotFinite) {
  const struct {
    const char* normalized;
    ResponseType type;
    int first_not_finite;
  } cases[] = {
      {"1,1.7976931348623157e308,0", kStored, 0},
      {"1,1.8e308,0", kStored, 1},
      {"1,inf,0", kStored, 1},
      {"1,1,0\n2,1,nan", kStored, 2},
      {"1,1,-inf", kStored, 1},
      {"inf,1,0", kStored, 1},
      // A line dropped for a NaN amplitude still names the text.
      {"1,nan,0\n2,1,0", kStored, 1},
      // A subnormal amplitude is finite as read; converted to the direct
      // response it overflows.
      {"1,4.9e-324,0", kStored, 0},
      {"1,4.9e-324,0", kGse2, 1},
      {"1,1e-300,0\n2,1,0", kGse2, 0},
      {"1,1,360.0000001", kStored, 0},
      // Values an unreadable line keeps are finite.
      {"x\n1,1,0", kStored, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.normalized);
    EXPECT_EQ(convert_fap_triplets(c.normalized, c.type).first_not_finite, c.first_not_finite);
  }
  EXPECT_EQ(convert("1,1,nan", kStored), "   1.0000000  1.0000000e+000        nan\n");
}

// Fixed-point numbers of any length are written whole, around 63 and 64
// characters too, where a line's pieces stop fitting a small buffer.
TEST(ConvertFapTripletsTest, WritesLongFixedPointNumbersWhole) {
  const std::string f63 = "1000000000000000078291540404596243842305360299886116864.0000000";
  const std::string f64 = "10000000000000000102350670204085511496304388135324745728.0000000";
  const std::string f65 = "100000000000000009190283508143378238084034459715684532224.0000000";
  const std::string amplitude = "  5.0000000e-001";
  EXPECT_EQ(convert("1e54,0.5,0", kQev), f63 + amplitude + "  0.0000000\n");
  EXPECT_EQ(convert("1e55,0.5,0", kQev), f64 + amplitude + "  0.0000000\n");
  EXPECT_EQ(convert("1e56,0.5,0", kQev), f65 + amplitude + "  0.0000000\n");
  // The phase with its leading blank and the line end: 63, 64 and 66 bytes.
  EXPECT_EQ(convert("1,0.5,-1e52", kQev),
            "   1.0000000" + amplitude +
                " -9999999999999999932209486743616279764617084419440640.0000000\n");
  EXPECT_EQ(convert("1,0.5,-1e53", kQev),
            "   1.0000000" + amplitude +
                " -99999999999999999322094867436162797646170844194406400.0000000\n");
  EXPECT_EQ(convert("1,0.5,-1e54", kQev),
            "   1.0000000" + amplitude +
                " -1000000000000000078291540404596243842305360299886116864.0000000\n");
  // Several long lines in a row keep their order and count.
  const ConvertedTriplets result = convert_fap_triplets("1e56,0.5,-1e54\n1e55,0.5,0\n", kQev);
  EXPECT_EQ(result.line_count, 2);
  EXPECT_EQ(result.text, f65 + amplitude +
                             " -1000000000000000078291540404596243842305360299886116864.0000000\n" +
                             f64 + amplitude + "  0.0000000\n");
}

TEST(ConvertFapTripletsTest, HandlesLongTexts) {
  std::string stored;
  for (int i = 0; i < 20000; ++i) stored += "1.0,0.5,45.0|";
  const NormalizedFap normalized = normalize_fap_text(stored);
  EXPECT_EQ(normalized.separator_count, 20000);
  const ConvertedTriplets result = convert_fap_triplets(normalized.text, kGse2);
  EXPECT_EQ(result.line_count, 20000);
  EXPECT_EQ(result.text.size(), 20000u * 40u);

  // One line without any separator, longer than any line buffer.
  const std::string long_line = "1" + std::string(200000, '0') + ",0.5,45";
  const ConvertedTriplets one = convert_fap_triplets(long_line, kQev);
  EXPECT_EQ(one.line_count, 1);
  EXPECT_EQ(one.text, "         inf  5.0000000e-001 45.0000000\n");
}

// Lines read and written the quick way must give exactly what sscanf reads
// and printf writes: every line below and a sweep of random triplets go
// through the conversion and through the C library directly.
TEST(ConvertFapTripletsTest, ReadsAndWritesAsTheCLibraryDoes) {
  auto through_library = [](const std::string& line, std::string* expected) {
    double f = -1.0, a = -1.0, p = 0.0;
    // NOLINTNEXTLINE(cert-err34-c)
    const int n = std::sscanf(line.c_str(), "%lg%*c%lg%*c%lg", &f, &a, &p);
    if (n < 0 || !(f > 0 && a > 0 && n == 3)) return;
    char text[512];
    std::snprintf(text, sizeof text, "%12.7f  %10.7e %10.7f\n", f, a, p);
    std::string s = text;
    const std::size_t e = s.find('e', 12);
    if (std::isfinite(a) && s.find(' ', e) - (e + 2) < 3) s.insert(e + 2, 3 - (s.find(' ', e) - (e + 2)), '0');
    *expected += s;
  };
  std::vector<std::string> lines = {
      "1.0 2.0 3.0",      " +1.5e1\t.25e-3,-7.", "1.0 2.0 3.0\r",   "0x10 2 3",    "1 0x2 3",
      "100ergs 2 3",      "1 2e 3",              "1e5x2 3",         "inf 1 2",     "1 nan 2",
      "1  2 3",           "1,2,3,4",             "0.0000000499999 1 1", "1 1e-310 1", "1 1e400 1",
      "1.5 2.5 -0.00000001", "123456789012345678 1 1", "4e8 9.99999995e22 0.00000005",
      std::string("1 2 3\0 4", 8), std::string("1\0 2 3", 6), "--1 2 3", "+-1 2 3", ". 1 2"};
  std::mt19937_64 random(8);
  for (int i = 0; i < 20000; ++i) {
    char line[128];
    std::snprintf(line, sizeof line, "%.*f %.*e %.*f", static_cast<int>(random() % 9),
                  static_cast<double>(random() % 100000000) / 1e4, static_cast<int>(random() % 9),
                  static_cast<double>(random() % 1000000) * std::pow(10.0, static_cast<int>(random() % 40) - 20),
                  static_cast<int>(random() % 9), static_cast<double>(random() % 7000000) / 1e6 - 3.5);
    lines.push_back(line);
  }
  std::string text;
  std::string expected;
  for (const std::string& line : lines) {
    text += line + "\n";
    through_library(line, &expected);
  }
  EXPECT_EQ(convert_fap_triplets(text, kStored).text, expected);
}

}  // namespace
}  // namespace kalvynex

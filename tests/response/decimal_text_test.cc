// The quick number routines must give the library's bytes and values for
// every input: checked on the numbers stored texts hold, on the boundaries
// of the quick paths, and on random decimals and random bit patterns.
#include "response/decimal_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace kalvynex {
namespace {

std::string signed_exponent(double v) {
  char buffer[kDecimalTextRoom];
  return std::string(buffer, put_signed_exponent(buffer, v));
}

std::string shortest(double v) {
  char buffer[kDecimalTextRoom];
  return std::string(buffer, put_shortest(buffer, v));
}

// Both writers against printf's "%+e" and std::to_chars.
void expect_library_text(double v) {
  char expected[64];
  std::snprintf(expected, sizeof expected, "%+e", v);
  EXPECT_EQ(signed_exponent(v), expected) << "%+e of " << v;
  if (!std::isfinite(v)) return;
  const std::to_chars_result r = std::to_chars(expected, expected + sizeof expected, v);
  EXPECT_EQ(shortest(v), std::string(expected, r.ptr)) << "shortest of " << v;
}

// read_double against std::from_chars: value (bit for bit), end and error.
void expect_library_reading(const std::string& text) {
  double quick = -7.0;
  double library = -7.0;
  const std::from_chars_result a = read_double(text.data(), text.data() + text.size(), quick);
  const std::from_chars_result b = std::from_chars(text.data(), text.data() + text.size(), library);
  EXPECT_EQ(a.ptr - text.data(), b.ptr - text.data()) << "'" << text << "'";
  EXPECT_EQ(a.ec, b.ec) << "'" << text << "'";
  EXPECT_EQ(std::memcmp(&quick, &library, sizeof quick), 0)
      << "'" << text << "': " << quick << " vs " << library;
}

TEST(DecimalTextTest, AgreesWithTheLibraryOnChosenNumbers) {
  const double values[] = {
      0.0, -0.0, 1.0, -1.0, 0.037, -3.7e-02, 5.92e13, 9.9999995, 9.999999, 1e7, 1e-16, 1e-17,
      1e22, 1e23, 1e28, 1e29, 123456.7, 1234567.0, 12345678.0, 0.1, 0.3, 1e-5, 1e-4, 1e21,
      2.5e-308, std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max(),
      std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
  for (const double v : values) expect_library_text(v);

  const char* texts[] = {"", "-", ".", "-.", ".5", "5.", "1e", "1e+", "1e5x", "+1", "inf", "-nan",
                         "1.5 2", "12abc", "1.5.3", "1e 5", "1e+x", "1ex", "-0.5e-3 x",
                         "1.5E3", "0", "-0", "00.000", "1e-400", "1e400", "9007199254740993",
                         "123456789012345678901234567890", "0.0000000000000000000000000001",
                         "1e0000005", "1e99999", "1.e5", ".e5", "1..2", " 1", "-3.700000e-02"};
  for (const char* text : texts) expect_library_reading(text);
}

TEST(DecimalTextTest, AgreesWithTheLibraryOnRandomNumbers) {
  std::mt19937_64 random(20261209);
  for (int i = 0; i < 100000; ++i) {
    // A decimal of one to nine digits over a wide range of exponents, in the
    // forms a stored text may use.
    const int digits = 1 + static_cast<int>(random() % 9);
    const long long mantissa = static_cast<long long>(random() % 1000000000ULL);
    const int exponent = static_cast<int>(random() % 70) - 35;
    char text[64];
    std::snprintf(text, sizeof text, "%s%llde%d", random() % 2 ? "-" : "",
                  mantissa % static_cast<long long>(std::pow(10, digits)), exponent);
    expect_library_reading(text);
    const double v = std::strtod(text, nullptr);
    expect_library_text(v);
    std::snprintf(text, sizeof text, "%+.*e", digits - 1, v);
    expect_library_reading(text);
    expect_library_text(std::strtod(text, nullptr));
    std::snprintf(text, sizeof text, "%.*f", static_cast<int>(random() % 12), v);
    expect_library_reading(text);

    // Any bit pattern at all.
    const std::uint64_t bits = random();
    double any = 0.0;
    std::memcpy(&any, &bits, sizeof any);
    expect_library_text(any);
    std::snprintf(text, sizeof text, "%.17g", any);
    expect_library_reading(text);
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace kalvynex

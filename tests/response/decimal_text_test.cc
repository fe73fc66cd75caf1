// The quick "%+e" writer must give printf's bytes for every double: checked
// on the numbers stored texts hold, on the edges of the quick path (the
// exact powers of ten, three-digit exponents, subnormals) and on random
// decimals and random bit patterns.
#include "response/decimal_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace kalvynex {
namespace {

void expect_printf_text(double v) {
  char expected[64];
  std::snprintf(expected, sizeof expected, "%+e", v);
  char buffer[kDecimalTextRoom];
  EXPECT_EQ(std::string(buffer, put_signed_exponent(buffer, v)), expected) << "%+e of " << v;
}

TEST(DecimalTextTest, WritesWhatPrintfWritesForChosenNumbers) {
  const double values[] = {
      0.0, -0.0, 1.0, -1.0, 0.037, -3.7e-02, 5.92e13, 9.9999995, 9.999999, 1e7, 1e-16, 1e-17,
      1.234567e-16, 1.234567e-17, 1e22, 1e23, 1.234567e28, 1.234567e29, 1e28, 1e29, 123456.7,
      1234567.0, 12345678.0, 0.1, 0.3, 1e-5, 1e-4, 1e21, 9.999999e99, 9.9999995e99, 1e100,
      -1e100, 1e-100, -1.234567e-100, 1e-300, 1e+300, -9.999999e-101, 2.5e-308,
      std::numeric_limits<double>::min(), std::numeric_limits<double>::denorm_min(),
      std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
      std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
      std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN()};
  for (const double v : values) expect_printf_text(v);
}

TEST(DecimalTextTest, WritesWhatPrintfWritesForRandomNumbers) {
  std::mt19937_64 random(20261209);
  for (int i = 0; i < 100000; ++i) {
    // A decimal of one to nine digits over the whole range of exponents, as
    // a stored text may hold it.
    const int digits = 1 + static_cast<int>(random() % 9);
    const long long mantissa = static_cast<long long>(random() % 1000000000ULL);
    const int exponent = static_cast<int>(random() % 640) - 320;
    char text[64];
    std::snprintf(text, sizeof text, "%s%llde%d", random() % 2 ? "-" : "",
                  mantissa % static_cast<long long>(std::pow(10, digits)), exponent);
    const double v = std::strtod(text, nullptr);
    expect_printf_text(v);
    std::snprintf(text, sizeof text, "%+.*e", digits - 1, v);
    expect_printf_text(std::strtod(text, nullptr));

    // Any bit pattern at all.
    const std::uint64_t bits = random();
    double any = 0.0;
    std::memcpy(&any, &bits, sizeof any);
    expect_printf_text(any);
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace kalvynex

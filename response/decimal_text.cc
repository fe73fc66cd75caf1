#include "response/decimal_text.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace kalvynex {

// The quick path below is exact only where each multiplication or division
// of doubles is rounded once, to the nearest IEEE binary64 value, and the
// bits of a double are read as binary64 bits.
static_assert(std::numeric_limits<double>::is_iec559 && std::numeric_limits<double>::digits == 53,
              "double must be IEEE binary64");
static_assert(FLT_EVAL_METHOD == 0,
              "double arithmetic must be evaluated in double, without excess precision");
static_assert(std::numeric_limits<double>::round_style == std::round_to_nearest,
              "double arithmetic must round to nearest");

namespace {

// The powers of ten that a double holds exactly.
constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPow10 = 22;

// m x 10^exponent, m a whole number below 10^15: the multiplication or
// division of two exact doubles, rounded once, is the nearest double.
double scale_exact(double m, int exponent) {
  return exponent >= 0 ? m * kExactPow10[exponent] : m / kExactPow10[-exponent];
}

// floor(log10(a)) for a normal a > 0, or one less: a = 1.f x 2^b, so
// log10(a) lies in [b, b + 1) x log10(2); 78913 / 2^18 is log10(2) closely
// enough for every exponent a double has, and the shift rounds towards minus
// infinity. The callers correct it by one where needed.
int decimal_exponent_estimate(double a) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &a, sizeof bits);
  const int binary_exponent = static_cast<int>((bits >> 52) & 0x7FF) - 1023;
  return (binary_exponent * 78913) >> 18;
}

// The seven significant digits of a normal, non-zero |value| and its decimal
// exponent, when `value` is the double nearest to that seven-digit decimal
// (as every number written with "%e" or with fewer digits is) and the
// exponent lies within the exact powers of ten (-16 to 28). Then the value
// lies within half a unit of its last binary place of those digits, so they
// are its printf rounding to seven digits.
bool seven_digits(double value, std::uint32_t* digits, int* decimal_exponent) {
  const double a = std::fabs(value);
  int e = decimal_exponent_estimate(a);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int shift = 6 - e;
    if (shift < -kMaxExactPow10 || shift > kMaxExactPow10) return false;
    const double m = std::nearbyint(scale_exact(a, shift));
    if (m >= 1e7) {
      ++e;
    } else if (m < 1e6) {
      --e;
    } else {
      // The candidate is exact only if it reads back as the value itself.
      if (scale_exact(m, -shift) != a) return false;
      *digits = static_cast<std::uint32_t>(m);
      *decimal_exponent = e;
      return true;
    }
  }
  return false;
}

// The decimal digits of `v`, at least `min_count` of them (zeros in front).
char* put_integer(char* p, std::uint64_t v, int min_count) {
  char digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (count < min_count) digits[count++] = '0';
  while (count > 0) *p++ = digits[--count];
  return p;
}

// "e+05", "e-12", "e+100": the sign and at least `min_digits` digits.
char* put_exponent(char* p, int exponent, int min_digits) {
  *p++ = 'e';
  *p++ = exponent < 0 ? '-' : '+';
  return put_integer(p, static_cast<std::uint64_t>(exponent < 0 ? -exponent : exponent),
                     min_digits);
}

}  // namespace

char* put_signed_exponent(char* p, double value) {
  if (value == 0.0) {
    const char* text = std::signbit(value) ? "-0.000000e+00" : "+0.000000e+00";
    while (*text != '\0') *p++ = *text++;
    return p;
  }
  std::uint32_t digits = 0;
  int exponent = 0;
  if (!std::isnormal(value) || !seven_digits(value, &digits, &exponent)) {
    char* const begin = p + 1;
    const std::to_chars_result r =
        std::to_chars(begin, p + kDecimalTextRoom, value, std::chars_format::scientific, 6);
    if (*begin == '-') {
      for (char* q = begin; q != r.ptr; ++q) q[-1] = *q;
      return r.ptr - 1;
    }
    *p = '+';
    return r.ptr;
  }
  char text[24];
  put_integer(text, digits, 7);
  *p++ = value < 0 ? '-' : '+';
  *p++ = text[0];
  *p++ = '.';
  for (int i = 1; i < 7; ++i) *p++ = text[i];
  return put_exponent(p, exponent, 2);
}

}  // namespace kalvynex

#include "response/decimal_text.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kalvynex {

namespace {

// The powers of ten that a double holds exactly.
constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPow10 = 22;

// Digits a double holds exactly, with room for every product of them by ten.
constexpr int kMaxExactDigits = 15;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

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
// (as every number written with "%e" or with fewer digits is). Then the
// value lies within half a unit of its last binary place of those digits,
// so they are both its printf rounding to seven digits and, less trailing
// zeros, its shortest round-trip text: no other decimal of seven digits or
// fewer comes that close.
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

// The whole number nearest to a x 10^shift (a >= 0), exactly as the
// exact product or quotient rounds; false when it is at or beyond 4 x 10^15
// or within a millionth of a tie. The product or quotient is computed
// with its exact rounding error (fma), so the decision is exact.
bool round_scaled(double a, int shift, double* rounded) {
  if (shift < -kMaxExactPow10 || shift > kMaxExactPow10) return false;
  double q = 0.0;
  double rest = 0.0;  // a x 10^shift = q + rest, up to a rounding of rest
  if (shift >= 0) {
    const double s = kExactPow10[shift];
    q = a * s;
    rest = std::fma(a, s, -q);
  } else {
    const double d = kExactPow10[-shift];
    q = a / d;
    rest = std::fma(-q, d, a) / d;  // the remainder of a rounded quotient is exact
  }
  if (!(q < 4e15)) return false;
  const double n = std::nearbyint(q);
  if (std::fabs((q - n) + rest) > 0.5 - 1e-6) return false;
  *rounded = n;
  return true;
}

// Ten to the power `n`, 0 <= n <= 16, as a whole number.
std::uint64_t pow10_integer(int n) {
  std::uint64_t v = 1;
  while (n-- > 0) v *= 10;
  return v;
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

const char* read_plain_decimal(const char* first, const char* last, double* value) {
  const char* p = first;
  const bool negative = p != last && *p == '-';
  if (negative) ++p;
  // The digits from the first non-zero one are gathered into `mantissa`
  // (more than fit are read on, but then the number is not taken here).
  std::uint64_t mantissa = 0;
  int exponent = 0;  // of the last digit gathered
  const char* const digits_start = p;
  while (p != last && *p == '0') ++p;
  const char* significant_start = p;
  for (; p != last && is_digit(*p); ++p) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
  std::ptrdiff_t significant = p - significant_start;
  bool any_digit = p != digits_start;
  if (p != last && *p == '.') {
    ++p;
    const char* const fraction_start = p;
    if (significant == 0) {
      while (p != last && *p == '0') ++p;
    }
    significant_start = p;
    for (; p != last && is_digit(*p); ++p) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    significant += p - significant_start;
    exponent -= static_cast<int>(std::min<std::ptrdiff_t>(p - fraction_start, 1000));
    any_digit = any_digit || p != fraction_start;
  }
  if (!any_digit || significant > kMaxExactDigits) return nullptr;
  if (p != last && (*p == 'e' || *p == 'E')) {
    ++p;
    const bool negative_exponent = p != last && *p == '-';
    if (p != last && (*p == '-' || *p == '+')) ++p;
    const char* const exponent_start = p;
    int written = 0;
    for (; p != last && is_digit(*p); ++p) {
      if (p - exponent_start >= 4) return nullptr;  // far beyond the exact range either way
      written = written * 10 + (*p - '0');
    }
    // "1e" or "1e+" without digits: the library stops before the "e".
    if (p == exponent_start) return nullptr;
    exponent += negative_exponent ? -written : written;
  }
  double v = 0.0;
  if (mantissa != 0) {
    if (exponent < -kMaxExactPow10 || exponent > kMaxExactPow10) return nullptr;
    v = scale_exact(static_cast<double>(mantissa), exponent);
  }
  *value = negative ? -v : v;
  return p;
}

std::from_chars_result read_double(const char* first, const char* last, double& value) {
  double v = 0.0;
  const char* const end = read_plain_decimal(first, last, &v);
  if (end != nullptr) {
    value = v;
    return {end, std::errc()};
  }
  return std::from_chars(first, last, value);
}

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

char* put_shortest(char* p, double value) {
  std::uint32_t digits = 0;
  int exponent = 0;
  if (value == 0.0 || !std::isnormal(value) || !seven_digits(value, &digits, &exponent)) {
    return std::to_chars(p, p + kDecimalTextRoom, value).ptr;
  }
  int count = 7;
  while (digits % 10 == 0) {
    digits /= 10;
    --count;
  }
  char text[24];
  put_integer(text, digits, count);
  if (value < 0) *p++ = '-';

  // Lengths without the sign: d[.ddd]e+XX against the plain decimal form;
  // the plain form wins ties.
  const int magnitude = exponent < 0 ? -exponent : exponent;
  const int scientific_length = count + (count > 1 ? 1 : 0) + 2 + (magnitude >= 100 ? 3 : 2);
  const int fixed_length = exponent >= count - 1 ? exponent + 1
                           : exponent >= 0       ? count + 1
                                                 : count + 1 - exponent;
  if (fixed_length > scientific_length) {
    *p++ = text[0];
    if (count > 1) {
      *p++ = '.';
      for (int i = 1; i < count; ++i) *p++ = text[i];
    }
    return put_exponent(p, exponent, 2);
  }
  if (exponent >= count - 1) {  // 1234500
    for (int i = 0; i < count; ++i) *p++ = text[i];
    for (int i = count - 1; i < exponent; ++i) *p++ = '0';
  } else if (exponent >= 0) {  // 12.345
    for (int i = 0; i < count; ++i) {
      *p++ = text[i];
      if (i == exponent) *p++ = '.';
    }
  } else {  // 0.0012345
    *p++ = '0';
    *p++ = '.';
    for (int i = -1; i > exponent; --i) *p++ = '0';
    for (int i = 0; i < count; ++i) *p++ = text[i];
  }
  return p;
}

char* put_fixed_quick(char* p, double value, int precision) {
  if (!std::isfinite(value) || precision < 0 || precision > 9) return nullptr;
  double rounded = 0.0;
  if (!round_scaled(std::fabs(value), precision, &rounded)) return nullptr;
  const std::uint64_t n = static_cast<std::uint64_t>(rounded);
  const std::uint64_t unit = pow10_integer(precision);
  if (std::signbit(value)) *p++ = '-';  // printf keeps the sign of -0.0 and of -1e-9
  p = put_integer(p, n / unit, 1);
  if (precision > 0) {
    *p++ = '.';
    p = put_integer(p, n % unit, precision);
  }
  return p;
}

char* put_exponent_quick(char* p, double value, int precision, int exponent_digits) {
  if (!std::isfinite(value) || precision < 0 || precision > 15 || exponent_digits < 1 ||
      exponent_digits > 3) {
    return nullptr;
  }
  std::uint64_t n = 0;
  int e = 0;
  const double a = std::fabs(value);
  if (a != 0.0) {
    if (!std::isnormal(a)) return nullptr;
    e = decimal_exponent_estimate(a);
    const double low = static_cast<double>(pow10_integer(precision));
    bool found = false;
    for (int attempt = 0; attempt < 3 && !found; ++attempt) {
      double rounded = 0.0;
      if (!round_scaled(a, precision - e, &rounded)) return nullptr;
      if (rounded >= low * 10) {
        ++e;
      } else if (rounded < low) {
        --e;
      } else {
        n = static_cast<std::uint64_t>(rounded);
        found = true;
      }
    }
    if (!found) return nullptr;
  }
  if (std::signbit(value)) *p++ = '-';
  char digits[24];
  char* const last = put_integer(digits, n, precision + 1);
  *p++ = digits[0];
  if (precision > 0) {
    *p++ = '.';
    for (const char* d = digits + 1; d != last; ++d) *p++ = *d;
  }
  return put_exponent(p, e, exponent_digits);
}

}  // namespace kalvynex

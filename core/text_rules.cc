#include "core/text_rules.h"

#include <climits>
#include <cstddef>

namespace kalvynex {
namespace {

// Folds only the Latin letters; every other byte stays as it is, so that
// Cyrillic or other 8-bit texts are compared byte for byte.
char fold_latin(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The characters the C library's isspace accepts in the "C" locale.
bool is_c_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

}  // namespace

bool equals_ignore_case(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold_latin(a[i]) != fold_latin(b[i])) return false;
  }
  return true;
}

bool starts_with_ignore_case(const std::string& text,
                             const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (fold_latin(text[i]) != fold_latin(prefix[i])) return false;
  }
  return true;
}

int atoi_clamped(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  while (is_c_space(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = (*p == '-');
    ++p;
  }
  // Accumulated as a negative number, whose range reaches INT_MIN.
  int value = 0;
  bool clamped = false;
  for (; *p >= '0' && *p <= '9'; ++p) {
    const int digit = *p - '0';
    if (clamped) continue;
    if (value < (INT_MIN + digit) / 10) {
      clamped = true;
      continue;
    }
    value = value * 10 - digit;
  }
  if (clamped) return negative ? INT_MIN : INT_MAX;
  if (negative) return value;
  return value == INT_MIN ? INT_MAX : -value;
}

int add_clamped(int a, int b) {
  if (b > 0 && a > INT_MAX - b) return INT_MAX;
  if (b < 0 && a < INT_MIN - b) return INT_MIN;
  return a + b;
}

}  // namespace kalvynex

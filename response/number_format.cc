#include "response/number_format.h"

#include "core/string_printf.h"
#include "response/decimal_text.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <utility>

namespace kalvynex {

namespace {

// Precisions beyond this carry no further information in a double; the bound
// keeps a careless caller from asking vsnprintf for gigabytes.
constexpr int kMaxPrecision = 400;

// Pads `text` with blanks on the left up to `width` bytes.
std::string pad_left(std::string text, int width) {
  if (width > 0 && text.size() < static_cast<std::size_t>(width)) {
    text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
  }
  return text;
}

// The same text through printf, for what the quick path leaves.
std::string format_exponent_printf(double value, int width, int precision) {
  std::string text = string_printf("%.*e", precision, value);
  if (std::isfinite(value)) {
    // The C library writes at least two exponent digits; widen to three.
    // The exponent is everything after the 'e' and its sign.
    const std::size_t e = text.rfind('e');
    if (e != std::string::npos && e + 1 < text.size()) {
      const std::size_t digits_start = e + 2;  // after 'e' and the sign
      const std::size_t digit_count = text.size() - digits_start;
      if (digit_count < 3) text.insert(digits_start, 3 - digit_count, '0');
    }
  }
  return pad_left(std::move(text), width);
}

}  // namespace

void append_exponent(std::string* out, double value, int width, int precision) {
  if (precision < 0) precision = 6;  // as printf treats a negative precision
  if (precision > kMaxPrecision) precision = kMaxPrecision;
  char buffer[kDecimalTextRoom];
  const char* const end = put_exponent_quick(buffer, value, precision, 3);
  if (end == nullptr) {
    *out += format_exponent_printf(value, width, precision);
    return;
  }
  const std::ptrdiff_t length = end - buffer;
  if (width > length) out->append(static_cast<std::size_t>(width - length), ' ');
  out->append(buffer, static_cast<std::size_t>(length));
}

std::string format_exponent(double value, int width, int precision) {
  std::string text;
  append_exponent(&text, value, width, precision);
  return text;
}

}  // namespace kalvynex

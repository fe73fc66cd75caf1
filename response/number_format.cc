#include "response/number_format.h"

#include <charconv>
#include <cstddef>
#include <cstring>
#include <system_error>

namespace kalvynex {

namespace {

// Precisions beyond this carry no further information in a double; the bound
// keeps a careless caller from asking for kilobytes of zeros.
constexpr int kMaxPrecision = 400;

// Room for "-d.<kMaxPrecision digits>e+308" and the widened exponent.
constexpr int kExponentRoom = kMaxPrecision + 16;

}  // namespace

void append_exponent(std::string* out, double value, int width, int precision) {
  if (precision < 0) precision = 6;  // as printf treats a negative precision
  if (precision > kMaxPrecision) precision = kMaxPrecision;
  // The scientific form of std::to_chars is printf's "%.<precision>e" text,
  // correctly rounded, with at least two exponent digits and "inf", "-inf",
  // "nan" and "-nan" spelt the same way.
  char buffer[kExponentRoom];
  const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value,
                                               std::chars_format::scientific, precision);
  if (r.ec != std::errc()) return;  // cannot happen: the room holds every double
  char* end = r.ptr;
  if (end - buffer >= 4 && end[-4] == 'e') {
    // Two exponent digits after the 'e' and its sign: widen to three.
    std::memmove(end - 1, end - 2, 2);
    end[-2] = '0';
    ++end;
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

#include "response/sacpz_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <complex>
#include <vector>

#include "core/string_printf.h"

namespace kalvynex {

std::string sacpz_time(const Timestamp& t) {
  return string_printf("%04d-%02u-%02uT%02u:%02u:%02u", t.year, t.month, t.day, t.hour, t.minute,
                       t.second);
}

namespace {

// The END that SAC reads as "still valid".
constexpr char kOpenEnd[] = "2599-12-31T23:59:59";

// `value` as printf's "%+e" writes it: seven significant digits, rounded
// from the exact binary value. When the shortest text that reads back as
// `value` has at most seven significant digits (as every number written
// with "%e" or fewer digits has), those digits are that rounding: `value`
// lies within half a unit in the last place of them, far closer than to any
// other seven-digit number or midpoint (for normal numbers). Padding them with zeros is then
// exact and much faster than rounding with a precision. Other values take
// std::to_chars with precision 6, which gives printf's digits in the C locale.
void append_number(double value, std::string* text) {
  char buffer[64];
  char* const first = buffer + 1;
  char* const last = buffer + sizeof buffer;
  std::to_chars_result result = std::to_chars(first, last, value, std::chars_format::scientific);
  char* begin = first;
  // "[-]d[.ddd]e±XX": count the digits before the exponent.
  const char* digits = *first == '-' ? first + 1 : first;
  char* const exponent = std::find(first, result.ptr, 'e');
  const std::ptrdiff_t digit_count =
      exponent - digits - (exponent - digits > 1 ? 1 : 0);  // less the point
  // Subnormal values are left out: their unit in the last place is no
  // longer tiny beside the value.
  if (result.ec == std::errc() && exponent != result.ptr && digit_count <= 7 &&
      (std::isnormal(value) || value == 0.0)) {
    char padded[64];
    char* out = padded;
    if (*first != '-') *out++ = '+';
    out = std::copy(first, exponent, out);
    if (digit_count == 1) *out++ = '.';
    for (std::ptrdiff_t i = digit_count; i < 7; ++i) *out++ = '0';
    out = std::copy(exponent, result.ptr, out);
    text->append(padded, out);
    return;
  }
  result = std::to_chars(first, last, value, std::chars_format::scientific, 6);
  if (*begin != '-') *--begin = '+';
  text->append(begin, result.ptr);
}

void append_values(const char* keyword, const std::vector<std::complex<double>>& values,
                   std::string* text) {
  *text += keyword;
  *text += ' ';
  *text += std::to_string(values.size());
  *text += '\n';
  for (const auto& v : values) {
    append_number(v.real(), text);
    *text += ' ';
    append_number(v.imag(), text);
    *text += '\n';
  }
}

}  // namespace

std::string build_sacpz_text(const SacPzPeriod& period, const PoleZeroResponse& response) {
  const char rule[] = "* **********************************\n";
  std::string text = rule;
  text += "* NETWORK   (KNETWK): " + period.codes.network + "\n";
  text += "* STATION    (KSTNM): " + period.codes.sta + "\n";
  text += "* LOCATION   (KHOLE): " + period.codes.location + "\n";
  text += "* CHANNEL   (KCMPNM): " + period.codes.chan + "\n";
  text += "* CREATED           : " + period.created + "\n";
  text += "* START             : " + sacpz_time(period.start) + "\n";
  text += "* END               : " +
          (is_open_end(period.end) ? std::string(kOpenEnd) : sacpz_time(period.end)) + "\n";
  text += "* INPUT UNIT        : M\n";
  text += "* OUTPUT UNIT       : COUNTS\n";
  text += rule;
  append_values("ZEROS", response.zeros, &text);
  append_values("POLES", response.poles, &text);
  text += "CONSTANT ";
  append_number(response.constant, &text);
  text += '\n';
  return text;
}

}  // namespace kalvynex

#include "response/sacpz_text.h"

#include <charconv>
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

// `value` as printf's "%+e" writes it. std::to_chars gives the same digits
// as "%.6e" in the C locale, several times faster.
void append_number(double value, std::string* text) {
  char buffer[64];
  char* begin = buffer + 1;
  const std::to_chars_result result =
      std::to_chars(begin, buffer + sizeof buffer, value, std::chars_format::scientific, 6);
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

#include "response/sacpz_text.h"

#include <complex>
#include <vector>

#include "core/string_printf.h"
#include "response/decimal_text.h"

namespace kalvynex {

std::string sacpz_time(const Timestamp& t) {
  if (t.year < 0 || t.year > 9999 || t.month > 99 || t.day > 99 || t.hour > 99 || t.minute > 99 ||
      t.second > 99) {
    return string_printf("%04d-%02u-%02uT%02u:%02u:%02u", t.year, t.month, t.day, t.hour,
                         t.minute, t.second);
  }
  // The common case without printf: an export writes three times a period.
  char text[] = "0000-00-00T00:00:00";
  auto put = [&text](int at, unsigned value, int width) {
    for (int i = at + width - 1; i >= at; --i) {
      text[i] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
  };
  put(0, static_cast<unsigned>(t.year), 4);
  put(5, t.month, 2);
  put(8, t.day, 2);
  put(11, t.hour, 2);
  put(14, t.minute, 2);
  put(17, t.second, 2);
  return std::string(text, sizeof text - 1);
}

namespace {

// The END that SAC reads as "still valid".
constexpr char kOpenEnd[] = "2599-12-31T23:59:59";

void append_values(const char* keyword, const std::vector<std::complex<double>>& values,
                   std::string* text) {
  *text += keyword;
  *text += ' ';
  *text += std::to_string(values.size());
  *text += '\n';
  for (const auto& v : values) {
    // "%+e %+e": seven significant digits each.
    char line[2 * kDecimalTextRoom + 2];
    char* p = put_signed_exponent(line, v.real());
    *p++ = ' ';
    p = put_signed_exponent(p, v.imag());
    *p++ = '\n';
    text->append(line, p);
  }
}

}  // namespace

std::string build_sacpz_text(const SacPzPeriod& period, const PoleZeroResponse& response) {
  const char rule[] = "* **********************************\n";
  std::string text;
  // Every line of the comment block and 33 number lines of 28 bytes hold
  // room enough for most periods: one allocation.
  text.reserve(512 + 28 * (response.zeros.size() + response.poles.size()));
  auto line = [&text](const char* label, const std::string& value) {
    text += label;
    text += value;
    text += '\n';
  };
  text += rule;
  line("* NETWORK   (KNETWK): ", period.codes.network);
  line("* STATION    (KSTNM): ", period.codes.sta);
  line("* LOCATION   (KHOLE): ", period.codes.location);
  line("* CHANNEL   (KCMPNM): ", period.codes.chan);
  line("* CREATED           : ", period.created);
  line("* START             : ", sacpz_time(period.start));
  line("* END               : ",
       is_open_end(period.end) ? std::string(kOpenEnd) : sacpz_time(period.end));
  text += "* INPUT UNIT        : M\n";
  text += "* OUTPUT UNIT       : COUNTS\n";
  text += rule;
  append_values("ZEROS", response.zeros, &text);
  append_values("POLES", response.poles, &text);
  char constant[kDecimalTextRoom];
  text += "CONSTANT ";
  text.append(constant, put_signed_exponent(constant, response.constant));
  text += '\n';
  return text;
}

}  // namespace kalvynex

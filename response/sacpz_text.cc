#include "response/sacpz_text.h"

#include <complex>
#include <vector>

#include "core/string_printf.h"
#include "response/decimal_text.h"

namespace kalvynex {

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
  line("* START             : ", timestamp_iso_text(period.start));
  line("* END               : ",
       is_open_end(period.end) ? std::string(kOpenEnd) : timestamp_iso_text(period.end));
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

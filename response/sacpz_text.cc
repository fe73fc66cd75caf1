#include "response/sacpz_text.h"

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

void append_values(const char* keyword, const std::vector<std::complex<double>>& values,
                   std::string* text) {
  *text += string_printf("%s %zu\n", keyword, values.size());
  for (const auto& v : values) *text += string_printf("%+e %+e\n", v.real(), v.imag());
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
  text += string_printf("CONSTANT %+e\n", response.constant);
  return text;
}

}  // namespace kalvynex

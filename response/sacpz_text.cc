#include "response/sacpz_text.h"

#include <charconv>
#include <complex>
#include <vector>

#include "core/string_printf.h"
#include "response/decimal_text.h"

namespace kalvynex {

namespace {

// The END that SAC reads as "still valid", and the same in a file name.
constexpr char kOpenEnd[] = "2599-12-31T23:59:59";
constexpr char kOpenEndName[] = "2599.365.23.59.59.99999";

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

// "%e": put_signed_exponent's text without a leading "+".
std::string exponent_text(double value) {
  char text[kDecimalTextRoom];
  const char* end = put_signed_exponent(text, value);
  const char* begin = text[0] == '+' ? text + 1 : text;
  return std::string(begin, end);
}

// The shortest fixed-point text that reads back as `value`, with ".0" added
// to a whole number ("20.0", "0.025", "-106.457133").
std::string place_number_text(double value) {
  char text[400];  // the longest fixed form of a double has 309 digits before the point
  const std::to_chars_result r =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  std::string out(text, r.ptr);
  if (out.find_first_of(".ni") == std::string::npos) out += ".0";
  return out;
}

// Day of the year of `t`, 1 for January 1st.
int day_of_year(const Timestamp& t) {
  static constexpr int kDaysBeforeMonth[13] = {0,   0,   31,  59,  90,  120, 151,
                                               181, 212, 243, 273, 304, 334};
  const int month = t.month >= 1 && t.month <= 12 ? t.month : 1;
  return kDaysBeforeMonth[month] + t.day + (month > 2 && is_leap_year(t.year) ? 1 : 0);
}

std::string name_time(const Timestamp& t) {
  return string_printf("%04d.%03d.%02u.%02u.%02u.0000", static_cast<int>(t.year),
                       day_of_year(t), static_cast<unsigned>(t.hour),
                       static_cast<unsigned>(t.minute), static_cast<unsigned>(t.second));
}

}  // namespace

std::string sacpz_location(const std::string& location) { return written_location(location); }

std::string sacpz_file_name(const ChannelCodes& codes, const Timestamp& start,
                            const Timestamp& end) {
  return "SAC_PZs_" + codes.network + "_" + codes.sta + "_" + codes.chan + "_" +
         sacpz_location(codes.location) + "_" + name_time(start) + "_" +
         (is_open_end(end) ? std::string(kOpenEndName) : name_time(end));
}

std::string build_sacpz_text(const SacPzPeriod& period, const PoleZeroResponse& response) {
  const char rule[] = "* **********************************\n";
  std::string text;
  // Every line of the comment block and 33 number lines of 28 bytes hold
  // room enough for most periods: one allocation.
  text.reserve(1024 + 28 * (response.zeros.size() + response.poles.size()));
  auto line = [&text](const char* label, const std::string& value) {
    text += label;
    text += value;
    text += '\n';
  };
  auto number_line = [&line](const char* label, const std::optional<double>& value) {
    if (value) line(label, place_number_text(*value));
  };
  const SacPzPlace& place = period.place;
  text += rule;
  line("* NETWORK   (KNETWK): ", period.codes.network);
  line("* STATION    (KSTNM): ", period.codes.sta);
  line("* LOCATION   (KHOLE): ", sacpz_location(period.codes.location));
  line("* CHANNEL   (KCMPNM): ", period.codes.chan);
  line("* CREATED           : ", period.created);
  line("* START             : ", timestamp_iso_text(period.start));
  line("* END               : ",
       is_open_end(period.end) ? std::string(kOpenEnd) : timestamp_iso_text(period.end));
  if (!place.description.empty()) line("* DESCRIPTION       : ", place.description);
  number_line("* LATITUDE          : ", place.latitude);
  number_line("* LONGITUDE         : ", place.longitude);
  number_line("* ELEVATION         : ", place.elevation);
  number_line("* DEPTH             : ", place.depth);
  // SAC's CMPINC: 0 up, 90 horizontal, 180 down.
  number_line("* DIP               : ",
              place.dip ? std::optional<double>(*place.dip + 90.0) : std::nullopt);
  number_line("* AZIMUTH           : ", place.azimuth);
  number_line("* SAMPLE RATE       : ", place.sample_rate);
  text += "* INPUT UNIT        : M\n";
  text += "* OUTPUT UNIT       : COUNTS\n";
  if (period.sensitivity) {
    line("* SENSITIVITY       : ", exponent_text(period.sensitivity->counts_per_metre) + " (M)");
    line("* A0                : ", exponent_text(period.sensitivity->a0));
  }
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

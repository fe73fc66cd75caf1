// format_exponent with any double, a width from -1024 to 1024 and a
// precision from -599 to 599 (negative precisions act as 6, those above 400
// as 400). Input: 8 bytes of the double, 2 of the width, 2 of the precision.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/string_printf.h"
#include "fuzz/fuzz_support.h"
#include "response/number_format.h"

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// "-d.ddde+ddd": one digit, `precision` decimals (no point without them),
// the exponent with its sign and at least three digits.
void check_exponent_form(const std::string& text, int precision) {
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') ++i;
  FUZZ_CHECK(i < text.size() && is_digit(text[i]));
  ++i;
  if (precision > 0) {
    FUZZ_CHECK(i < text.size() && text[i] == '.');
    ++i;
    for (int d = 0; d < precision; ++d, ++i) FUZZ_CHECK(i < text.size() && is_digit(text[i]));
  }
  FUZZ_CHECK(i < text.size() && text[i] == 'e');
  ++i;
  FUZZ_CHECK(i < text.size() && (text[i] == '+' || text[i] == '-'));
  ++i;
  const std::size_t digits = text.size() - i;
  FUZZ_CHECK(digits >= 3);
  for (; i < text.size(); ++i) FUZZ_CHECK(is_digit(text[i]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 12) return 0;
  double value;
  int16_t raw_width;
  int16_t raw_precision;
  std::memcpy(&value, data, sizeof value);
  std::memcpy(&raw_width, data + 8, sizeof raw_width);
  std::memcpy(&raw_precision, data + 10, sizeof raw_precision);
  const int width = raw_width % 1025;
  const int precision = raw_precision % 600;

  const std::string text = kalvynex::format_exponent(value, width, precision);

  if (width > 0) FUZZ_CHECK(text.size() >= static_cast<std::size_t>(width));
  const std::size_t first = text.find_first_not_of(' ');
  FUZZ_CHECK(first != std::string::npos);
  const std::string number = text.substr(first);
  // Blanks only pad up to the width.
  if (first > 0) FUZZ_CHECK(text.size() == static_cast<std::size_t>(width));

  if (!std::isfinite(value)) {
    FUZZ_CHECK(number == "inf" || number == "-inf" || number == "nan" || number == "-nan");
    return 0;
  }
  const int effective_precision = precision < 0 ? 6 : (precision > 400 ? 400 : precision);
  check_exponent_form(number, effective_precision);
  // Widening the exponent does not change the number written.
  const std::string plain = kalvynex::string_printf("%.*e", effective_precision, value);
  FUZZ_CHECK(std::strtod(number.c_str(), nullptr) == std::strtod(plain.c_str(), nullptr));
  return 0;
}

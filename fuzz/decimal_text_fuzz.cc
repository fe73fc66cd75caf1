// The quick "%+e" writer against printf, which it stands in for (same text
// for every double): the input's first 8 bytes taken as a double; the number
// the input reads as, when it is one; and a seven-digit decimal built from
// the input with an exponent from -330 to +330, as stored pole-zero texts
// hold them. That last one reaches both sides of the quick path, its exact
// range and the three-digit exponents (1e-300, -1.234567e+300) beyond it.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "response/decimal_text.h"

namespace {

void check_writing(double value) {
  char mine[kalvynex::kDecimalTextRoom + 1];
  char theirs[512];
  char* const end = kalvynex::put_signed_exponent(mine, value);
  std::snprintf(theirs, sizeof theirs, "%+e", value);
  FUZZ_CHECK(std::string(mine, end) == theirs);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  if (size >= sizeof(double)) {
    double value = 0.0;
    std::memcpy(&value, data, sizeof value);
    check_writing(value);
  }
  double read = 0.0;
  if (std::from_chars(text, text + size, read).ec == std::errc()) check_writing(read);

  // The first 4 bytes give the digits and the sign, the next 2 the exponent.
  if (size >= 6) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, data, sizeof bits);
    std::uint16_t exponent_bits = 0;
    std::memcpy(&exponent_bits, data + 4, sizeof exponent_bits);
    const unsigned digits = 1000000 + (bits >> 1) % 9000000;
    const int exponent = static_cast<int>(exponent_bits % 661) - 330;
    char decimal[40];
    std::snprintf(decimal, sizeof decimal, "%s%ue%d", (bits & 1) != 0 ? "-" : "", digits,
                  exponent - 6);
    check_writing(std::strtod(decimal, nullptr));
  }
  return 0;
}

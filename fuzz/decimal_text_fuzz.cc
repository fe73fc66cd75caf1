// The quick number routines against the libraries they stand in for: the
// input read as a text by read_double and by std::from_chars (same value bit
// for bit, same end, same error), and its first 8 bytes taken as a double
// and written by every writer and by printf or std::to_chars (same text).
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "response/decimal_text.h"

namespace {

void check_reading(const char* first, const char* last) {
  double quick = -7.0;
  double library = -7.0;
  const std::from_chars_result a = kalvynex::read_double(first, last, quick);
  const std::from_chars_result b = std::from_chars(first, last, library);
  FUZZ_CHECK(a.ptr == b.ptr);
  FUZZ_CHECK(a.ec == b.ec);
  FUZZ_CHECK(std::memcmp(&quick, &library, sizeof quick) == 0);
}

void check_writing(double value) {
  char mine[kalvynex::kDecimalTextRoom + 1];
  char theirs[512];
  char* end = kalvynex::put_signed_exponent(mine, value);
  std::snprintf(theirs, sizeof theirs, "%+e", value);
  FUZZ_CHECK(std::string(mine, end) == theirs);
  if (std::isfinite(value)) {
    end = kalvynex::put_shortest(mine, value);
    const std::to_chars_result r = std::to_chars(theirs, theirs + sizeof theirs, value);
    FUZZ_CHECK(std::string(mine, end) == std::string(theirs, r.ptr));
  }
  for (int precision = 0; precision <= 9; ++precision) {
    end = kalvynex::put_fixed_quick(mine, value, precision);
    if (end == nullptr) continue;
    std::snprintf(theirs, sizeof theirs, "%.*f", precision, value);
    FUZZ_CHECK(std::string(mine, end) == theirs);
  }
  for (int precision = 0; precision <= 15; ++precision) {
    end = kalvynex::put_exponent_quick(mine, value, precision, 2);
    if (end == nullptr) continue;
    std::snprintf(theirs, sizeof theirs, "%.*e", precision, value);
    FUZZ_CHECK(std::string(mine, end) == theirs);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  check_reading(text, text + size);
  if (size >= sizeof(double)) {
    double value = 0.0;
    std::memcpy(&value, data, sizeof value);
    check_writing(value);
  }
  // The number a text holds, written back.
  double read = 0.0;
  if (std::from_chars(text, text + size, read).ec == std::errc()) check_writing(read);
  return 0;
}

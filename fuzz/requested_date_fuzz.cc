// The DATE= text read as a timestamp. Input: the text.
#include "app/requested_date.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const kalvynex::Timestamp date = kalvynex::parse_requested_date(text);
  // Four characters at most for the year; month and day never 0, the month
  // never above 12.
  FUZZ_CHECK(date.year >= -999 && date.year <= 9999);
  FUZZ_CHECK(date.month >= 1 && date.month <= 12);
  FUZZ_CHECK(date.day >= 1);
  FUZZ_CHECK(date.fraction == 0);
  return 0;
}

#include "core/json_text.h"

#include <string>

#include <gtest/gtest.h>

namespace kalvynex {
namespace {

TEST(JsonTextTest, EscapesExactlyWhatJsonRequires) {
  const struct {
    std::string in;
    std::string out;
  } rows[] = {
      {"", "\"\""},
      {"BHZ", "\"BHZ\""},
      {"a\"b", "\"a\\\"b\""},
      {"a\\b", "\"a\\\\b\""},
      {"/", "\"/\""},
      {"\n\r\t", "\"\\n\\r\\t\""},
      {std::string(1, '\0'), "\"\\u0000\""},
      {"\x01\x08\x0b\x0c\x1f", "\"\\u0001\\u0008\\u000b\\u000c\\u001f\""},
      {" ~", "\" ~\""},              // the first and last bytes that pass below 0x7F
      {"\x7f", "\"\x7f\""},          // DEL is no control character to JSON
      {"\xc3\xa9", "\"\xc3\xa9\""},  // UTF-8 passes byte for byte
      {"\xff", "\"\xff\""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(json_string(row.in), row.out) << row.in;
  }
}

}  // namespace
}  // namespace kalvynex

#include "core/json_text.h"

#include <string>

#include <gtest/gtest.h>

#include "core/terminal_text.h"
#include "core/utf8_text.h"

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
      {"a\\b", "\"a\\\\\\\\b\""},  // value a\\b: a backslash stands as two
      {"/", "\"/\""},
      {"\n\r\t", "\"\\n\\r\\t\""},
      {std::string(1, '\0'), "\"\\u0000\""},
      {"\x01\x08\x0b\x0c\x1f", "\"\\u0001\\u0008\\u000b\\u000c\\u001f\""},
      {" ~", "\" ~\""},
      {"\x7f", "\"\x7f\""},
      {"\xc3\xa9", "\"\xc3\xa9\""},
      {"\xf4\x8f\xbf\xbf", "\"\xf4\x8f\xbf\xbf\""},
      {"\xff", "\"\\\\xff\""},  // value \xff
      {"\xc3", "\"\\\\xc3\""},
      {"\xe0\x9f\xbf", "\"\\\\xe0\\\\x9f\\\\xbf\""},
      {"\xed\xa0\x80", "\"\\\\xed\\\\xa0\\\\x80\""},
      {"\xf4\x90\x80\x80", "\"\\\\xf4\\\\x90\\\\x80\\\\x80\""},
      {"\xc3\xa9\xff", "\"\xc3\xa9\\\\xff\""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(json_string(row.in), row.out) << terminal_text(row.in);
    EXPECT_TRUE(is_valid_utf8(json_string(row.in))) << terminal_text(row.in);
  }
  // The byte 0xFF and the four characters \xff stay apart.
  EXPECT_NE(json_string("\xff"), json_string("\\xff"));
}

}  // namespace
}  // namespace kalvynex

// The rule for unusable codes and the escape of texts from data for a
// terminal: both sides of every limit, exact bytes.
#include <string>

#include <gtest/gtest.h>

#include "core/channel_codes.h"
#include "core/terminal_text.h"

namespace kalvynex {
namespace {

TEST(CodeTextTest, UsableCodes) {
  const struct {
    std::string code;
    bool usable;
  } rows[] = {
      {"", true},
      {"BHZ", true},
      {"\x1f", false},
      {" ", true},  // 0x20
      {"~", true},  // 0x7E
      {"\x7f", false},
      {std::string("A\0B", 3), false},
      {"NL\nPOLES 1", false},
      {"\x1b]0;x\x07", false},
      {"/", false},
      {"../../PWNED", false},
      {"..", false},
      {".", false},
      {"...", true},
      {".a", true},
      {"a.", true},
      {"\\", true},
      {"\xc2\x80", true},                        // smallest 2-byte sequence
      {"\xc1\xbf", false},                       // overlong 2-byte
      {"\xe0\xa0\x80", true},                    // smallest 3-byte sequence
      {"\xe0\x9f\xbf", false},                   // overlong 3-byte
      {"\xed\x9f\xbf", true},                    // U+D7FF
      {"\xed\xa0\x80", false},                   // U+D800, a surrogate
      {"\xef\xbf\xbd", true},                    // U+FFFD
      {"\xef\xbf\xbe", false},                   // U+FFFE: no XML character
      {"\xef\xbf\xbf", false},                   // U+FFFF
      {"\xf0\x90\x80\x80", true},                // smallest 4-byte sequence
      {"\xf0\x8f\xbf\xbf", false},               // overlong 4-byte
      {"\xf4\x8f\xbf\xbf", true},                // U+10FFFF
      {"\xf4\x90\x80\x80", false},               // above U+10FFFF
      {"\xe2\x82", false},                       // cut short
      {"\xc3", false},
      {"\xff", false},
      {"\x80", false},                           // a lone continuation byte
  };
  for (const auto& row : rows) {
    EXPECT_EQ(is_usable_code(row.code), row.usable) << terminal_text(row.code);
  }
}

TEST(CodeTextTest, UnusableCodesText) {
  ChannelCodes codes{"NL\nPOLES 1", "BHZ", "X/Y", ""};
  EXPECT_EQ(unusable_codes_text(codes),
            "network \"X/Y\" holds a \"/\"; station \"NL\nPOLES 1\" holds a control byte");
  EXPECT_TRUE(unusable_codes_text(ChannelCodes{"ABC", "BHZ", "XX", ""}).empty());
  EXPECT_EQ(unusable_codes_text(ChannelCodes{"ABC", "\xff", "..", "00"}),
            "network \"..\" is \".\" or \"..\"; channel \"\xff\" is not well-formed UTF-8");
}

TEST(CodeTextTest, TerminalText) {
  const struct {
    std::string in;
    std::string out;
  } rows[] = {
      {"", ""},
      {"BHZ ~", "BHZ ~"},
      {"NL\nPOLES 1", "NL\\x0aPOLES 1"},
      {std::string("A\0B", 3), "A\\x00B"},
      {"\x1b[2J\x07\x01\x1f\x7f", "\\x1b[2J\\x07\\x01\\x1f\\x7f"},
      {"\\x0a", "\\\\x0a"},  // a backslash of the text is doubled
      {"\xff\xfe", "\\xff\\xfe"},
      {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"},
      {"\xe2\x82", "\\xe2\\x82"},      // cut short
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"},  // a surrogate
      {"\xc2\x9b" "31m", "\\xc2\\x9b31m"},  // U+009B, a C1 control
      {"\xc2\xa0", "\xc2\xa0"},        // U+00A0, the first character after them
      {"\xef\xbf\xbf", "\xef\xbf\xbf"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(terminal_text(row.in), row.out) << row.out;
  }
}

}  // namespace
}  // namespace kalvynex

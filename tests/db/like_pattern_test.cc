// The selection patterns of kalvynex-inventory as LIKE operands: the exact
// bytes the catalog binds, ESCAPE '!' being its statement's escape. "?"
// must become "_" (exactly one character: "A?" matches AB, not A or ABC),
// never "%".
#include "db/calibration_catalog.h"

#include <gtest/gtest.h>

namespace kalvynex {
namespace {

TEST(LikePatternTest, TranslatesWildcardsAndEscapesLikeOwnCharacters) {
  const struct {
    const char* code_pattern;
    const char* like;
  } cases[] = {
      {"BHZ", "BHZ"},
      {"*", "%"},
      {"?", "_"},
      {"A?", "A_"},
      {"B*Z", "B%Z"},
      {"??*", "__%"},
      // LIKE's own characters and the escape stand for themselves.
      {"%", "!%"},
      {"_", "!_"},
      {"!", "!!"},
      {"A_C", "A!_C"},
      {"B%Z", "B!%Z"},
      {"*?%_!", "%_!%!_!!"},
      // "--" alone is the empty location; other dashes are plain characters.
      {"--", ""},
      {"-", "-"},
      {"---", "---"},
      {"A--", "A--"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(like_pattern(c.code_pattern), c.like) << "'" << c.code_pattern << "'";
  }
}

}  // namespace
}  // namespace kalvynex

// Small text rules shared by the readers of command-line words, settings
// files and TYPE_OUT texts. Texts are 8-bit strings; only the Latin letters
// A-Z and a-z are folded when case is ignored.
#ifndef KALVYNEX_CORE_TEXT_RULES_H_
#define KALVYNEX_CORE_TEXT_RULES_H_

#include <string>

namespace kalvynex {

// True when both texts are equal, Latin letters compared without case.
bool equals_ignore_case(const std::string& a, const std::string& b);

// True when `text` begins with `prefix`, Latin letters compared without case.
bool starts_with_ignore_case(const std::string& text, const std::string& prefix);

// Reads an integer by the C library's atoi rule: leading white space skipped,
// an optional sign, then the digits up to the first other character; 0 when
// there are no digits. Unlike atoi, a value outside the range of int is
// clamped to INT_MIN or INT_MAX instead of being undefined.
int atoi_clamped(const char* text);

// a + b without overflow, clamped to the range of int.
int add_clamped(int a, int b);

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_TEXT_RULES_H_

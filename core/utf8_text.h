// UTF-8 as the programs' texts need it: which bytes form a well-formed
// sequence (the Unicode standard's table of well-formed byte sequences: no
// overlong form, no surrogate, nothing above U+10FFFF, nothing cut short).
#ifndef KALVYNEX_CORE_UTF8_TEXT_H_
#define KALVYNEX_CORE_UTF8_TEXT_H_

#include <cstddef>
#include <string>

namespace kalvynex {

// The length (1 to 4) of the well-formed UTF-8 sequence that starts at
// text[pos], or 0 when the byte there starts none. An ASCII byte, control
// bytes included, is a sequence of length 1.
std::size_t utf8_sequence_length(const std::string& text, std::size_t pos);

// True when the whole text is well-formed UTF-8.
bool is_valid_utf8(const std::string& text);

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_UTF8_TEXT_H_

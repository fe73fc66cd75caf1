// Texts from data (codes, driver messages, file names) as the programs show
// them on a terminal or on the error stream: nothing in them can move the
// cursor, change a window title or start a new line.
#ifndef KALVYNEX_CORE_TERMINAL_TEXT_H_
#define KALVYNEX_CORE_TERMINAL_TEXT_H_

#include <string>

namespace kalvynex {

// `text` with every byte that a terminal could take for a command written
// as "\xHH" (two lower-case hex digits): the control bytes 00..1F and 7F,
// each byte of the C1 control characters U+0080..U+009F (which some
// terminals obey in UTF-8 too: "\xc2\x9b"), and every byte that is not part
// of well-formed UTF-8. A backslash is written "\\", so the escaped text
// reads back to exactly one text. Every other character, well-formed UTF-8
// included, passes as it is.
std::string terminal_text(const std::string& text);

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_TERMINAL_TEXT_H_

// The usage screen, shown for a help word: a description in Russian, the
// parameters and the result codes.
#ifndef KALVYNEX_CONFIG_USAGE_H_
#define KALVYNEX_CONFIG_USAGE_H_

#include <cstdio>
#include <string>

namespace kalvynex {

// The screen exactly as printed, in UTF-8: 53 lines, each ending in LF; the
// banner carries the version of the build.
std::string usage_text();

// `utf8` converted for a console whose charset (nl_langinfo(CODESET)) is
// `codeset`: unchanged for UTF-8, ASCII and unknown charsets; converted with
// iconv for the Cyrillic single-byte charsets (CP866, KOI8-R, CP1251 and
// their aliases; a character the charset lacks becomes "?"). ASCII bytes
// are the same in all of them.
std::string to_console_charset(const std::string& utf8, const std::string& codeset);

// Prints the screen on `out` in the charset of the user's locale: sets
// LC_CTYPE from the environment (setlocale(LC_CTYPE, "")) and converts for
// nl_langinfo(CODESET). Write failures are ignored.
void print_usage(std::FILE* out);

}  // namespace kalvynex

#endif  // KALVYNEX_CONFIG_USAGE_H_

// JSON string literals for the programs' JSON output (the list and check
// commands of kalvynex-inventory).
#ifndef KALVYNEX_CORE_JSON_TEXT_H_
#define KALVYNEX_CORE_JSON_TEXT_H_

#include <string>

namespace kalvynex {

// `text` as a JSON string, quotes included; the result is always
// well-formed UTF-8. '"' takes a backslash; line feed, carriage return and
// tab their short escapes (\n, \r, \t), every other byte below 0x20 its
// \u00XX form. A byte that is not part of well-formed UTF-8 stands as the
// four characters \xHH (lower-case hex) in the string's value, and so that
// no two texts give one value, a backslash of the text stands as two in the
// value: the JSON "\\\\" is one backslash of the text, "\\xff" the byte
// 0xFF. Every other character passes as it is (DEL included).
std::string json_string(const std::string& text);

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_JSON_TEXT_H_

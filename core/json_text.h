// JSON string literals for the programs' JSON output (the list and check
// commands of kalvynex-inventory).
#ifndef KALVYNEX_CORE_JSON_TEXT_H_
#define KALVYNEX_CORE_JSON_TEXT_H_

#include <string>

namespace kalvynex {

// `text` as a JSON string, quotes included: '"' and '\' take a backslash,
// line feed, carriage return and tab their short escapes (\n, \r, \t), every
// other byte below 0x20 its \u00XX form. Every other byte (0x7F and bytes
// above it included) passes as it is, so UTF-8 text stays UTF-8.
std::string json_string(const std::string& text);

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_JSON_TEXT_H_

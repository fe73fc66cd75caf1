#include "core/json_text.h"

#include "core/string_printf.h"

namespace kalvynex {

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          out += string_printf("\\u%04x", c);
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

}  // namespace kalvynex

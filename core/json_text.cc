#include "core/json_text.h"

#include "core/string_printf.h"
#include "core/utf8_text.h"

namespace kalvynex {

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = utf8_sequence_length(text, pos);
    const auto c = static_cast<unsigned char>(text[pos]);
    if (length == 0) {
      out += string_printf("\\\\x%02x", c);
      ++pos;
      continue;
    }
    if (length > 1) {
      out.append(text, pos, length);
      pos += length;
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          out += string_printf("\\u%04x", c);
        } else {
          out += static_cast<char>(c);
        }
    }
    ++pos;
  }
  return out + "\"";
}

}  // namespace kalvynex

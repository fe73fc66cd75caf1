#include "core/terminal_text.h"

#include "core/utf8_text.h"

namespace kalvynex {

namespace {

void append_hex_byte(char c, std::string* out) {
  static const char kDigits[] = "0123456789abcdef";
  const auto b = static_cast<unsigned char>(c);
  *out += "\\x";
  *out += kDigits[b >> 4];
  *out += kDigits[b & 0x0F];
}

}  // namespace

std::string terminal_text(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = utf8_sequence_length(text, pos);
    const auto lead = static_cast<unsigned char>(text[pos]);
    const bool c1 = length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[pos + 1]) < 0xA0;
    if (length == 0 || c1 || lead < 0x20 || lead == 0x7F) {
      const std::size_t count = length == 0 ? 1 : length;
      for (std::size_t i = 0; i < count; ++i) append_hex_byte(text[pos + i], &out);
      pos += count;
      continue;
    }
    if (lead == '\\') {
      out += "\\\\";
    } else {
      out.append(text, pos, length);
    }
    pos += length;
  }
  return out;
}

}  // namespace kalvynex

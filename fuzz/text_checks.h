// Checks of the texts the programs write, kept apart from the code under
// test: well-formed UTF-8, JSON string literals read back, and the
// backslash escapes of json_string's values and of terminal_text undone, so
// that a target can compare what was written with what went in.
#ifndef KALVYNEX_FUZZ_TEXT_CHECKS_H_
#define KALVYNEX_FUZZ_TEXT_CHECKS_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace kalvynex_fuzz {

// Well-formed UTF-8 by the Unicode standard's table: no overlong form, no
// surrogate, nothing above U+10FFFF, nothing cut short.
inline bool well_formed_utf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::size_t n;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (b < 0x80) {
      n = 0;
    } else if (b >= 0xC2 && b <= 0xDF) {
      n = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      n = 2;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      n = 3;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (i + n >= text.size()) return false;  // cut short
    for (std::size_t k = 1; k <= n; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF)) return false;
    }
    i += n + 1;
  }
  return true;
}

inline int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

inline void put_utf8(unsigned code, std::string* out) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | (code >> 6));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xE0 | (code >> 12));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Reads the JSON string literal at text[*pos] (RFC 8259: quotes, the
// escapes \" \\ \/ \b \f \n \r \t \uXXXX outside the surrogates, no raw
// byte below 0x20) into *value and moves *pos past it. False when there is
// no well-formed literal there.
inline bool read_json_string(const std::string& text, std::size_t* pos, std::string* value) {
  std::size_t i = *pos;
  value->clear();
  if (i >= text.size() || text[i] != '"') return false;
  ++i;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (static_cast<unsigned char>(c) < 0x20) return false;
    if (c != '\\') {
      *value += c;
      ++i;
      continue;
    }
    if (i + 1 >= text.size()) return false;
    const char e = text[i + 1];
    i += 2;
    switch (e) {
      case '"': *value += '"'; break;
      case '\\': *value += '\\'; break;
      case '/': *value += '/'; break;
      case 'b': *value += '\b'; break;
      case 'f': *value += '\f'; break;
      case 'n': *value += '\n'; break;
      case 'r': *value += '\r'; break;
      case 't': *value += '\t'; break;
      case 'u': {
        if (i + 4 > text.size()) return false;
        unsigned code = 0;
        for (int k = 0; k < 4; ++k) {
          const int h = hex_value(text[i + k]);
          if (h < 0) return false;
          code = code * 16 + static_cast<unsigned>(h);
        }
        if (code >= 0xD800 && code <= 0xDFFF) return false;
        put_utf8(code, value);
        i += 4;
        break;
      }
      default:
        return false;
    }
  }
  return false;
}

// Undoes the escapes that json_string puts into a value and terminal_text
// into its text: "\\" stands for one backslash, "\xHH" (lower-case hex) for
// the byte HH. False for any other backslash.
inline bool undo_backslash_escapes(const std::string& escaped, std::string* text) {
  text->clear();
  for (std::size_t i = 0; i < escaped.size();) {
    if (escaped[i] != '\\') {
      *text += escaped[i++];
      continue;
    }
    if (i + 1 < escaped.size() && escaped[i + 1] == '\\') {
      *text += '\\';
      i += 2;
      continue;
    }
    if (i + 3 < escaped.size() && escaped[i + 1] == 'x') {
      const char a = escaped[i + 2];
      const char b = escaped[i + 3];
      const bool lower = (a < 'A' || a > 'F') && (b < 'A' || b > 'F');
      const int h = hex_value(a);
      const int l = hex_value(b);
      if (!lower || h < 0 || l < 0) return false;
      *text += static_cast<char>(h * 16 + l);
      i += 4;
      continue;
    }
    return false;
  }
  return true;
}

// True when `text` holds nothing a terminal obeys: no byte 00..1F or 7F, no
// C1 control (C2 80..C2 9F), and well-formed UTF-8.
inline bool terminal_safe(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x20 || b == 0x7F) return false;
    if (b == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      return false;
    }
  }
  return well_formed_utf8(text);
}

// The same rule as code_problem, written again from its description: no
// "/", no control byte, well-formed UTF-8 without U+FFFE and U+FFFF, not
// "." or "..".
inline bool usable_code(const std::string& code) {
  if (code == "." || code == ".." || !well_formed_utf8(code)) return false;
  for (std::size_t i = 0; i < code.size(); ++i) {
    const auto b = static_cast<unsigned char>(code[i]);
    if (b == '/' || b < 0x20 || b == 0x7F) return false;
    if (b == 0xEF && i + 2 < code.size() && static_cast<unsigned char>(code[i + 1]) == 0xBF &&
        static_cast<unsigned char>(code[i + 2]) >= 0xBE) {
      return false;
    }
  }
  return true;
}

}  // namespace kalvynex_fuzz

#endif  // KALVYNEX_FUZZ_TEXT_CHECKS_H_

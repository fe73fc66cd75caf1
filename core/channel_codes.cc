#include "core/channel_codes.h"

#include "core/utf8_text.h"

namespace kalvynex {

const char* code_problem(const std::string& code) {
  if (code == "." || code == "..") return "is \".\" or \"..\"";
  for (std::size_t pos = 0; pos < code.size();) {
    const std::size_t length = utf8_sequence_length(code, pos);
    if (length == 0) return "is not well-formed UTF-8";
    const auto lead = static_cast<unsigned char>(code[pos]);
    if (lead == '/') return "holds a \"/\"";
    if (lead < 0x20 || lead == 0x7F) return "holds a control byte";
    // EF BF BE and EF BF BF: U+FFFE and U+FFFF.
    if (length == 3 && lead == 0xEF && static_cast<unsigned char>(code[pos + 1]) == 0xBF &&
        static_cast<unsigned char>(code[pos + 2]) >= 0xBE) {
      return "holds U+FFFE or U+FFFF";
    }
    pos += length;
  }
  return nullptr;
}

bool has_usable_codes(const ChannelCodes& codes) {
  return is_usable_code(codes.network) && is_usable_code(codes.sta) &&
         is_usable_code(codes.location) && is_usable_code(codes.chan);
}

std::string unusable_codes_text(const ChannelCodes& codes) {
  const struct {
    const char* name;
    const std::string& code;
  } fields[] = {{"network", codes.network},
                {"station", codes.sta},
                {"location", codes.location},
                {"channel", codes.chan}};
  std::string text;
  for (const auto& field : fields) {
    const char* problem = code_problem(field.code);
    if (problem == nullptr) continue;
    if (!text.empty()) text += "; ";
    text += std::string(field.name) + " \"" + field.code + "\" " + problem;
  }
  return text;
}

}  // namespace kalvynex

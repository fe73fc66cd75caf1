// json_string and terminal_text on any bytes (the codes, messages and file
// names of the list and check output). Input: two texts, split at the first
// NUL byte (the rest, NUL bytes included, is the second). Each output is
// checked by reading it back: a JSON string literal of well-formed UTF-8
// whose value, its backslash escapes undone, is the text again; a terminal
// text with no control byte or C1 control that reads back the same way. Two
// different texts never give one output.
#include <cstring>

#include "core/json_text.h"
#include "core/terminal_text.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/text_checks.h"

namespace {

void check_json(const std::string& text, const std::string& json) {
  FUZZ_CHECK(kalvynex_fuzz::well_formed_utf8(json));
  std::size_t pos = 0;
  std::string value;
  FUZZ_CHECK(kalvynex_fuzz::read_json_string(json, &pos, &value));
  FUZZ_CHECK(pos == json.size());
  FUZZ_CHECK(kalvynex_fuzz::well_formed_utf8(value));
  std::string back;
  FUZZ_CHECK(kalvynex_fuzz::undo_backslash_escapes(value, &back));
  FUZZ_CHECK(back == text);
}

void check_terminal(const std::string& text, const std::string& shown) {
  FUZZ_CHECK(kalvynex_fuzz::terminal_safe(shown));
  std::string back;
  FUZZ_CHECK(kalvynex_fuzz::undo_backslash_escapes(shown, &back));
  FUZZ_CHECK(back == text);
  // What a terminal may show as it is passes unchanged.
  if (kalvynex_fuzz::terminal_safe(text) && text.find('\\') == std::string::npos) {
    FUZZ_CHECK(shown == text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const void* nul = std::memchr(data, 0, size);
  const std::size_t cut = nul == nullptr ? size : static_cast<const uint8_t*>(nul) - data;
  const std::string a(bytes, cut);
  const std::string b = cut < size ? std::string(bytes + cut + 1, size - cut - 1) : std::string();
  const std::string whole(bytes, size);

  for (const std::string* text : {&a, &b, &whole}) {
    check_json(*text, kalvynex::json_string(*text));
    check_terminal(*text, kalvynex::terminal_text(*text));
  }
  if (a != b) {
    FUZZ_CHECK(kalvynex::json_string(a) != kalvynex::json_string(b));
    FUZZ_CHECK(kalvynex::terminal_text(a) != kalvynex::terminal_text(b));
  }
  return 0;
}

#include "config/settings_file.h"

#include <fstream>
#include <optional>

#include "core/text_rules.h"

namespace kalvynex {
namespace {

constexpr char kBlanks[] = " \t\v\f\r";

std::string trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return std::string();
  const std::size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

// One pair of matching quotes around a whole value is dropped, as the
// Windows profile reader does: KEY="a b" gives a b.
std::string unquote(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// The value of `key` in the first section named `section`, or nothing when
// the file, the section or the key is missing.
std::optional<std::string> find_value(const std::string& path,
                                      const std::string& section,
                                      const std::string& key) {
  if (path.empty()) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;

  bool in_section = false;
  bool first_line = true;
  std::string line;
  while (std::getline(file, line)) {
    // A UTF-8 byte order mark before the first line is not part of it.
    if (first_line && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    first_line = false;
    if (!line.empty() && line.back() == '\r') line.pop_back();

    const std::string text = trim(line);
    if (text.empty() || text[0] == ';' || text[0] == '#') continue;

    if (text[0] == '[') {
      // Leaving the first section of the wanted name ends the search: a later
      // section of the same name is not read.
      if (in_section) return std::nullopt;
      const std::size_t close = text.find(']');
      const std::string name =
          trim(close == std::string::npos ? text.substr(1)
                                          : text.substr(1, close - 1));
      in_section = equals_ignore_case(name, section);
      continue;
    }
    if (!in_section) continue;

    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) continue;
    if (equals_ignore_case(trim(text.substr(0, equals)), key)) {
      return unquote(trim(text.substr(equals + 1)));
    }
  }
  return std::nullopt;
}

}  // namespace

std::string read_settings_string(const std::string& path,
                                 const std::string& section,
                                 const std::string& key,
                                 const std::string& default_value) {
  std::optional<std::string> value = find_value(path, section, key);
  std::string result = value ? *value : default_value;
  if (result.size() > kMaxSettingsValueLength) {
    result.resize(kMaxSettingsValueLength);
  }
  return result;
}

int read_settings_int(const std::string& path, const std::string& section,
                      const std::string& key, int default_value) {
  const std::optional<std::string> value = find_value(path, section, key);
  if (!value) return default_value;
  return atoi_clamped(value->c_str());
}

}  // namespace kalvynex

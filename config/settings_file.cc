#include "config/settings_file.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <optional>

#include "config/regular_file.h"
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

// Bytes of a line kept in memory: room for a key and a whole value of
// kMaxSettingsValueLength bytes behind it. The rest of a longer line is read
// and dropped, so a file of one endless line costs no memory.
constexpr std::size_t kMaxKeptLineLength = 2 * kMaxSettingsValueLength + 2;

// One line of a settings file, cut to kMaxKeptLineLength bytes, without its
// LF. `last` is the last byte of the whole line that is no blank (0: none),
// so that quotes around a value can be seen even when the line was cut.
struct Line {
  std::string text;
  bool cut = false;
  char last = 0;
};

// Reads the next line of `file`; false at the end of the file.
bool read_line(std::FILE* file, Line* line) {
  line->text.clear();
  line->cut = false;
  line->last = 0;
  int c = std::getc(file);
  if (c == EOF) return false;
  for (; c != EOF && c != '\n'; c = std::getc(file)) {
    if (c == 0 || std::strchr(kBlanks, c) == nullptr) {
      line->last = static_cast<char>(c);
    }
    if (line->text.size() < kMaxKeptLineLength) {
      line->text += static_cast<char>(c);
    } else {
      line->cut = true;
    }
  }
  return true;
}

// One pair of matching quotes around a whole value is dropped, as the
// Windows profile reader does: KEY="a b" gives a b. `last` is the last
// non-blank byte of the line the value ends, which a cut value lacks.
std::string unquote(const std::string& value, bool cut, char last) {
  if (cut) {
    const bool quoted = !value.empty() && (value.front() == '"' || value.front() == '\'');
    if (quoted && last == value.front()) {
      return value.substr(1);
    }
    return value;
  }
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// Opens `path` for reading when it is a regular file: a FIFO would block, a
// device such as /dev/zero never ends, and a directory holds no settings;
// each counts as a missing file. Null when absent.
std::FILE* open_settings_file(const std::string& path) {
  const int fd = open_regular_file(path, nullptr);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) close(fd);
  return file;
}

std::optional<std::string> find_value_in(std::FILE* file, const std::string& section,
                                         const std::string& key);

// The value of `key` in the first section named `section`, or nothing when
// the file, the section or the key is missing.
std::optional<std::string> find_value(const std::string& path,
                                      const std::string& section,
                                      const std::string& key) {
  if (path.empty()) return std::nullopt;
  std::FILE* const file = open_settings_file(path);
  if (file == nullptr) return std::nullopt;
  std::optional<std::string> value = find_value_in(file, section, key);
  std::fclose(file);
  return value;
}

std::optional<std::string> find_value_in(std::FILE* file, const std::string& section,
                                         const std::string& key) {
  bool in_section = false;
  bool first_line = true;
  Line read;
  while (read_line(file, &read)) {
    std::string& line = read.text;
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
      return unquote(trim(text.substr(equals + 1)), read.cut, read.last);
    }
  }
  return std::nullopt;
}

}  // namespace

bool is_readable_regular_file(const std::string& path) {
  std::FILE* const file = open_settings_file(path);
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

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

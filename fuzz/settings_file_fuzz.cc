// The settings-file reader. Input: the section name on the first line, the
// key on the second, the file's contents after them.
#include "config/settings_file.h"
#include "core/text_rules.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/scratch_files.h"

namespace {

// Latin letters with their case swapped; every other byte unchanged.
std::string swap_case(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kalvynex;
  static kalvynex_fuzz::ScratchFiles files;

  std::string section;
  std::string rest;
  kalvynex_fuzz::split_first_line(data, size, &section, &rest);
  std::string key;
  std::string contents;
  kalvynex_fuzz::split_first_line(reinterpret_cast<const uint8_t*>(rest.data()), rest.size(), &key,
                                  &contents);
  files.write("settings.ini", contents);
  const std::string path = files.path("settings.ini");

  // No value read from a file holds a LF, so this default is told apart.
  const std::string missing = "\nmissing";
  const std::string value = read_settings_string(path, section, key, missing);
  FUZZ_CHECK(value.size() <= kMaxSettingsValueLength);
  const int number = read_settings_int(path, section, key, -12345);
  if (value == missing) {
    FUZZ_CHECK(number == -12345);
  } else {
    FUZZ_CHECK(value.find('\n') == std::string::npos);
    if (value.size() < kMaxSettingsValueLength) FUZZ_CHECK(number == atoi_clamped(value.c_str()));
  }
  // Section and key names are compared without regard to case.
  FUZZ_CHECK(read_settings_string(path, swap_case(section), swap_case(key), missing) == value);

  // The lookups of a run on the same file.
  read_settings_string(path, "DATABASE", "ODBC", "");
  read_settings_int(path, "DATABASE", "USE_TEND", -1);
  read_settings_string(path, "OUT", "DIR", "0");
  return 0;
}

#include "inventory/password_file.h"

#include "config/regular_file.h"

namespace kalvynex {

bool read_password_file(const std::string& path, std::string* password, std::string* error) {
  std::string text;
  std::string why;
  if (!read_regular_file(path, kMaxPasswordFileBytes, &text, &why)) {
    *error = "cannot read the password file " + path + ": " + why;
    return false;
  }
  std::string line = text.substr(0, text.find('\n'));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  *password = line;
  return true;
}

}  // namespace kalvynex

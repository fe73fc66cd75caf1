#include "tests/support/files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kalvynex {

std::string read_file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

std::vector<std::string> directory_entries(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(dir, error), end; !error && it != end;
       it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

ChannelCodes select_codes(const std::string& sta, const std::string& chan,
                          const std::string& network, const std::string& location) {
  ChannelCodes codes;
  codes.sta = sta;
  codes.chan = chan;
  codes.network = network;
  codes.location = location;
  return codes;
}

}  // namespace kalvynex

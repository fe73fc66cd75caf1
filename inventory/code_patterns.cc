#include "inventory/code_patterns.h"

namespace kalvynex {

bool split_code_patterns(const std::string& list, std::vector<std::string>* out) {
  std::size_t begin = 0;
  for (;;) {
    const std::size_t comma = list.find(',', begin);
    const std::string item =
        list.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
    if (item.empty()) return false;
    out->push_back(item);
    if (comma == std::string::npos) return true;
    begin = comma + 1;
  }
}

std::size_t code_pattern_count(const CalibrationSelection& selection) {
  return selection.networks.size() + selection.stations.size() + selection.locations.size() +
         selection.channels.size();
}

}  // namespace kalvynex

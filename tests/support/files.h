// File helpers of the tests: whole files as bytes and directory listings.
#ifndef KALVYNEX_TESTS_SUPPORT_FILES_H_
#define KALVYNEX_TESTS_SUPPORT_FILES_H_

#include <string>
#include <vector>

#include "core/channel_codes.h"
#include "core/timestamp.h"

namespace kalvynex {

// The bytes of the file at `path`; empty when it cannot be read.
std::string read_file_bytes(const std::string& path);

// Every entry of `dir` by name, hidden ones included, sorted; empty when the
// directory does not exist.
std::vector<std::string> directory_entries(const std::string& dir);

// Channel codes in the order of SELECT=.
ChannelCodes select_codes(const std::string& sta, const std::string& chan,
                          const std::string& network, const std::string& location);

}  // namespace kalvynex

#endif  // KALVYNEX_TESTS_SUPPORT_FILES_H_

// The file of --password-file: the password is its first line.
#ifndef KALVYNEX_INVENTORY_PASSWORD_FILE_H_
#define KALVYNEX_INVENTORY_PASSWORD_FILE_H_

#include <cstddef>
#include <string>

namespace kalvynex {

// A password file larger than this is refused unread.
constexpr std::size_t kMaxPasswordFileBytes = 4096;

// The first line of the file at `path` (without its LF or CR LF), read only
// when the file is a regular file of at most kMaxPasswordFileBytes bytes: a
// FIFO, a device or a directory is refused without blocking. On failure
// *error is "cannot read the password file PATH: why".
bool read_password_file(const std::string& path, std::string* password, std::string* error);

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_PASSWORD_FILE_H_

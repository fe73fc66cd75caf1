// Files named by the user that are read whole (a password file, a stations
// file): only a regular file is read, and only up to a stated size, so that
// a FIFO cannot block the run and a device such as /dev/zero or a huge file
// cannot fill memory.
#ifndef KALVYNEX_CONFIG_REGULAR_FILE_H_
#define KALVYNEX_CONFIG_REGULAR_FILE_H_

#include <cstddef>
#include <string>

namespace kalvynex {

// Opens `path` for reading when it is a regular file, without blocking on a
// FIFO (the open is non-blocking, the kind is taken from the open file with
// fstat). The descriptor, or -1: with *why (when not null) set to "not a
// regular file" or the system's text for the failed open.
int open_regular_file(const std::string& path, std::string* why);

// The whole text of the regular file at `path`, of at most `max_bytes`
// bytes. False with *why: the reasons of open_regular_file, "larger than N
// bytes", or the system's text for a failed read.
bool read_regular_file(const std::string& path, std::size_t max_bytes, std::string* text,
                       std::string* why);

}  // namespace kalvynex

#endif  // KALVYNEX_CONFIG_REGULAR_FILE_H_

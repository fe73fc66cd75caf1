#include "config/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/string_printf.h"

namespace kalvynex {

int open_regular_file(const std::string& path, std::string* why) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    if (why != nullptr) *why = std::strerror(errno);
    return -1;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (why != nullptr) *why = "not a regular file";
    close(fd);
    return -1;
  }
  return fd;
}

bool read_regular_file(const std::string& path, std::size_t max_bytes, std::string* text,
                       std::string* why) {
  const int fd = open_regular_file(path, why);
  if (fd < 0) return false;
  const std::string too_large = string_printf("larger than %zu bytes", max_bytes);
  struct stat st {};
  const bool known = fstat(fd, &st) == 0;
  if (!known || static_cast<unsigned long long>(st.st_size) > max_bytes) {
    *why = known ? too_large : std::strerror(errno);
    close(fd);
    return false;
  }
  text->clear();
  text->reserve(static_cast<std::size_t>(st.st_size));
  // Read until the end or past the limit: a file that grew since fstat is
  // refused as well.
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *why = std::strerror(errno);
      close(fd);
      return false;
    }
    if (n == 0) break;
    text->append(buffer, static_cast<std::size_t>(n));
    if (text->size() > max_bytes) {
      *why = too_large;
      close(fd);
      return false;
    }
  }
  close(fd);
  return true;
}

}  // namespace kalvynex

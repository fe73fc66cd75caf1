#include "core/file_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/string_printf.h"

namespace kalvynex {

int FileCalls::create_unnamed(const std::string& directory) {
  return ::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

int FileCalls::create_named(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

int FileCalls::open_in_place(const std::string& path, bool truncate) {
  return ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (truncate ? O_TRUNC : 0));
}

int FileCalls::chmod(int fd, mode_t mode) { return ::fchmod(fd, mode); }

ssize_t FileCalls::write(int fd, const char* data, std::size_t size) {
  return ::write(fd, data, size);
}

int FileCalls::sync(int fd, bool data_only) { return data_only ? ::fdatasync(fd) : ::fsync(fd); }

int FileCalls::link(int fd, const std::string& name) {
  const std::string self = string_printf("/proc/self/fd/%d", fd);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  // Without /proc: possible for a process allowed to search any directory.
  if (errno != ENOENT) return -1;
  return ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
}

int FileCalls::close(int fd) { return ::close(fd); }

int FileCalls::rename(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str());
}

FileCalls& system_file_calls() {
  static FileCalls calls;
  return calls;
}

int write_all(FileCalls& calls, int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = calls.write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno != 0 ? errno : EIO;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

}  // namespace kalvynex

#include "core/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/string_printf.h"

namespace kalvynex {

namespace {

FileStatus failed(const char* step, int error_number) {
  FileStatus status;
  status.error_number = error_number != 0 ? error_number : EIO;
  status.step = step;
  return status;
}

int write_all(int fd, const std::string& contents) {
  const char* data = contents.data();
  std::size_t left = contents.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return 0;
}

// Creates a new file beside `path` that no other process has: a hidden name
// with this process's id and a counter, created exclusively. Permissions are
// read and write as the umask allows. Returns -1 with errno set on failure.
int create_temporary(const std::string& path, std::string* temporary) {
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string prefix = dir + "." + base;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temporary = prefix + string_printf(".%ld.%d.tmp", static_cast<long>(::getpid()), attempt);
    const int fd = ::open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST && errno != EINTR) return -1;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

FileStatus replace_file(const std::string& path, const std::string& contents) {
  // A file already at the name is written over only when this process may
  // write it, and the new file takes over its permission bits: a run must
  // neither replace a file that was made read-only nor open up one that was
  // kept private.
  struct stat existing {};
  const bool replaces = ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  if (replaces && ::access(path.c_str(), W_OK) != 0) return failed("open", errno);

  std::string temporary;
  const int fd = create_temporary(path, &temporary);
  if (fd < 0) return failed("create", errno);
  FileStatus status;
  // Only the read, write and execute bits: a file made here never becomes
  // set-user-id or set-group-id by inheritance.
  if (replaces && ::fchmod(fd, existing.st_mode & 0777) != 0) status = failed("chmod", errno);
  if (status.ok()) {
    const int error = write_all(fd, contents);
    if (error != 0) status = failed("write", error);
  }
  // On disk before the rename, so that a crash never leaves an empty file
  // under the name.
  if (status.ok() && ::fsync(fd) != 0) status = failed("sync", errno);
  if (::close(fd) != 0 && status.ok()) status = failed("close", errno);
  if (status.ok() && ::rename(temporary.c_str(), path.c_str()) != 0) {
    status = failed("rename", errno);
  }
  if (!status.ok()) ::unlink(temporary.c_str());
  return status;
}

}  // namespace kalvynex

#include "core/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "core/string_printf.h"

namespace kalvynex {

FileStatus file_failure(const char* step, int error_number) {
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

namespace {

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

// The name of a temporary file that exists while replace_file runs, for
// remove_pending_temporary_file; null when there is none.
std::atomic<const char*> pending_temporary{nullptr};

// Keeps `name` registered as pending while it lives.
class PendingName {
 public:
  explicit PendingName(const std::string& name) { pending_temporary.store(name.c_str()); }
  ~PendingName() { pending_temporary.store(nullptr); }
  PendingName(const PendingName&) = delete;
  PendingName& operator=(const PendingName&) = delete;
};

// Writes the contents into `fd`, with the permission bits of the file it
// replaces (if any), and puts them on disk.
FileStatus fill(int fd, const std::string& contents, bool replaces, const struct stat& existing) {
  // Only the read, write and execute bits: a file made here never becomes
  // set-user-id or set-group-id by inheritance.
  if (replaces && ::fchmod(fd, existing.st_mode & 0777) != 0) return file_failure("chmod", errno);
  const int error = write_all(fd, contents);
  if (error != 0) return file_failure("write", error);
  // On disk before it gets a name, so that a crash never leaves an empty
  // file under the name.
  if (::fsync(fd) != 0) return file_failure("sync", errno);
  return FileStatus();
}

// The directory part of `path` for open(), "." when it has none.
std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Gives the unnamed file `fd` the name `name` (which must not exist).
bool link_unnamed(int fd, const std::string& name) {
  const std::string self = string_printf("/proc/self/fd/%d", fd);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  return ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0;
}

// The writing in an unnamed file (O_TMPFILE): until it is complete it has
// no name, so no signal, not even SIGKILL, can leave a part of it behind.
// Complete, it is linked under a temporary name and renamed over `path` at
// once. *unsupported is set when the file system offers no unnamed files
// (or they cannot be linked), so that the caller writes a named file.
FileStatus replace_with_unnamed_file(const std::string& path, const std::string& contents,
                                     bool replaces, const struct stat& existing,
                                     bool* unsupported) {
  *unsupported = false;
  const int fd = ::open(directory_of(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) {
    *unsupported = errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL;
    return file_failure("create", errno);
  }
  FileStatus status = fill(fd, contents, replaces, existing);
  std::string temporary;
  if (status.ok()) {
    // The same hidden names as the named way, so that the two never meet.
    const std::size_t slash = path.rfind('/');
    const std::string dir =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string prefix = dir + "." + base;
    bool linked = false;
    for (int attempt = 0; attempt < 100 && !linked; ++attempt) {
      temporary = prefix + string_printf(".%ld.%d.tmp", static_cast<long>(::getpid()), attempt);
      linked = link_unnamed(fd, temporary);
      if (!linked && errno != EEXIST) break;
    }
    if (!linked) {
      status = file_failure("link", errno);
      // No way to link an unnamed file here: the named way still may.
      *unsupported = errno == ENOENT || errno == EPERM || errno == EOPNOTSUPP || errno == EXDEV;
      temporary.clear();
    }
  }
  const PendingName pending(temporary);
  if (::close(fd) != 0 && status.ok()) status = file_failure("close", errno);
  if (status.ok() && ::rename(temporary.c_str(), path.c_str()) != 0) {
    status = file_failure("rename", errno);
  }
  if (!status.ok() && !temporary.empty()) ::unlink(temporary.c_str());
  return status;
}

}  // namespace

void remove_pending_temporary_file() {
  const char* name = pending_temporary.load();
  if (name != nullptr) ::unlink(name);
}

FileStatus replace_file(const std::string& path, const std::string& contents) {
  // A file already at the name is written over only when this process may
  // write it, and the new file takes over its permission bits: a run must
  // neither replace a file that was made read-only nor open up one that was
  // kept private.
  struct stat existing {};
  const bool replaces = ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  if (replaces && ::access(path.c_str(), W_OK) != 0) return file_failure("open", errno);

  bool unsupported = false;
  const FileStatus unnamed =
      replace_with_unnamed_file(path, contents, replaces, existing, &unsupported);
  if (!unsupported) return unnamed;

  // A named temporary file: a signal that can be caught removes it (see
  // remove_pending_temporary_file); only SIGKILL can leave it behind.
  std::string temporary;
  const int fd = create_temporary(path, &temporary);
  if (fd < 0) return file_failure("create", errno);
  const PendingName pending(temporary);
  FileStatus status = fill(fd, contents, replaces, existing);
  if (::close(fd) != 0 && status.ok()) status = file_failure("close", errno);
  if (status.ok() && ::rename(temporary.c_str(), path.c_str()) != 0) {
    status = file_failure("rename", errno);
  }
  if (!status.ok()) ::unlink(temporary.c_str());
  return status;
}

}  // namespace kalvynex

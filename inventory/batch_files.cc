#include "inventory/batch_files.h"

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

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

}  // namespace

BatchFiles::~BatchFiles() { discard(); }

void BatchFiles::discard() {
  for (const Pending& p : pending_) ::unlink(p.temporary.c_str());
  pending_.clear();
  bytes_ = 0;
}

FileStatus BatchFiles::add(const std::string& path, const std::string& contents,
                           std::string* failed_path) {
  struct stat existing {};
  const bool replaces = ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  FileStatus status;
  if (replaces && ::access(path.c_str(), W_OK) != 0) status = failed("open", errno);

  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; status.ok() && fd < 0 && attempt < 100; ++attempt) {
    temporary = dir;
    temporary += '.';
    temporary += base;
    temporary += string_printf(".%ld.%zu.%d.tmp", static_cast<long>(::getpid()), pending_.size(),
                               attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST && errno != EINTR) status = failed("create", errno);
  }
  if (status.ok() && fd < 0) status = failed("create", EEXIST);
  if (status.ok() && replaces && ::fchmod(fd, existing.st_mode & 0777) != 0) {
    status = failed("chmod", errno);
  }
  if (status.ok()) {
    const int error = write_all(fd, contents);
    if (error != 0) status = failed("write", error);
  }
  if (fd >= 0 && ::close(fd) != 0 && status.ok()) status = failed("close", errno);
  if (!status.ok()) {
    if (fd >= 0) ::unlink(temporary.c_str());
    *failed_path = path;
    std::string ignored;
    flush(&ignored);
    return status;
  }
  pending_.push_back(Pending{path, temporary});
  bytes_ += contents.size();
  if (pending_.size() >= limit_ || bytes_ >= byte_limit_) return flush(failed_path);
  return FileStatus();
}

FileStatus BatchFiles::flush(std::string* failed_path) {
  if (pending_.empty()) return FileStatus();
  // One sync of the file system that holds the files: every temporary file
  // is on disk before any of them takes its name.
  const std::string dir = directory_of(pending_.front().path);
  const int dir_fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  FileStatus status;
  if (dir_fd < 0) {
    status = failed("sync", errno);
  } else {
    if (::syncfs(dir_fd) != 0) status = failed("sync", errno);
    ::close(dir_fd);
  }
  std::size_t renamed = 0;
  for (; status.ok() && renamed < pending_.size(); ++renamed) {
    const Pending& p = pending_[renamed];
    if (::rename(p.temporary.c_str(), p.path.c_str()) != 0) {
      status = failed("rename", errno);
      *failed_path = p.path;
      break;
    }
  }
  if (!status.ok() && failed_path->empty()) *failed_path = pending_.front().path;
  // What did not take its name goes.
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(renamed));
  discard();
  return status;
}

FileStatus BatchFiles::commit(std::string* failed_path) { return flush(failed_path); }

}  // namespace kalvynex

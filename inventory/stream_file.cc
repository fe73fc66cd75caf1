#include "inventory/stream_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/string_printf.h"

namespace kalvynex {

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

FileStatus failed(const char* step, int error_number) {
  FileStatus status;
  status.error_number = error_number != 0 ? error_number : EIO;
  status.step = step;
  return status;
}

}  // namespace

StreamFile::~StreamFile() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(temporary_.c_str());
  }
}

FileStatus StreamFile::open(const std::string& path) {
  path_ = path;
  struct stat existing {};
  const bool replaces = ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  if (replaces && ::access(path.c_str(), W_OK) != 0) return status_ = failed("open", errno);

  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temporary_ = dir;
    temporary_ += '.';
    temporary_ += base;
    temporary_ += string_printf(".%ld.%d.tmp", static_cast<long>(::getpid()), attempt);
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST && errno != EINTR) return status_ = failed("create", errno);
  }
  if (fd_ < 0) return status_ = failed("create", EEXIST);
  if (replaces && ::fchmod(fd_, existing.st_mode & 0777) != 0) {
    return status_ = failed("chmod", errno);
  }
  buffer_.reserve(kBufferSize);
  return status_;
}

FileStatus StreamFile::flush() {
  const char* data = buffer_.data();
  std::size_t left = buffer_.size();
  while (left > 0 && status_.ok()) {
    const ssize_t written = ::write(fd_, data, left);
    if (written < 0) {
      if (errno != EINTR) status_ = failed("write", errno);
      continue;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  buffer_.clear();
  return status_;
}

FileStatus StreamFile::write(const std::string& piece) {
  if (!status_.ok() || fd_ < 0) return status_.ok() ? failed("write", EBADF) : status_;
  buffer_ += piece;
  if (buffer_.size() >= kBufferSize) flush();
  return status_;
}

FileStatus StreamFile::commit() {
  if (fd_ < 0) return status_.ok() ? failed("write", EBADF) : status_;
  flush();
  if (status_.ok() && ::fsync(fd_) != 0) status_ = failed("sync", errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && status_.ok()) status_ = failed("close", errno);
  if (status_.ok() && ::rename(temporary_.c_str(), path_.c_str()) != 0) {
    status_ = failed("rename", errno);
  }
  if (!status_.ok()) ::unlink(temporary_.c_str());
  return status_;
}

}  // namespace kalvynex

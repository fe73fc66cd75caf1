#include "inventory/batch_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/string_printf.h"

namespace kalvynex {

BatchFiles::~BatchFiles() { discard(); }

void BatchFiles::discard() {
  for (const Pending& p : pending_) {
    if (p.fd >= 0) ::close(p.fd);
    ::unlink(p.temporary.c_str());
  }
  pending_.clear();
  bytes_ = 0;
}

FileStatus BatchFiles::add(const std::string& path, const std::string& contents,
                           std::string* failed_path) {
  struct stat existing {};
  const bool replaces = ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  FileStatus status;
  if (replaces && ::access(path.c_str(), W_OK) != 0) status = file_failure("open", errno);

  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; status.ok() && fd < 0 && attempt < 100; ++attempt) {
    temporary = dir;
    temporary += '.';
    temporary += base;
    temporary += string_printf(".%ld.%zu.%d.tmp", pid_, pending_.size(),
                               attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST && errno != EINTR) status = file_failure("create", errno);
  }
  if (status.ok() && fd < 0) status = file_failure("create", EEXIST);
  if (status.ok() && replaces && ::fchmod(fd, existing.st_mode & 0777) != 0) {
    status = file_failure("chmod", errno);
  }
  if (status.ok()) {
    const int error = write_all(fd, contents);
    if (error != 0) status = file_failure("write", error);
  }
  // The data start on their way to the disk now; the flush waits for them.
  if (status.ok()) ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
  if (!status.ok()) {
    if (fd >= 0) {
      ::close(fd);
      ::unlink(temporary.c_str());
    }
    *failed_path = path;
    std::string ignored;
    flush(&ignored);
    return status;
  }
  pending_.push_back(Pending{path, temporary, fd});
  bytes_ += contents.size();
  if (pending_.size() >= limit_ || bytes_ >= byte_limit_) return flush(failed_path);
  return FileStatus();
}

FileStatus BatchFiles::flush(std::string* failed_path) {
  if (pending_.empty()) return FileStatus();
  // Every temporary file is on disk and closed before any of them takes its
  // name. Their data were sent on their way when they were written, so the
  // syncs mostly wait for one journal commit for the whole batch.
  FileStatus status;
  for (Pending& p : pending_) {
    if (status.ok() && ::fdatasync(p.fd) != 0) {
      status = file_failure("sync", errno);
      *failed_path = p.path;
    }
    if (::close(p.fd) != 0 && status.ok()) {
      status = file_failure("close", errno);
      *failed_path = p.path;
    }
    p.fd = -1;
  }
  std::size_t renamed = 0;
  for (; status.ok() && renamed < pending_.size(); ++renamed) {
    const Pending& p = pending_[renamed];
    if (::rename(p.temporary.c_str(), p.path.c_str()) != 0) {
      status = file_failure("rename", errno);
      *failed_path = p.path;
      break;
    }
  }
  // What did not take its name goes.
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(renamed));
  discard();
  return status;
}

FileStatus BatchFiles::commit(std::string* failed_path) { return flush(failed_path); }

}  // namespace kalvynex

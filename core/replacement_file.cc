#include "core/replacement_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <utility>

#include "core/string_printf.h"

namespace kalvynex {

namespace {

// The directory part of `path` for open(), "." when it has none.
std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The hidden name ".NAME.PID.N.tmp" beside `path`.
std::string hidden_name(const std::string& path, int attempt) {
  const std::size_t slash = path.rfind('/');
  const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(0, base) + "." + path.substr(base) +
         string_printf(".%ld.%d.tmp", static_cast<long>(::getpid()), attempt);
}

// An unnamed file can be given a name through /proc/self/fd; without /proc
// only a process allowed to search any directory can, so without it a
// named file is written from the start rather than found unlinkable at the
// end of a long stream.
bool unnamed_files_linkable() {
  static const bool linkable = ::access("/proc/self/fd", X_OK) == 0;
  return linkable;
}

// The file system offers no unnamed files (EISDIR: a kernel that does not
// know O_TMPFILE opens the directory).
bool no_unnamed_files(int error_number) {
  return error_number == EOPNOTSUPP || error_number == EISDIR || error_number == EINVAL;
}

// realpath() of `path`, empty when it fails.
std::string real_path(const std::string& path) {
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                          &std::free);
  return real ? std::string(real.get()) : std::string();
}

bool under_proc(const std::string& path) {
  return path == "/proc" || path.rfind("/proc/", 0) == 0;
}

// Whether the symbolic link `path` or a link it leads to lies under /proc
// (/dev/stdout -> /proc/self/fd/1, /dev/fd/1): such a link names a file
// opened by some process, not a file of a directory that could be
// replaced.
bool link_through_proc(const std::string& path) {
  std::string name = path;
  for (int hop = 0; hop < 40; ++hop) {
    const std::string where = real_path(directory_of(name));
    if (where.empty()) return false;
    if (under_proc(where)) return true;
    std::string target(PATH_MAX, '\0');
    const ssize_t size = ::readlink(name.c_str(), &target[0], target.size());
    if (size <= 0) return false;
    target.resize(static_cast<std::size_t>(size));
    if (target[0] == '/') {
      name = target;
    } else {
      name = where;
      name += '/';
      name += target;
    }
  }
  return false;
}

}  // namespace

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : calls_(other.calls_),
      standard_output_(other.standard_output_),
      path_(std::move(other.path_)),
      target_(std::move(other.target_)),
      kind_(std::exchange(other.kind_, Kind::kNone)),
      fd_(std::exchange(other.fd_, -1)),
      temporary_(std::move(other.temporary_)),
      temporary_exists_(std::exchange(other.temporary_exists_, false)) {}

ReplacementFile& ReplacementFile::operator=(ReplacementFile&& other) noexcept {
  if (this != &other) {
    abandon();
    calls_ = other.calls_;
    standard_output_ = other.standard_output_;
    path_ = std::move(other.path_);
    target_ = std::move(other.target_);
    kind_ = std::exchange(other.kind_, Kind::kNone);
    fd_ = std::exchange(other.fd_, -1);
    temporary_ = std::move(other.temporary_);
    temporary_exists_ = std::exchange(other.temporary_exists_, false);
  }
  return *this;
}

FileStatus ReplacementFile::fail(FileStatus status) {
  abandon();
  return status;
}

FileStatus ReplacementFile::begin(const std::string& path, Naming naming) {
  abandon();
  path_ = path;
  target_ = path;
  if (path == "-") {
    kind_ = Kind::kStandardOutput;
    fd_ = standard_output_;
    return FileStatus();
  }
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return file_failure("open", EISDIR);
  struct stat link {};
  const bool linked = exists && S_ISREG(existing.st_mode) && ::lstat(path.c_str(), &link) == 0 &&
                      S_ISLNK(link.st_mode);
  const bool proc_link = linked && link_through_proc(path);
  if (exists && (!S_ISREG(existing.st_mode) || proc_link)) {
    fd_ = calls_->open_in_place(path, proc_link);
    if (fd_ < 0) return file_failure("open", errno);
    kind_ = Kind::kInPlace;
    return FileStatus();
  }
  if (linked) {
    target_ = real_path(path);
    if (target_.empty()) return file_failure("open", errno);
  }
  // A file already at the name is written over only when this process may
  // write it, and the new file takes over its permission bits: a run must
  // neither replace a file that was made read-only nor open up one that was
  // kept private.
  if (exists && ::access(target_.c_str(), W_OK) != 0) return file_failure("open", errno);

  if (naming == Naming::kUnnamedWherePossible && unnamed_files_linkable()) {
    fd_ = calls_->create_unnamed(directory_of(target_));
    if (fd_ >= 0) {
      kind_ = Kind::kUnnamed;
    } else if (!no_unnamed_files(errno)) {
      return file_failure("create", errno);
    }
  }
  if (fd_ < 0) {
    const FileStatus created = create_named();
    if (!created.ok()) return created;
  }
  // Only the read, write and execute bits: a file made here never becomes
  // set-user-id or set-group-id by inheritance.
  if (exists && calls_->chmod(fd_, existing.st_mode & 0777) != 0) {
    return fail(file_failure("chmod", errno));
  }
  return FileStatus();
}

FileStatus ReplacementFile::create_named() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    // Listed before it exists, so that no moment leaves it unlisted.
    temporary_ = PendingName(hidden_name(target_, attempt));
    fd_ = calls_->create_named(temporary_.c_str());
    if (fd_ >= 0) {
      kind_ = Kind::kNamed;
      temporary_exists_ = true;
      return FileStatus();
    }
    if (errno != EEXIST && errno != EINTR) {
      const int error = errno;
      temporary_ = PendingName();
      return file_failure("create", error);
    }
  }
  temporary_ = PendingName();
  return file_failure("create", EEXIST);
}

FileStatus ReplacementFile::write(const char* data, std::size_t size) {
  if (!active()) return file_failure("write", EBADF);
  const int error = write_all(*calls_, fd_, data, size);
  return error == 0 ? FileStatus() : file_failure("write", error);
}

FileStatus ReplacementFile::sync(bool data_only) {
  if (!active()) return file_failure("sync", EBADF);
  if (in_place() || calls_->sync(fd_, data_only) == 0) return FileStatus();
  return file_failure("sync", errno);
}

FileStatus ReplacementFile::link_unnamed() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_ = PendingName(hidden_name(target_, attempt));
    if (calls_->link(fd_, temporary_.c_str()) == 0) {
      temporary_exists_ = true;
      return FileStatus();
    }
    if (errno != EEXIST) {
      const int error = errno;
      temporary_ = PendingName();
      return file_failure("link", error);
    }
  }
  temporary_ = PendingName();
  return file_failure("link", EEXIST);
}

FileStatus ReplacementFile::finish() {
  if (!active()) return file_failure("close", EBADF);
  if (kind_ == Kind::kStandardOutput) {
    kind_ = Kind::kNone;
    fd_ = -1;
    return FileStatus();
  }
  if (kind_ == Kind::kUnnamed) {
    const FileStatus linked = link_unnamed();
    if (!linked.ok()) return fail(linked);
  }
  const int fd = std::exchange(fd_, -1);
  if (calls_->close(fd) != 0) return fail(file_failure("close", errno));
  if (kind_ != Kind::kInPlace && calls_->rename(temporary_.c_str(), target_) != 0) {
    return fail(file_failure("rename", errno));
  }
  temporary_exists_ = false;
  temporary_ = PendingName();
  kind_ = Kind::kNone;
  return FileStatus();
}

void ReplacementFile::abandon() {
  if (fd_ >= 0 && kind_ != Kind::kStandardOutput) calls_->close(fd_);
  fd_ = -1;
  if (temporary_exists_) ::unlink(temporary_.c_str());
  temporary_exists_ = false;
  temporary_ = PendingName();
  kind_ = Kind::kNone;
}

}  // namespace kalvynex

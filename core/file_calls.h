// The system calls through which the file writers change files, behind one
// interface: the writers use the system's, and a test hands them one that
// fails a chosen step, so that every failure path of a writer is reached,
// also those (a failed sync, a failed close) that no test can bring about
// on a healthy disk.
#ifndef KALVYNEX_CORE_FILE_CALLS_H_
#define KALVYNEX_CORE_FILE_CALLS_H_

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace kalvynex {

// Each call returns what the system call returns: -1 with errno set on
// failure.
class FileCalls {
 public:
  virtual ~FileCalls() = default;

  // An unnamed file in `directory` (O_TMPFILE), for writing.
  virtual int create_unnamed(const std::string& directory);
  // A new file at `path`, which must not exist yet, for writing.
  virtual int create_named(const std::string& path);
  // An existing file that is written where it is, no new file: a device
  // or a FIFO (not truncated), or the regular file behind a link under
  // /proc (truncated when `truncate`).
  virtual int open_in_place(const std::string& path, bool truncate);
  virtual int chmod(int fd, mode_t mode);
  virtual ssize_t write(int fd, const char* data, std::size_t size);
  // fsync, or fdatasync when `data_only`.
  virtual int sync(int fd, bool data_only);
  // Gives the unnamed file `fd` the name `name`, which must not exist.
  virtual int link(int fd, const std::string& name);
  virtual int close(int fd);
  virtual int rename(const std::string& from, const std::string& to);
};

// The system's calls.
FileCalls& system_file_calls();

// Writes all `size` bytes of `data` into `fd`, going on after EINTR and
// short writes. 0, or the errno value of the failed write.
int write_all(FileCalls& calls, int fd, const char* data, std::size_t size);

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_FILE_CALLS_H_

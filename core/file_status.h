// The outcome of a file operation of the writers: 0 or the errno value of
// the step that failed, with that step's name.
#ifndef KALVYNEX_CORE_FILE_STATUS_H_
#define KALVYNEX_CORE_FILE_STATUS_H_

#include <cerrno>

namespace kalvynex {

struct FileStatus {
  int error_number = 0;
  // "open", "create", "chmod", "write", "sync", "link", "close", "rename"
  const char* step = "";

  bool ok() const { return error_number == 0; }
};

// A failure of `step` with its errno value (EIO when errno said nothing).
inline FileStatus file_failure(const char* step, int error_number) {
  FileStatus status;
  status.error_number = error_number != 0 ? error_number : EIO;
  status.step = step;
  return status;
}

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_FILE_STATUS_H_

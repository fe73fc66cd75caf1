// Putting a whole file in place or nothing: the new contents are written
// into an unnamed file in the target's directory (O_TMPFILE), given a hidden
// name once complete and renamed over the target at once, so that no reader
// ever sees half a file, a failure leaves the old file as it was, and even a
// run killed with SIGKILL leaves no part of a file behind. Where the file
// system has no unnamed files, a hidden named file takes their place. Both
// front ends write their files this way.
#ifndef KALVYNEX_CORE_FILE_REPLACE_H_
#define KALVYNEX_CORE_FILE_REPLACE_H_

#include <string>

namespace kalvynex {

// The outcome of a file operation: 0 or the errno value of the step that
// failed, with that step's name.
struct FileStatus {
  int error_number = 0;
  const char* step = "";  // "create", "write", "sync", "close", "rename", ...

  bool ok() const { return error_number == 0; }
};

// A failure of `step` with its errno value (EIO when errno said nothing).
FileStatus file_failure(const char* step, int error_number);

// Writes all of `contents` into `fd`, going on after EINTR and short
// writes. 0, or the errno value of the failed write.
int write_all(int fd, const std::string& contents);

// Writes `contents` into a new temporary file beside `path` and renames it
// over `path` once complete and closed. On failure the temporary file is
// removed and an existing file at `path` is left as it was. An existing file
// is replaced only when this process may write it (else EACCES), and the new
// file keeps its permission bits; a new file is read and write as the umask
// allows. The directory is never created.
FileStatus replace_file(const std::string& path, const std::string& contents);

// Removes the hidden temporary file that replace_file is writing or about to
// rename, if any. Safe to call from a signal handler: the handlers of
// SIGINT, SIGTERM and SIGHUP call it before the process ends.
void remove_pending_temporary_file();

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_FILE_REPLACE_H_

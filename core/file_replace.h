// Putting a whole file in place or nothing: the new contents are written
// beside the target and renamed over it once complete, so that no reader
// ever sees half a file and a failure leaves the old file as it was. Both
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

// Writes `contents` into a new temporary file beside `path` and renames it
// over `path` once complete and closed. On failure the temporary file is
// removed and an existing file at `path` is left as it was. An existing file
// is replaced only when this process may write it (else EACCES), and the new
// file keeps its permission bits; a new file is read and write as the umask
// allows. The directory is never created.
FileStatus replace_file(const std::string& path, const std::string& contents);

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_FILE_REPLACE_H_

// A file written piece by piece and put in place whole: the pieces go into a
// new temporary file beside the target, which is renamed over the target
// once complete, as core/file_replace does for a file written in one piece.
#ifndef KALVYNEX_INVENTORY_STREAM_FILE_H_
#define KALVYNEX_INVENTORY_STREAM_FILE_H_

#include <string>

#include "core/file_replace.h"

namespace kalvynex {

class StreamFile {
 public:
  StreamFile() = default;
  ~StreamFile();
  StreamFile(const StreamFile&) = delete;
  StreamFile& operator=(const StreamFile&) = delete;

  // Creates the temporary file for `path`. An existing file at `path` must
  // be writable by this process; the new file takes over its permission
  // bits, else it is read and write as the umask allows.
  FileStatus open(const std::string& path);
  // Appends `piece`; after a failure every later call fails the same way.
  FileStatus write(const std::string& piece);
  // Flushes, syncs and renames the file over the target.
  FileStatus commit();

 private:
  FileStatus flush();

  std::string path_;
  std::string temporary_;
  int fd_ = -1;
  std::string buffer_;
  FileStatus status_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_STREAM_FILE_H_

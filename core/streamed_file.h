// A file written piece by piece and put in place whole (core/
// replacement_file): until commit() the target keeps its old contents, and
// a stream that is abandoned or destroyed uncommitted leaves the target as
// it was and no temporary file. "-" is standard output, and a device, FIFO
// or socket at the name is written in place; there the pieces go out as
// they come (in buffers of 64 KiB).
#ifndef KALVYNEX_CORE_STREAMED_FILE_H_
#define KALVYNEX_CORE_STREAMED_FILE_H_

#include <cstddef>
#include <string>

#include "core/file_calls.h"
#include "core/file_status.h"
#include "core/replacement_file.h"

namespace kalvynex {

class StreamedFile {
 public:
  // `standard_output` is the descriptor that "-" stands for.
  explicit StreamedFile(FileCalls& calls = system_file_calls(),
                        int standard_output = STDOUT_FILENO)
      : file_(calls, standard_output) {}
  ~StreamedFile() = default;  // abandons what was not committed
  StreamedFile(const StreamedFile&) = delete;
  StreamedFile& operator=(const StreamedFile&) = delete;

  // Starts the file for `path`; the rules of ReplacementFile::begin apply.
  FileStatus open(const std::string& path);
  // Appends a piece. After a failure the new file is gone and every later
  // call gives the same status.
  FileStatus write(const char* data, std::size_t size);
  FileStatus write(const std::string& piece) { return write(piece.data(), piece.size()); }
  // Writes what is buffered, syncs and puts the file in place.
  FileStatus commit();
  // Drops the new file; the target stays as it was.
  void abandon();

 private:
  FileStatus flush();
  FileStatus failed(FileStatus status);

  ReplacementFile file_;
  std::string buffer_;
  FileStatus status_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_STREAMED_FILE_H_

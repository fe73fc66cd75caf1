// Many small files put in place whole (core/replacement_file), with one
// wait for the disk per batch instead of one per file. Each file is written
// when it is added and its data are sent on their way to the disk at once;
// when the batch is full (or at commit) every file of the batch is synced,
// and then they take their names in the order they were added, so a later
// file of the same name replaces an earlier one. A file that fails fails
// alone: the others of its batch are still put in place, and the caller
// learns each failed file with its status.
#ifndef KALVYNEX_CORE_FILE_BATCH_H_
#define KALVYNEX_CORE_FILE_BATCH_H_

#include <cstddef>
#include <string>
#include <vector>

#include "core/file_calls.h"
#include "core/file_status.h"
#include "core/replacement_file.h"

namespace kalvynex {

struct FailedFile {
  std::string path;
  FileStatus status;
};

// A batch is put in place once it holds `files` files or `bytes` bytes.
// Where unnamed files are missing each file of a batch has a named
// temporary file until the batch is put in place, so `files` is at most
// kPendingFileSlots / 4.
struct BatchLimits {
  std::size_t files = 256;
  std::size_t bytes = 8 << 20;
};

class FileBatch {
 public:
  explicit FileBatch(BatchLimits limits = BatchLimits(), FileCalls& calls = system_file_calls());
  ~FileBatch() = default;  // abandons the files not yet put in place
  FileBatch(const FileBatch&) = delete;
  FileBatch& operator=(const FileBatch&) = delete;

  // Writes `contents` for `path` (the rules of ReplacementFile::begin
  // apply; a device or FIFO is written now). Gives the files that failed in
  // this call, in order: this one, or files of the batch that it filled.
  std::vector<FailedFile> add(const std::string& path, const std::string& contents);
  // Puts every added file in place; gives the files that failed.
  std::vector<FailedFile> commit();

 private:
  BatchLimits limits_;
  FileCalls* calls_;
  std::size_t bytes_ = 0;
  std::vector<ReplacementFile> pending_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_FILE_BATCH_H_

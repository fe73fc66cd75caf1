// Many small files put in place whole, with one wait for the disk per batch
// instead of one per file. Each file is written into a new temporary file
// beside its name and its data are sent to the disk at once; when the batch
// is full (or at commit) every temporary file is synced and closed, and then
// they are renamed over their names in the order they were added. As with core/file_replace, a name holds either its
// old file or the complete new one, also after a crash; a later file of the
// same name replaces an earlier one.
#ifndef KALVYNEX_INVENTORY_BATCH_FILES_H_
#define KALVYNEX_INVENTORY_BATCH_FILES_H_

#include <unistd.h>

#include <cstddef>
#include <string>
#include <vector>

#include "core/file_replace.h"

namespace kalvynex {

class BatchFiles {
 public:
  // `limit` files or `byte_limit` bytes make a batch.
  explicit BatchFiles(std::size_t limit = 256, std::size_t byte_limit = 8 << 20)
      : limit_(limit), byte_limit_(byte_limit) {}
  ~BatchFiles();
  BatchFiles(const BatchFiles&) = delete;
  BatchFiles& operator=(const BatchFiles&) = delete;

  // Writes `contents` for `path`. An existing file at `path` must be
  // writable by this process, and the new file takes over its permission
  // bits; a new file is read and write as the umask allows. On failure
  // *failed_path names the file, and the files added before it are still
  // put in place.
  FileStatus add(const std::string& path, const std::string& contents,
                 std::string* failed_path);

  // Puts every added file in place.
  FileStatus commit(std::string* failed_path);

 private:
  struct Pending {
    std::string path;
    std::string temporary;
    int fd = -1;  // open until the batch is synced
  };

  FileStatus flush(std::string* failed_path);
  void discard();

  long pid_ = static_cast<long>(::getpid());  // in the temporary names
  std::size_t limit_;
  std::size_t byte_limit_;
  std::size_t bytes_ = 0;
  std::vector<Pending> pending_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_BATCH_FILES_H_

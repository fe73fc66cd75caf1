#include "core/file_batch.h"

#include <fcntl.h>

#include <algorithm>

namespace kalvynex {

FileBatch::FileBatch(BatchLimits limits, FileCalls& calls) : limits_(limits), calls_(&calls) {
  limits_.files = std::max<std::size_t>(1, std::min(limits_.files, kPendingFileSlots / 4));
}

std::vector<FailedFile> FileBatch::add(const std::string& path, const std::string& contents) {
  std::vector<FailedFile> failed;
  ReplacementFile file(*calls_);
  FileStatus status = file.begin(path);
  if (status.ok()) status = file.write(contents.data(), contents.size());
  if (status.ok() && file.in_place()) status = file.finish();
  if (!status.ok()) {
    file.abandon();
    failed.push_back(FailedFile{path, status});
  } else if (file.active()) {
    // The data start on their way to the disk now; the batch's syncs wait
    // for them.
    ::sync_file_range(file.descriptor(), 0, 0, SYNC_FILE_RANGE_WRITE);
    pending_.push_back(std::move(file));
    bytes_ += contents.size();
  }
  if (pending_.size() >= limits_.files || bytes_ >= limits_.bytes) {
    std::vector<FailedFile> batch = commit();
    failed.insert(failed.end(), batch.begin(), batch.end());
  }
  return failed;
}

std::vector<FailedFile> FileBatch::commit() {
  std::vector<FailedFile> failed;
  // Every file is on disk before any of them takes its name. Their data
  // were sent on their way when they were written, so the syncs mostly wait
  // for one journal commit for the whole batch.
  for (ReplacementFile& file : pending_) {
    const FileStatus synced = file.sync(true);
    if (!synced.ok()) {
      failed.push_back(FailedFile{file.path(), synced});
      file.abandon();
    }
  }
  for (ReplacementFile& file : pending_) {
    if (!file.active()) continue;
    const FileStatus finished = file.finish();
    if (!finished.ok()) failed.push_back(FailedFile{file.path(), finished});
  }
  pending_.clear();
  bytes_ = 0;
  return failed;
}

}  // namespace kalvynex

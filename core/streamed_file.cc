#include "core/streamed_file.h"

#include <cerrno>

namespace kalvynex {

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

}  // namespace

FileStatus StreamedFile::failed(FileStatus status) {
  file_.abandon();
  buffer_.clear();
  return status_ = status;
}

FileStatus StreamedFile::open(const std::string& path) {
  abandon();
  status_ = FileStatus();
  const FileStatus opened = file_.begin(path);
  return opened.ok() ? opened : failed(opened);
}

FileStatus StreamedFile::flush() {
  if (buffer_.empty()) return status_;
  const FileStatus written = file_.write(buffer_.data(), buffer_.size());
  buffer_.clear();
  return written.ok() ? status_ : failed(written);
}

FileStatus StreamedFile::write(const char* data, std::size_t size) {
  if (!status_.ok()) return status_;
  if (!file_.active()) return file_failure("write", EBADF);
  if (buffer_.size() + size < kBufferSize) {
    buffer_.append(data, size);
    return status_;
  }
  // A large piece goes out as it is, not copied into the buffer.
  if (!flush().ok()) return status_;
  if (size >= kBufferSize) {
    const FileStatus written = file_.write(data, size);
    return written.ok() ? status_ : failed(written);
  }
  buffer_.reserve(kBufferSize);
  buffer_.append(data, size);
  return status_;
}

FileStatus StreamedFile::commit() {
  if (!status_.ok()) return status_;
  if (!file_.active()) return file_failure("close", EBADF);
  if (!flush().ok()) return status_;
  const FileStatus synced = file_.sync(false);
  if (!synced.ok()) return failed(synced);
  const FileStatus finished = file_.finish();
  return finished.ok() ? finished : failed(finished);
}

void StreamedFile::abandon() {
  file_.abandon();
  buffer_.clear();
}

}  // namespace kalvynex

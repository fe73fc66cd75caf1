#include "core/file_replace.h"

#include <cerrno>

#include "core/replacement_file.h"

namespace kalvynex {

namespace {

FileStatus write_whole(ReplacementFile& file, const std::string& path,
                       const std::string& contents, ReplacementFile::Naming naming) {
  FileStatus status = file.begin(path, naming);
  if (status.ok()) status = file.write(contents.data(), contents.size());
  if (status.ok()) status = file.sync(false);
  if (status.ok()) return file.finish();
  file.abandon();
  return status;
}

}  // namespace

FileStatus replace_file(const std::string& path, const std::string& contents, FileCalls& calls) {
  ReplacementFile file(calls);
  const FileStatus unnamed =
      write_whole(file, path, contents, ReplacementFile::Naming::kUnnamedWherePossible);
  // An unnamed file that could not be given a name (no /proc, a file system
  // that refuses): the contents are still at hand for a named file.
  const bool unlinkable = unnamed.step == std::string("link") &&
                          (unnamed.error_number == ENOENT || unnamed.error_number == EPERM ||
                           unnamed.error_number == EOPNOTSUPP || unnamed.error_number == EXDEV);
  if (!unlinkable) return unnamed;
  return write_whole(file, path, contents, ReplacementFile::Naming::kNamed);
}

}  // namespace kalvynex

// One file on its way to its name, the engine of the three writers
// (core/file_replace, core/streamed_file, core/file_batch). The new
// contents go into an unnamed file in the target's directory (O_TMPFILE)
// where the file system has them, else into a hidden named file
// ".NAME.PID.N.tmp" beside the target; once synced, the file is linked
// under that hidden name and at once renamed over the target. So no reader
// sees half a file, a failure leaves the old file as it was, and a signal
// leaves nothing: an unnamed file vanishes with the process, and a named
// one is listed for remove_pending_files() (core/pending_files) from before
// it is created until it is renamed or removed.
//
// A target that exists and is no regular file (a device such as /dev/null,
// a FIFO, a socket, or a symbolic link to one) is written where it is,
// never replaced; "-" is standard output. A directory at the target's name
// fails with EISDIR. A symbolic link to a regular file is never replaced
// itself: a link reached through /proc (such as /dev/stdout ->
// /proc/self/fd/1, whose file belongs to whoever opened it) has its file
// truncated and written where it is; any other link has the file it names
// at the end of its links replaced.
#ifndef KALVYNEX_CORE_REPLACEMENT_FILE_H_
#define KALVYNEX_CORE_REPLACEMENT_FILE_H_

#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <string>

#include "core/file_calls.h"
#include "core/file_status.h"
#include "core/pending_files.h"

namespace kalvynex {

class ReplacementFile {
 public:
  enum class Naming { kUnnamedWherePossible, kNamed };

  // `standard_output` is the descriptor that "-" stands for.
  explicit ReplacementFile(FileCalls& calls = system_file_calls(),
                           int standard_output = STDOUT_FILENO)
      : calls_(&calls), standard_output_(standard_output) {}
  ~ReplacementFile() { abandon(); }
  ReplacementFile(ReplacementFile&& other) noexcept;
  ReplacementFile& operator=(ReplacementFile&& other) noexcept;
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Starts a new file for `path`. An existing regular file at `path` is
  // replaced only when this process may write it (else "open" with
  // EACCES), and the new file takes over its permission bits (never a
  // set-user-id or set-group-id bit); a new file is read and write as the
  // umask allows. The directory is never created.
  FileStatus begin(const std::string& path, Naming naming = Naming::kUnnamedWherePossible);
  FileStatus write(const char* data, std::size_t size);
  // Puts the data on disk (fdatasync when `data_only`, else fsync); nothing
  // for a file written in place.
  FileStatus sync(bool data_only);
  // Puts the file in place: link (unnamed), close, rename. A file written
  // in place is closed (standard output stays open). Any failure removes
  // the new file and leaves the target as it was.
  FileStatus finish();
  // Drops the new file: the target stays as it was, no temporary file
  // remains. What was written in place stays written.
  void abandon();

  // Between begin() and finish() or abandon().
  bool active() const { return kind_ != Kind::kNone; }
  bool in_place() const { return kind_ == Kind::kInPlace || kind_ == Kind::kStandardOutput; }
  int descriptor() const { return fd_; }
  const std::string& path() const { return path_; }

 private:
  enum class Kind { kNone, kUnnamed, kNamed, kInPlace, kStandardOutput };

  FileStatus create_named();
  FileStatus link_unnamed();
  FileStatus fail(FileStatus status);

  FileCalls* calls_;
  int standard_output_;
  std::string path_;    // as given
  std::string target_;  // the file replaced: path_, or where its links end
  Kind kind_ = Kind::kNone;
  int fd_ = -1;
  PendingName temporary_;
  bool temporary_exists_ = false;
};

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_REPLACEMENT_FILE_H_

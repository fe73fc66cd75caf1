// The three writers of core/ (a whole file, a stream, a batch) on one
// engine: each failing step, targets that are no regular files, the batch
// limits, and signals.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/file_batch.h"
#include "core/file_replace.h"
#include "core/process_guard.h"
#include "core/streamed_file.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace kalvynex {
namespace {

namespace fs = std::filesystem;

constexpr int kInjected = ENOSPC;

// The system's calls, but the `nth` call of `step` fails with kInjected;
// `named` makes the file system look as if it had no unnamed files.
class FailingCalls : public FileCalls {
 public:
  FailingCalls(std::string step, int nth, bool named) : step_(std::move(step)), nth_(nth), named_(named) {}

  int create_unnamed(const std::string& directory) override {
    if (named_) {
      errno = EOPNOTSUPP;
      return -1;
    }
    return fails("create") ? -1 : FileCalls::create_unnamed(directory);
  }
  int create_named(const std::string& path) override {
    return fails("create") ? -1 : FileCalls::create_named(path);
  }
  int chmod(int fd, mode_t mode) override { return fails("chmod") ? -1 : FileCalls::chmod(fd, mode); }
  ssize_t write(int fd, const char* data, std::size_t size) override {
    return fails("write") ? -1 : FileCalls::write(fd, data, size);
  }
  int sync(int fd, bool data_only) override {
    return fails("sync") ? -1 : FileCalls::sync(fd, data_only);
  }
  int link(int fd, const std::string& name) override {
    return fails("link") ? -1 : FileCalls::link(fd, name);
  }
  int close(int fd) override {
    // As the system's close: the descriptor is gone even when it fails.
    const int closed = FileCalls::close(fd);
    return fails("close") ? -1 : closed;
  }
  int rename(const std::string& from, const std::string& to) override {
    return fails("rename") ? -1 : FileCalls::rename(from, to);
  }

 private:
  bool fails(const char* step) {
    if (step_ != step || ++calls_ != nth_) return false;
    errno = kInjected;
    return true;
  }

  std::string step_;
  int nth_;
  bool named_;
  int calls_ = 0;
};

enum class Writer { kWhole, kStream, kBatch };

const char* writer_name(Writer w) {
  return w == Writer::kWhole ? "whole file" : w == Writer::kStream ? "stream" : "batch";
}

// Writes `contents` to `path` with one writer; the batch writes `path`
// between two other files "before" and "after" of the same directory.
std::vector<FailedFile> write_with(Writer writer, FileCalls& calls, const std::string& path,
                                   const std::string& contents) {
  std::vector<FailedFile> failed;
  auto note = [&](const std::string& p, const FileStatus& s) {
    if (!s.ok()) failed.push_back(FailedFile{p, s});
  };
  switch (writer) {
    case Writer::kWhole:
      note(path, replace_file(path, contents, calls));
      break;
    case Writer::kStream: {
      StreamedFile stream(calls);
      FileStatus status = stream.open(path);
      const std::size_t half = contents.size() / 2;
      if (status.ok()) status = stream.write(contents.substr(0, half));
      if (status.ok()) status = stream.write(contents.substr(half));
      if (status.ok()) status = stream.commit();
      note(path, status);
      break;
    }
    case Writer::kBatch: {
      FileBatch batch(BatchLimits(), calls);
      const std::string dir = fs::path(path).parent_path().string();
      for (const std::string& p : {dir + "/before", path, dir + "/after"}) {
        for (FailedFile& f : batch.add(p, contents)) failed.push_back(f);
      }
      for (FailedFile& f : batch.commit()) failed.push_back(f);
      break;
    }
  }
  return failed;
}

// Every step of every writer failing, in both ways of naming: the failed
// file alone is reported, with the step and the error; its old contents
// stay; no temporary file is left; the batch's other files are written.
TEST(FileWritersTest, EachFailingStepLeavesTheOldFileAndNoTemporaryFile) {
  struct Case {
    const char* step;
    bool unnamed_only;
  };
  const Case cases[] = {{"", false},     {"create", false}, {"chmod", false}, {"write", false},
                        {"sync", false}, {"link", true},    {"close", false}, {"rename", false}};
  for (const Writer writer : {Writer::kWhole, Writer::kStream, Writer::kBatch}) {
    for (const bool named : {false, true}) {
      for (const Case& c : cases) {
        if (named && c.unnamed_only) continue;
        SCOPED_TRACE(std::string(writer_name(writer)) + (named ? ", named" : ", unnamed") +
                     ", failing " + c.step);
        TempDir dir;
        const std::string target = dir.write_file("target", "old");
        dir.write_file("before", "old");
        dir.write_file("after", "old");
        // The batch's second file is the target.
        FailingCalls calls(c.step, writer == Writer::kBatch ? 2 : 1, named);
        const std::string contents = std::string(70000, 'n') + "\r\n";
        const std::vector<FailedFile> failed = write_with(writer, calls, target, contents);

        const bool fails = *c.step != '\0';
        ASSERT_EQ(failed.size(), fails ? 1u : 0u);
        if (fails) {
          EXPECT_EQ(failed[0].path, target);
          EXPECT_STREQ(failed[0].status.step, c.step);
          EXPECT_EQ(failed[0].status.error_number, kInjected);
        }
        EXPECT_EQ(read_file_bytes(target), fails ? "old" : contents);
        const std::string others = writer == Writer::kBatch ? contents : "old";
        EXPECT_EQ(read_file_bytes(dir.path() + "/before"), others);
        EXPECT_EQ(read_file_bytes(dir.path() + "/after"), others);
        EXPECT_EQ(directory_entries(dir.path()),
                  (std::vector<std::string>{"after", "before", "target"}));
      }
    }
  }
}

// Runs `body` in a child process and gives whether it returned true.
bool in_child(const std::function<bool()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body() ? 0 : 1);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool failed_at(const std::vector<FailedFile>& failed, const std::string& path, const char* step,
               int error_number) {
  return failed.size() == 1 && failed[0].path == path &&
         std::strcmp(failed[0].status.step, step) == 0 &&
         failed[0].status.error_number == error_number;
}

// Failures the system itself gives.
TEST(FileWritersTest, RealFailuresFailTheOneFile) {
  for (const Writer writer : {Writer::kWhole, Writer::kStream, Writer::kBatch}) {
    SCOPED_TRACE(writer_name(writer));
    FileCalls& calls = system_file_calls();
    TempDir dir;
    const std::string contents(200, 'x');

    // A directory at the name is refused before anything is written.
    const std::string directory = dir.write_file("taken/inside", "kept");
    const std::string taken = dir.path() + "/taken";
    EXPECT_TRUE(failed_at(write_with(writer, calls, taken, contents), taken, "open", EISDIR));
    EXPECT_EQ(read_file_bytes(directory), "kept");

    // A file larger than the process may write (SIGXFSZ ignored).
    const std::string small = dir.write_file("small", "old");
    EXPECT_TRUE(in_child([&] {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{100, 100};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      // The batch's other two files are as large and fail alike.
      std::vector<FailedFile> failed = write_with(writer, calls, small, contents);
      if (writer == Writer::kBatch && failed.size() == 3) failed.erase(failed.begin() + 2);
      if (writer == Writer::kBatch && failed.size() == 2) failed.erase(failed.begin());
      return failed_at(failed, small, "write", EFBIG);
    }));
    EXPECT_EQ(read_file_bytes(small), "old");

    // A device that is full, written in place (through a link of this
    // directory, so that a writer that replaced it replaced only the link).
    const std::string full = dir.path() + "/full";
    fs::create_symlink("/dev/full", full);
    EXPECT_TRUE(failed_at(write_with(writer, calls, full, contents), full, "write", ENOSPC));
    EXPECT_TRUE(fs::is_symlink(full));
    fs::remove(dir.path() + "/before");
    fs::remove(dir.path() + "/after");
    EXPECT_EQ(directory_entries(dir.path()), (std::vector<std::string>{"full", "small", "taken"}));
  }
}

// A directory that takes the name while the file is written fails the
// rename; the batch's other files are still put in place.
TEST(FileWritersTest, DirectoryAppearingAtTheNameFailsTheRename) {
  TempDir dir;
  const std::string target = dir.path() + "/target";
  StreamedFile stream;
  ASSERT_TRUE(stream.open(target).ok());
  ASSERT_TRUE(stream.write("data").ok());
  fs::create_directory(target);
  const FileStatus committed = stream.commit();
  EXPECT_STREQ(committed.step, "rename");
  EXPECT_EQ(committed.error_number, EISDIR);
  fs::remove(target);

  FileBatch batch;
  for (const char* name : {"/a", "/target", "/c"}) EXPECT_TRUE(batch.add(dir.path() + name, "x").empty());
  fs::create_directory(target);
  EXPECT_TRUE(failed_at(batch.commit(), target, "rename", EISDIR));
  EXPECT_EQ(read_file_bytes(dir.path() + "/a"), "x");
  EXPECT_EQ(read_file_bytes(dir.path() + "/c"), "x");
  EXPECT_EQ(directory_entries(dir.path()), (std::vector<std::string>{"a", "c", "target"}));
}

// Devices, FIFOs and standard output are written where they are, never
// replaced by a regular file.
TEST(FileWritersTest, TargetsThatAreNoRegularFilesAreWrittenInPlace) {
  for (const Writer writer : {Writer::kWhole, Writer::kStream, Writer::kBatch}) {
    SCOPED_TRACE(writer_name(writer));
    FileCalls& calls = system_file_calls();
    TempDir dir;
    // Links in the test's directory: a writer that replaced its target would
    // replace the link, not the device.
    const std::string null = dir.path() + "/null";
    fs::create_symlink("/dev/null", null);
    EXPECT_TRUE(write_with(writer, calls, null, "gone").empty());
    EXPECT_TRUE(fs::is_symlink(null));
    struct stat st {};

    const std::string fifo = dir.path() + "/fifo";
    const std::string same_fifo = dir.path() + "/same-fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::link(fifo.c_str(), same_fifo.c_str()), 0);
    std::string received;
    std::thread reader([&] { received = read_file_bytes(fifo); });
    const std::vector<FailedFile> failed = write_with(writer, calls, fifo, "through");
    // Lets the reader go should the writer have missed the FIFO.
    const int unblock = ::open(same_fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (unblock >= 0) ::close(unblock);
    reader.join();
    EXPECT_TRUE(failed.empty());
    EXPECT_EQ(received, "through");
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
  }

  // "-" and a link to standard output (as /dev/stdout) on a pipe: the
  // bytes come out of the pipe in order.
  TempDir dir;
  const std::string out_link = dir.path() + "/stdout";
  fs::create_symlink("/proc/self/fd/1", out_link);
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipe_fds[1], STDOUT_FILENO);
    ::close(pipe_fds[0]);
    ::close(pipe_fds[1]);
    StreamedFile stream;
    bool ok = stream.open("-").ok() && stream.write("A").ok() && stream.commit().ok();
    ok = ok && replace_file(out_link, "B").ok();
    FileBatch batch;
    ok = ok && batch.add(out_link, "C").empty() && batch.commit().empty();
    ok = ok && stream.open("-").ok() && stream.write("D").ok() && stream.commit().ok();
    ::_exit(ok && ::write(STDOUT_FILENO, "E", 1) == 1 ? 0 : 1);
  }
  ::close(pipe_fds[1]);
  std::string out;
  char buffer[64];
  ssize_t n = 0;
  while ((n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(n));
  ::close(pipe_fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(out, "ABCDE");
  EXPECT_TRUE(fs::is_symlink(out_link));
}

// Writes `contents` to `path` alone, as one writer does.
bool write_alone(Writer writer, const std::string& path, const std::string& contents) {
  if (writer == Writer::kWhole) return replace_file(path, contents).ok();
  if (writer == Writer::kBatch) {
    FileBatch batch;
    return batch.add(path, contents).empty() && batch.commit().empty();
  }
  StreamedFile stream;
  return stream.open(path).ok() && stream.write(contents).ok() && stream.commit().ok();
}

// A link to a regular file is never replaced itself. A link reached
// through /proc (as /dev/stdout -> /proc/self/fd/1, or /dev/fd/1) names a
// file that some process opened: it is truncated and written where it is.
// Any other link has the file at the end of its links replaced, which keeps
// its permission bits.
TEST(FileWritersTest, LinksToRegularFilesKeepTheLink) {
  for (const Writer writer : {Writer::kWhole, Writer::kStream, Writer::kBatch}) {
    SCOPED_TRACE(writer_name(writer));
    TempDir dir;
    const std::string d = dir.path();
    const std::string real = dir.write_file("sub/real", "old");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    fs::create_symlink("sub/real", d + "/relative");
    fs::create_symlink(d + "/relative", d + "/chain");
    for (const std::string name : {"relative", "chain"}) {
      SCOPED_TRACE(name);
      EXPECT_TRUE(write_alone(writer, d + "/" + name, "new " + name));
      EXPECT_TRUE(fs::is_symlink(d + "/" + name));
      EXPECT_EQ(read_file_bytes(real), "new " + name);
      struct stat st {};
      ASSERT_EQ(::stat(real.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0640u);
    }
    EXPECT_EQ(directory_entries(d + "/sub"), std::vector<std::string>{"real"});

    const std::string held = dir.write_file("held", "old and longer");
    struct stat before {};
    ASSERT_EQ(::stat(held.c_str(), &before), 0);
    const int fd = ::open(held.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const std::string number = std::to_string(fd);
    fs::create_symlink("/proc/self/fd/" + number, d + "/out");
    fs::create_symlink("/proc/self/fd", d + "/fd");
    fs::create_symlink(d + "/out", d + "/out-chain");
    for (const std::string& name : std::vector<std::string>{"out", "fd/" + number, "out-chain"}) {
      SCOPED_TRACE(name);
      ASSERT_EQ(::pwrite(fd, "old and longer", 14, 0), 14);
      EXPECT_TRUE(write_alone(writer, d + "/" + name, "new"));
      EXPECT_EQ(read_file_bytes(held), "new");
      struct stat after {};
      ASSERT_EQ(::stat(held.c_str(), &after), 0);
      EXPECT_EQ(after.st_ino, before.st_ino);
      EXPECT_TRUE(fs::is_symlink(d + "/out"));
    }
    ::close(fd);
    EXPECT_EQ(directory_entries(d), (std::vector<std::string>{"chain", "fd", "held", "out", "out-chain",
                                                              "relative", "sub"}));
  }
}

// A stream that is abandoned or dropped uncommitted, after a part of it
// went to disk, leaves the old file and nothing else.
TEST(FileWritersTest, UncommittedStreamLeavesTheOldFile) {
  for (const bool named : {false, true}) {
    for (const bool dropped : {false, true}) {
      SCOPED_TRACE(std::string(named ? "named" : "unnamed") + (dropped ? ", dropped" : ", abandoned"));
      TempDir dir;
      const std::string target = dir.write_file("target", "old");
      FailingCalls calls("", 0, named);
      {
        StreamedFile stream(calls);
        ASSERT_TRUE(stream.open(target).ok());
        ASSERT_TRUE(stream.write(std::string(200000, 'x')).ok());
        EXPECT_EQ(directory_entries(dir.path()).size(), named ? 2u : 1u);
        if (!dropped) {
          stream.abandon();
          EXPECT_FALSE(stream.commit().ok());
        }
      }
      EXPECT_TRUE(read_file_bytes(target) == "old");
      EXPECT_EQ(directory_entries(dir.path()), std::vector<std::string>{"target"});
    }
  }
}

// A batch is put in place when it reaches its file limit or its byte
// limit, and not one file or one byte earlier.
TEST(FileWritersTest, BatchIsPutInPlaceAtEitherLimit) {
  struct Case {
    const char* what;
    BatchLimits limits;
    std::vector<std::size_t> sizes;  // of the files added, in order
  };
  const Case cases[] = {
      {"files", {3, 1000}, {1, 1, 1}},
      {"bytes", {100, 10}, {9, 1}},
      {"bytes at once", {100, 10}, {4, 20}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    FileBatch batch(c.limits);
    for (std::size_t i = 0; i < c.sizes.size(); ++i) {
      const bool last = i + 1 == c.sizes.size();
      EXPECT_TRUE(batch.add(dir.path() + "/f" + std::to_string(i), std::string(c.sizes[i], 'b')).empty());
      EXPECT_EQ(directory_entries(dir.path()).size(), last ? c.sizes.size() : 0u) << "after file " << i;
    }
  }
}

// SIGINT, SIGTERM and SIGHUP in the middle of a stream and a batch written
// into named temporary files: the process ends by the signal (128 + n for
// a shell) and no temporary file remains.
TEST(FileWritersTest, EndingSignalRemovesEveryNamedTemporaryFile) {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal_number));
    TempDir dir;
    dir.write_file("stream.xml", "old");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
      handle_ending_signals();
      FailingCalls calls("", 0, true);
      StreamedFile stream(calls);
      FileBatch batch(BatchLimits(), calls);
      bool ok = stream.open(dir.path() + "/stream.xml").ok() &&
                stream.write(std::string(100000, 's')).ok();
      for (const char* name : {"/a.pz", "/b.pz", "/c.pz"}) {
        ok = ok && batch.add(dir.path() + name, "pz").empty();
      }
      if (!ok || ::write(ready[1], "r", 1) != 1) ::_exit(1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(directory_entries(dir.path()).size(), 5u) << "the temporary files are named";
    ASSERT_EQ(::kill(pid, signal_number), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(128 + WTERMSIG(status), 128 + signal_number);
    EXPECT_EQ(directory_entries(dir.path()), std::vector<std::string>{"stream.xml"});
    EXPECT_EQ(read_file_bytes(dir.path() + "/stream.xml"), "old");
  }
}

TEST(ProcessGuardTest, ClosedStandardDescriptorsAreFilledAndReported) {
  for (const int closed : {0, 1, 2}) {
    SCOPED_TRACE(closed);
    EXPECT_TRUE(in_child([closed] {
      ::close(closed);
      const ClosedDescriptors found = fill_standard_descriptors();
      const bool flags[] = {found.input, found.output, found.error};
      for (int fd = 0; fd <= 2; ++fd) {
        if (flags[fd] != (fd == closed) || ::fcntl(fd, F_GETFD) == -1) return false;
      }
      // The gap holds /dev/null, not the next file opened.
      struct stat st {};
      return ::fstat(closed, &st) == 0 && S_ISCHR(st.st_mode);
    }));
  }
}

}  // namespace
}  // namespace kalvynex

// A directory for the settings files of the fuzz targets, made once per
// process (in /dev/shm when there is one, so that rewriting the files for
// every input stays cheap) and removed at exit.
#ifndef KALVYNEX_FUZZ_SCRATCH_FILES_H_
#define KALVYNEX_FUZZ_SCRATCH_FILES_H_

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace kalvynex_fuzz {

class ScratchFiles {
 public:
  ScratchFiles() {
    struct stat info;
    const std::string base = (stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode)) ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/kalvynex-fuzz.XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    dir_ = buffer.data();
  }
  ~ScratchFiles() {
    for (const std::string& name : names_) unlink(path(name).c_str());
    rmdir(dir_.c_str());
  }
  ScratchFiles(const ScratchFiles&) = delete;
  ScratchFiles& operator=(const ScratchFiles&) = delete;

  const std::string& dir() const { return dir_; }
  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  // Writes `contents` as the file `name` in the directory.
  void write(const std::string& name, const std::string& contents) {
    remember(name);
    std::FILE* file = std::fopen(path(name).c_str(), "wb");
    if (file == nullptr) {
      std::perror("fopen");
      std::abort();
    }
    if (!contents.empty()) std::fwrite(contents.data(), 1, contents.size(), file);
    std::fclose(file);
  }

  void remove(const std::string& name) { unlink(path(name).c_str()); }

 private:
  void remember(const std::string& name) {
    for (const std::string& known : names_) {
      if (known == name) return;
    }
    names_.push_back(name);
  }

  std::string dir_;
  std::vector<std::string> names_;
};

}  // namespace kalvynex_fuzz

#endif  // KALVYNEX_FUZZ_SCRATCH_FILES_H_

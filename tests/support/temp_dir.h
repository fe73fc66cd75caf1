// A directory under the system's temporary directory that lives as long as
// the object: created empty, removed with everything in it at destruction.
#ifndef KALVYNEX_TESTS_SUPPORT_TEMP_DIR_H_
#define KALVYNEX_TESTS_SUPPORT_TEMP_DIR_H_

#include <string>

namespace kalvynex {

class TempDir {
 public:
  TempDir();
  ~TempDir();

  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory, without a trailing "/".
  const std::string& path() const { return path_; }

  // Writes `content` byte for byte into the file `name` (which may hold
  // subdirectories, created as needed) and gives the file's full path.
  std::string write_file(const std::string& name, const std::string& content) const;

 private:
  std::string path_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_TESTS_SUPPORT_TEMP_DIR_H_

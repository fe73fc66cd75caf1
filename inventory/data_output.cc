#include "inventory/data_output.h"

#include <cerrno>

namespace kalvynex {

namespace {

FileStatus failed_stdout() {
  FileStatus status;
  status.error_number = errno != 0 ? errno : EIO;
  status.step = "write";
  return status;
}

}  // namespace

FileStatus DataStream::open(const std::string& path) {
  if (path == "-") return FileStatus();
  to_file_ = true;
  return file_.open(path);
}

FileStatus DataStream::write(const std::string& piece) {
  if (to_file_) return file_.write(piece);
  if (!piece.empty() && std::fwrite(piece.data(), 1, piece.size(), out_) != piece.size()) {
    return failed_stdout();
  }
  return FileStatus();
}

FileStatus DataStream::finish() {
  if (to_file_) return file_.commit();
  if (std::fflush(out_) != 0 || std::ferror(out_)) return failed_stdout();
  return FileStatus();
}

std::string stream_name(const std::string& output) {
  return output == "-" ? "standard output" : output;
}

Outcome PeriodFiles::add(const CatalogPeriod& p, const std::string& name,
                         const std::string& contents) {
  if (!(p.codes == channel_)) {
    channel_ = p.codes;
    names_.clear();
  }
  if (!names_.insert(name).second) {
    reporter_.period(p, "file " + name + " also holds an earlier period; written over");
  }
  std::string failed;
  const FileStatus written = files_.add(name, contents, &failed);
  return written.ok() ? Outcome::done() : Outcome::failed(reporter_.output(failed, written));
}

Outcome PeriodFiles::commit() {
  std::string failed;
  const FileStatus written = files_.commit(&failed);
  return written.ok() ? Outcome::done() : Outcome::failed(reporter_.output(failed, written));
}

}  // namespace kalvynex

#include "inventory/data_output.h"

namespace kalvynex {

FileStatus DataStream::open(const std::string& path) { return file_.open(path); }

FileStatus DataStream::write(const std::string& piece) { return file_.write(piece); }

FileStatus DataStream::finish() { return file_.commit(); }

std::string stream_name(const std::string& output) {
  return output == "-" ? "standard output" : output;
}

void PeriodFiles::report(const std::vector<FailedFile>& failed) {
  for (const FailedFile& file : failed) reporter_.output(file.path, file.status);
  if (!failed.empty()) failed_ = true;
}

void PeriodFiles::add(const CatalogPeriod& p, const std::string& name,
                      const std::string& contents) {
  // The channels come one after the other: a new one is the last owner.
  if (owners_.empty() || !(owners_.back() == p.codes)) owners_.push_back(p.codes);
  const auto owner = static_cast<uint32_t>(owners_.size() - 1);
  const std::size_t slash = name.rfind('/');
  const auto [earlier, added] =
      written_.emplace(slash == std::string::npos ? name : name.substr(slash + 1), owner);
  if (!added) {
    if (earlier->second != owner) {
      const ChannelCodes& first = owners_[earlier->second];
      reporter_.period(p, "file " + name + " was written for " + first.network + "." +
                              first.sta + "." + first.location + "." + first.chan +
                              " in this run; not written");
      return;
    }
    reporter_.period(p, "file " + name + " also holds an earlier period; written over");
  }
  report(files_.add(name, contents));
}

Outcome PeriodFiles::commit() {
  report(files_.commit());
  return failed_ ? Outcome::failed(InventoryExit::kOutput) : Outcome::done();
}

}  // namespace kalvynex

// Where the commands' data go; the one place that writes files. A
// DataStream is standard output or one file written as the rows stream; a
// PeriodFiles writes one file per period, put in place in batches.
#ifndef KALVYNEX_INVENTORY_DATA_OUTPUT_H_
#define KALVYNEX_INVENTORY_DATA_OUTPUT_H_

#include <cstdio>
#include <set>
#include <string>

#include "core/channel_codes.h"
#include "core/file_replace.h"
#include "db/period_catalog.h"
#include "inventory/batch_files.h"
#include "inventory/period_walk.h"
#include "inventory/reporter.h"
#include "inventory/stream_file.h"

namespace kalvynex {

class DataStream {
 public:
  explicit DataStream(std::FILE* out) : out_(out) {}

  // "-" keeps the output stream; any other path is a file put in place by
  // finish.
  FileStatus open(const std::string& path);
  FileStatus write(const std::string& piece);
  FileStatus finish();

 private:
  std::FILE* out_;
  bool to_file_ = false;
  StreamFile file_;
};

// The name the messages give the output "-" or a file.
std::string stream_name(const std::string& output);

class PeriodFiles {
 public:
  explicit PeriodFiles(Reporter& reporter) : reporter_(reporter) {}

  // Writes `contents` as the file `name` of period `p`. A name that an
  // earlier period of the same channel wrote in this run is reported as a
  // problem of `p` (the later file replaces the earlier one). A failure is
  // reported and ends in kOutput.
  Outcome add(const CatalogPeriod& p, const std::string& name, const std::string& contents);

  // Puts every file in place.
  Outcome commit();

 private:
  Reporter& reporter_;
  BatchFiles files_;
  ChannelCodes channel_;
  std::set<std::string> names_;  // files written for channel_
};

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_DATA_OUTPUT_H_

// Where the commands' data go; the one place that writes them. A
// DataStream is standard output or one file written as the rows stream
// (core/streamed_file); a PeriodFiles writes one file per period, put in
// place in batches (core/file_batch).
#ifndef KALVYNEX_INVENTORY_DATA_OUTPUT_H_
#define KALVYNEX_INVENTORY_DATA_OUTPUT_H_

#include <cstdint>
#include <string_view>
#include <utility>
#include <unordered_map>
#include <vector>
#include <string>

#include "core/channel_codes.h"
#include "core/file_batch.h"
#include "core/file_status.h"
#include "core/streamed_file.h"
#include "db/period_catalog.h"
#include "inventory/period_walk.h"
#include "inventory/reporter.h"
#include "inventory/station_document.h"

namespace kalvynex {

class DataStream {
 public:
  // `standard_output` is the descriptor of "-" (InventoryEnvironment::out).
  explicit DataStream(int standard_output) : file_(system_file_calls(), standard_output) {}

  // "-" is standard output; a device, FIFO or socket (or a link to one) is
  // written in place; any other path is a file put in place by finish().
  FileStatus open(const std::string& path);
  FileStatus write(const std::string& piece);
  // Puts the file in place. A stream left unfinished (every period
  // skipped, a failure) leaves an existing file as it was.
  FileStatus finish();

 private:
  StreamedFile file_;
};

// The name the messages give the output "-" or a file.
std::string stream_name(const std::string& output);

// A document of export into a DataStream, named as stream_name names it.
// With `opened` the stream was opened before (export -f sacpz opens its
// output before the first period) and open() has nothing left to do.
class StreamDocumentSink : public DocumentSink {
 public:
  StreamDocumentSink(DataStream& stream, std::string output, bool opened = false)
      : stream_(stream), output_(std::move(output)), opened_(opened) {}

  FileStatus open() override { return opened_ ? FileStatus() : stream_.open(output_); }
  FileStatus write(std::string_view bytes) override {
    piece_.assign(bytes.data(), bytes.size());
    return stream_.write(piece_);
  }
  FileStatus finish() override { return stream_.finish(); }
  std::string name() const override { return stream_name(output_); }

 private:
  DataStream& stream_;
  std::string output_;
  bool opened_;
  std::string piece_;  // one buffer for every piece
};

class PeriodFiles {
 public:
  explicit PeriodFiles(Reporter& reporter) : reporter_(reporter) {}

  // Writes `contents` as the file `name` of period `p`. A name that an
  // earlier period of the same channel wrote in this run is reported as a
  // problem of `p` (the later file replaces the earlier one: same-day
  // periods). A name that another channel's file took in this run is
  // reported as a problem of `p`, which is then not written: two channels
  // never overwrite each other. A file that fails is reported and fails
  // alone: the others are still written, and commit() ends in kOutput.
  void add(const CatalogPeriod& p, const std::string& name, const std::string& contents);

  // Puts every file in place; kOutput when any file failed in the run.
  Outcome commit();

 private:
  void report(const std::vector<FailedFile>& failed);

  Reporter& reporter_;
  FileBatch files_;
  bool failed_ = false;
  // Every name written in the run (its last part: one directory holds them
  // all), with the index of its channel in owners_. Kept small, since it
  // grows with the number of files.
  std::unordered_map<std::string, uint32_t> written_;
  std::vector<ChannelCodes> owners_;  // the channels in the order they wrote
};

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_DATA_OUTPUT_H_

// export -f sacpz: the pole-zero text of every period with a usable SAC
// text, into one stream (standard output or a file) or one file per period
// in a directory.
#include <ctime>
#include <string>

#include "config/station_file.h"
#include "inventory/commands.h"
#include "inventory/data_output.h"
#include "inventory/sacpz_period.h"
#include "inventory/station_document.h"
#include "response/sacpz_text.h"

namespace kalvynex {

namespace {

// The name of one period's sacpz file in a directory.
std::string sacpz_path(const std::string& dir, const CatalogPeriod& p) {
  std::string name = dir;
  if (!name.empty() && name.back() != '/') name += '/';
  return name + sacpz_file_name(p.codes, p.startdate, p.enddate);
}

}  // namespace

CommandResult export_sacpz(const CommandContext& context, const std::string& output,
                           bool directory) {
  Reporter& reporter = context.reporter;
  StationPlaces places;
  if (context.options.stations) {
    std::string error;
    if (!read_station_file(*context.options.stations, &places, &error)) {
      context.reporter.error(error);
      CommandResult failed;
      failed.outcome = Outcome::failed(InventoryExit::kUsage);
      return failed;
    }
  }
  const StationPlaces* known = context.options.stations ? &places : nullptr;
  const std::time_t created = created_epoch(context.env.source_date_epoch);
  DataStream stream(context.env.out);
  if (!directory) {
    // The output is opened before the first period, so that a name that
    // cannot be written fails before the database is read.
    const FileStatus opened = stream.open(output);
    if (!opened.ok()) {
      CommandResult failed;
      failed.outcome = Outcome::failed(reporter.output(output, opened));
      return failed;
    }
    StreamDocumentSink sink(stream, output, true);
    return write_sacpz_document(context.walk, reporter, known, sink, created);
  }
  PeriodFiles files(reporter);
  SacPzPeriodTexts texts(context.walk, reporter, known, created);
  std::string text;
  CommandResult result = context.walk.each_exportable(true, [&](const CatalogPeriod& p) {
    Outcome outcome;
    if (texts.text(p, &text, &outcome)) files.add(p, sacpz_path(output, p), text);
    return outcome;
  });
  if (!result.outcome.is_done()) return result;
  result.outcome = files.commit();
  return result;
}

}  // namespace kalvynex

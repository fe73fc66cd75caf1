// export -f stationxml: one StationXML document of every selected period,
// written as the rows come: only the current period's texts and response
// are in memory.
#include <fstream>
#include <iterator>
#include <vector>

#include "config/station_file.h"
#include "core/string_printf.h"
#include "inventory/commands.h"
#include "inventory/data_output.h"
#include "response/fap_text.h"
#include "response/pole_zero.h"
#include "response/stationxml_writer.h"

namespace kalvynex {

namespace {

// The stations file of --stations, if given; false after a reported failure.
bool read_places(const CommandContext& context, StationPlaces* places) {
  const std::optional<std::string>& path = context.options.stations;
  if (!path) return true;
  std::ifstream in(*path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string why;
  if (!in.good() && !in.eof()) {
    context.reporter.error("cannot read the stations file " + *path);
    return false;
  }
  if (!parse_station_file(text, places, &why)) {
    context.reporter.error("stations file " + *path + ": " + why);
    return false;
  }
  return true;
}

// The period's response: the pole zeros when the SAC text reads, else the
// usable FAP lines, else none; each fallback is reported.
void choose_response(const CommandContext& context, const CatalogPeriod& p,
                     const CalibrationRecord& record, PoleZeroResponse* pole_zero,
                     std::vector<FapTriplet>* triplets, ChannelEpoch* epoch) {
  std::vector<PoleZeroProblem> problems;
  if (!record.sac.empty() && parse_pole_zero(record.sac, pole_zero, &problems)) {
    epoch->pole_zero = pole_zero;
    return;
  }
  scan_fap_lines(normalize_fap_text(record.fap).text, [triplets](const FapLine& line) {
    if (line.usable()) triplets->push_back({line.frequency, line.amplitude, line.phase});
  });
  if (!triplets->empty()) epoch->fap = triplets;
  std::string why;
  if (!problems.empty()) {
    why = string_printf("SAC text line %d: %s; ", problems[0].line, problems[0].reason.c_str());
  }
  if (!problems.empty() || triplets->empty()) {
    why += triplets->empty() ? "written without a response" : "response from the FAP text";
    context.reporter.period(p, why);
  }
}

}  // namespace

CommandResult export_stationxml(const CommandContext& context, const std::string& output) {
  Reporter& reporter = context.reporter;
  StationPlaces places;
  if (!read_places(context, &places)) {
    CommandResult failed;
    failed.outcome = Outcome::failed(InventoryExit::kUsage);
    return failed;
  }
  DataStream stream(context.env.out);
  FileStatus sink_status;
  std::string chunk;  // one buffer for every piece libxml2 hands over
  StationXmlWriter writer([&stream, &sink_status, &chunk](const char* data, std::size_t size) {
    chunk.assign(data, size);
    sink_status = stream.write(chunk);
    return sink_status.ok();
  });
  auto write_failed = [&]() {
    if (sink_status.ok()) {  // the writer itself failed: out of memory
      sink_status.error_number = ENOMEM;
      sink_status.step = "write";
    }
    return Outcome::failed(reporter.output(stream_name(output), sink_status));
  };
  bool begun = false;
  std::string station_key;
  StationPlace place;
  const StationPlace unknown;
  CommandResult result = context.walk.each(true, [&](const CatalogPeriod& p) {
    if (!reporter.usable_codes(p)) return Outcome::done();
    const bool open = is_open_end(p.enddate);
    if (!is_calendar_time(p.startdate) || (!open && !is_calendar_time(p.enddate))) {
      reporter.period(p, "a date that is not a calendar time; skipped");
      return Outcome::done();
    }
    CalibrationRecord record = record_of(p);
    const Status read = context.walk.read_texts(&record);
    if (!read.ok()) return Outcome::database(read);
    if (!begun) {
      // The document starts with the first period, so that a selection
      // that matches nothing leaves no file behind.
      const FileStatus opened = stream.open(output);
      if (!opened.ok()) return Outcome::failed(reporter.output(output, opened));
      StationXmlDocumentInfo info;
      info.source = "QEV calibration database";
      info.module = std::string(kInventoryProgram) + " " + KALVYNEX_VERSION;
      info.created_seconds = created_epoch(context.env.source_date_epoch);
      if (!writer.begin(info)) return write_failed();
      begun = true;
    }
    const std::string key = p.codes.network + "." + p.codes.sta;
    if (key != station_key) {
      station_key = key;
      const StationPlace* found = places.find(p.codes.network, p.codes.sta);
      place = found != nullptr ? *found : unknown;
      if (found == nullptr) {
        reporter.warning("station " + key +
                         (context.options.stations ? " is not in the stations file"
                                                   : " has no coordinates (see --stations)") +
                         "; written at 0, 0, 0");
      }
    }
    ChannelEpoch epoch;
    epoch.codes = p.codes;
    epoch.start = p.startdate;
    epoch.end = p.enddate;
    epoch.normalization_frequency = p.freq > 0.0 ? p.freq : 1.0;
    PoleZeroResponse pole_zero;
    std::vector<FapTriplet> triplets;
    choose_response(context, p, record, &pole_zero, &triplets, &epoch);
    return writer.add_channel(epoch, place) ? Outcome::done() : write_failed();
  });
  if (!result.outcome.is_done() || !begun) return result;
  if (!writer.finish()) {
    result.outcome = write_failed();
    return result;
  }
  const FileStatus finished = stream.finish();
  if (!finished.ok()) {
    result.outcome = Outcome::failed(reporter.output(stream_name(output), finished));
  }
  return result;
}

}  // namespace kalvynex

// export -f stationxml: one StationXML document of every selected period,
// written as the rows come: only the current period's texts and response
// are in memory.
#include <utility>
#include <vector>

#include "config/station_file.h"
#include "core/period_label.h"
#include "core/string_printf.h"
#include "inventory/commands.h"
#include "inventory/data_output.h"
#include "inventory/element_dates.h"
#include "response/fap_text.h"
#include "response/pole_zero.h"
#include "response/stationxml_writer.h"

namespace kalvynex {

namespace {

// The stations file of --stations, if given; false after a reported failure.
bool read_places(const CommandContext& context, StationPlaces* places) {
  const std::optional<std::string>& path = context.options.stations;
  if (!path) return true;
  std::string error;
  if (!read_station_file(*path, places, &error)) {
    context.reporter.error(error);
    return false;
  }
  return true;
}

// The period's response: the pole zeros when the SAC text reads and can be
// normalised, else the usable FAP lines when every number of them is finite,
// else none; each fallback is reported, and so is a normalisation frequency
// that had to move. False when the period is to be skipped: a text that is
// there holds numbers that cannot be written (inf, nan, or a response that
// cannot be normalised) and no other response can be written instead.
bool choose_response(const CommandContext& context, const CatalogPeriod& p,
                     const CalibrationRecord& record, PoleZeroResponse* pole_zero,
                     std::vector<FapTriplet>* triplets, ChannelEpoch* epoch) {
  std::vector<PoleZeroProblem> problems;
  std::string why;          // why the SAC text, then the FAP text, is not used
  bool numbers = false;     // a text was left out for its numbers
  if (!record.sac.empty() && parse_pole_zero(record.sac, pole_zero, &problems)) {
    *pole_zero = pole_zero_in_units(std::move(*pole_zero), epoch->units);
    epoch->pole_zero = pole_zero;
    const ResponsePlan plan = plan_response(*epoch);
    if (plan.writable) {
      if (!plan.moved.empty()) {
        context.reporter.warning(period_label(p.codes, p.startdate) +
                                 string_printf(": normalised at %g Hz instead of %g Hz: ",
                                               plan.frequency, epoch->normalization_frequency) +
                                 plan.moved);
      }
      return true;
    }
    epoch->pole_zero = nullptr;
    why = "SAC text: " + plan.unusable + "; ";
    numbers = true;
  } else if (!problems.empty()) {
    why = string_printf("SAC text line %d: %s; ", problems[0].line, problems[0].reason.c_str());
    numbers = first_not_finite(problems) != nullptr;
  }
  int not_finite_line = 0;
  scan_fap_lines(normalize_fap_text(record.fap).text, [&](const FapLine& line) {
    if (not_finite_line == 0 && !line.finite()) not_finite_line = line.number;
    if (line.usable()) triplets->push_back({line.frequency, line.amplitude, line.phase});
  });
  if (not_finite_line > 0) {
    why += string_printf("FAP text line %d: a number that is not finite; ", not_finite_line);
    numbers = true;
  } else if (!triplets->empty()) {
    *triplets = fap_in_units(std::move(*triplets), epoch->units);
    epoch->fap = triplets;
    const ResponsePlan plan = plan_response(*epoch);
    if (!plan.writable) {
      epoch->fap = nullptr;
      why += "FAP text: " + plan.unusable + "; ";
      numbers = true;
    }
  }
  if (epoch->fap != nullptr) {
    if (!why.empty()) context.reporter.period(p, why + "response from the FAP text");
    return true;
  }
  context.reporter.period(p, why + (numbers ? "skipped" : "written without a response"));
  return !numbers;
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
  // The dates of the networks and stations come first, from one query.
  std::vector<ChannelSpan> spans;
  const Status spans_read = context.walk.channel_spans(&spans);
  if (!spans_read.ok()) {
    CommandResult failed;
    failed.outcome = Outcome::database(spans_read);
    return failed;
  }
  const ElementDateIndex dates(spans);
  spans = std::vector<ChannelSpan>();
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
  CommandResult result = context.walk.each_exportable(true, [&](const CatalogPeriod& p) {
    CalibrationRecord record = record_of(p);
    const Status read = context.walk.read_texts(&record);
    if (!read.ok()) return Outcome::database(read);
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
    epoch.normalization_frequency = requested_normalization_frequency(p.freq);
    epoch.units = context.options.units;
    epoch.sensor =
        places.find_channel(p.codes.network, p.codes.sta, p.codes.location, p.codes.chan);
    PoleZeroResponse pole_zero;
    std::vector<FapTriplet> triplets;
    if (!choose_response(context, p, record, &pole_zero, &triplets, &epoch)) {
      return Outcome::done();
    }
    if (!begun) {
      // The document starts with the first period written, so that a
      // selection that matches nothing (or only skipped periods) leaves no
      // file behind.
      const FileStatus opened = stream.open(output);
      if (!opened.ok()) return Outcome::failed(reporter.output(output, opened));
      StationXmlDocumentInfo info;
      info.source = "QEV calibration database";
      info.module = std::string(kInventoryProgram) + " " + KALVYNEX_VERSION;
      info.created_seconds = created_epoch(context.env.source_date_epoch);
      if (!writer.begin(info)) return write_failed();
      begun = true;
    }
    return writer.add_channel(epoch, place, dates.network(p.codes.network),
                              dates.station(p.codes.network, p.codes.sta))
               ? Outcome::done()
               : write_failed();
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

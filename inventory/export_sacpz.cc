// export -f sacpz: the pole-zero text of every period with a usable SAC
// text, into one stream (standard output or a file) or one file per period
// in a directory.
#include <optional>
#include <vector>

#include "config/station_file.h"
#include "core/period_label.h"
#include "core/string_printf.h"
#include "inventory/commands.h"
#include "inventory/data_output.h"
#include "response/pole_zero.h"
#include "response/sacpz_text.h"
#include "response/stationxml_writer.h"

namespace kalvynex {

namespace {

// The CREATED time of a sacpz export.
std::string created_time(const std::optional<std::string>& source_date_epoch) {
  const std::time_t t = created_epoch(source_date_epoch);
  std::tm utc{};
  gmtime_r(&t, &utc);
  return string_printf("%04d-%02d-%02dT%02d:%02d:%02d", utc.tm_year + 1900, utc.tm_mon + 1,
                       utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
}

// The name of one period's sacpz file in a directory.
std::string sacpz_path(const std::string& dir, const CatalogPeriod& p) {
  std::string name = dir;
  if (!name.empty() && name.back() != '/') name += '/';
  return name + sacpz_file_name(p.codes, p.startdate, p.enddate);
}

// The header lines of a station's place, from the stations file.
SacPzPlace sacpz_place(const StationPlace& place) {
  SacPzPlace out;
  if (!place.known) return out;
  out.description = place.site_name;
  out.latitude = place.latitude;
  out.longitude = place.longitude;
  out.elevation = place.elevation;
  return out;
}

// The header lines of a channel's sensor, from the stations file.
void add_sensor(const ChannelPlace& sensor, SacPzPlace* out) {
  out->depth = sensor.depth;
  out->dip = sensor.dip;
  out->azimuth = sensor.azimuth;
  out->sample_rate = sensor.sample_rate;
}

// SENSITIVITY and A0 at the period's normalisation frequency (FREQ, or where
// the StationXML export would move it); none, reported, when the response
// cannot be normalised anywhere.
std::optional<SacPzSensitivity> sensitivity_of(const CommandContext& context,
                                               const CatalogPeriod& p,
                                               const PoleZeroResponse& response) {
  ChannelEpoch epoch;
  epoch.pole_zero = &response;
  epoch.normalization_frequency = requested_normalization_frequency(p.freq);
  const ResponsePlan plan = plan_response(epoch);
  if (!plan.writable) {
    context.reporter.period(p, plan.unusable + "; written without SENSITIVITY and A0");
    return std::nullopt;
  }
  if (!plan.moved.empty()) {
    context.reporter.warning(period_label(p.codes, p.startdate) +
                             string_printf(": A0 and SENSITIVITY at %g Hz instead of %g Hz: ",
                                           plan.frequency, epoch.normalization_frequency) +
                             plan.moved);
  }
  const PoleZeroNormalization norm = normalize_pole_zero(response, plan.frequency);
  SacPzSensitivity out;
  out.a0 = norm.factor;
  out.counts_per_metre = norm.gain;
  return out;
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
  const std::string created = created_time(context.env.source_date_epoch);
  DataStream stream(context.env.out);
  if (!directory) {
    const FileStatus opened = stream.open(output);
    if (!opened.ok()) {
      CommandResult failed;
      failed.outcome = Outcome::failed(reporter.output(output, opened));
      return failed;
    }
  }
  PeriodFiles files(reporter);
  // Kept from period to period so that their memory is reused.
  CalibrationRecord record;
  PoleZeroResponse response;
  std::vector<PoleZeroProblem> problems;
  bool written_any = false;
  std::string station_key;
  SacPzPlace place;
  CommandResult result = context.walk.each_exportable(true, [&](const CatalogPeriod& p) {
    if (!p.has_sac) {
      reporter.period(p, "no SAC text; skipped");
      return Outcome::done();
    }
    const Status read = context.walk.read_texts(&record);
    if (!read.ok()) return Outcome::database(read);
    problems.clear();
    if (!parse_pole_zero(record.sac, &response, &problems)) {
      reporter.period(p, string_printf("SAC text line %d: %s; skipped", problems[0].line,
                                       problems[0].reason.c_str()));
      return Outcome::done();
    }
    SacPzPeriod period;
    period.codes = p.codes;
    period.start = p.startdate;
    period.end = p.enddate;
    period.created = created;
    const std::string key = p.codes.network + "." + p.codes.sta;
    if (key != station_key) {
      station_key = key;
      const StationPlace* found = places.find(p.codes.network, p.codes.sta);
      place = found != nullptr ? sacpz_place(*found) : SacPzPlace();
      if (found == nullptr && context.options.stations) {
        reporter.warning("station " + key + " is not in the stations file; written without "
                         "its place");
      }
    }
    period.place = place;
    add_sensor(places.find_channel(p.codes.network, p.codes.sta, p.codes.location, p.codes.chan),
               &period.place);
    period.sensitivity = sensitivity_of(context, p, response);
    const std::string text = build_sacpz_text(period, response);
    written_any = true;
    if (directory) {
      files.add(p, sacpz_path(output, p), text);
      return Outcome::done();
    }
    const FileStatus written = stream.write(text);
    return written.ok() ? Outcome::done()
                        : Outcome::failed(reporter.output(stream_name(output), written));
  });
  if (!result.outcome.is_done()) return result;
  if (directory) {
    result.outcome = files.commit();
    return result;
  }
  // Nothing written (nothing matched, every period skipped): no empty
  // document takes the name, an existing file stays as it was.
  if (!written_any) return result;
  const FileStatus finished = stream.finish();
  if (!finished.ok()) {
    result.outcome = Outcome::failed(reporter.output(stream_name(output), finished));
  }
  return result;
}

}  // namespace kalvynex

// The documents of a selection: StationXML at each level and the FDSN text
// lines (write_station_document), and sacpz text (write_sacpz_document).
#include "inventory/station_document.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "core/period_label.h"
#include "core/string_printf.h"
#include "inventory/element_dates.h"
#include "inventory/sacpz_period.h"
#include "inventory/station_area.h"
#include "inventory/station_text.h"
#include "response/fap_text.h"
#include "response/pole_zero.h"

namespace kalvynex {

namespace {

// The period's response: the pole zeros when the SAC text reads and can be
// normalised, else the usable FAP lines when every number of them is finite,
// else none; each fallback is reported, and so is a normalisation frequency
// that had to move. False when the period is to be skipped: a text that is
// there holds numbers that cannot be written (inf, nan, or a response that
// cannot be normalised) and no other response can be written instead.
bool choose_response(Reporter& reporter, const CatalogPeriod& p, const CalibrationRecord& record,
                     PoleZeroResponse* pole_zero, std::vector<FapTriplet>* triplets,
                     ChannelEpoch* epoch) {
  std::vector<PoleZeroProblem> problems;
  std::string why;          // why the SAC text, then the FAP text, is not used
  bool numbers = false;     // a text was left out for its numbers
  if (!record.sac.empty() && parse_pole_zero(record.sac, pole_zero, &problems)) {
    *pole_zero = pole_zero_in_units(std::move(*pole_zero), epoch->units);
    epoch->pole_zero = pole_zero;
    const ResponsePlan plan = plan_response(*epoch);
    if (plan.writable) {
      if (!plan.moved.empty()) {
        reporter.warning(period_label(p.codes, p.startdate) +
                         string_printf(": normalised at %g Hz instead of %g Hz: ", plan.frequency,
                                       epoch->normalization_frequency) +
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
    if (!why.empty()) reporter.period(p, why + "response from the FAP text");
    return true;
  }
  reporter.period(p, why + (numbers ? "skipped" : "written without a response"));
  return !numbers;
}

// The places of the stations as the documents write them, and whether a
// station belongs to the request's area.
class PlaceBook {
 public:
  PlaceBook(Reporter& reporter, const StationDocumentRequest& request)
      : reporter_(reporter), request_(request), area_(request.area.any()) {}

  // The place of NETWORK.STATION (unknown when not named).
  StationPlace find(const std::string& network, const std::string& station) const {
    const StationPlace* found =
        request_.places != nullptr ? request_.places->find(network, station) : nullptr;
    return found != nullptr ? *found : StationPlace();
  }

  // The sensor of a channel (its values absent when not named).
  ChannelPlace sensor(const ChannelCodes& codes) const {
    return request_.places != nullptr
               ? request_.places->find_channel(codes.network, codes.sta, codes.location,
                                               codes.chan)
               : ChannelPlace();
  }

  // A station without a known place lies in no area.
  bool in_area(const StationPlace& place) const {
    if (!area_) return true;
    return place.known && area_contains(request_.area, place.latitude, place.longitude);
  }

  // Reports a station written at 0, 0, 0.
  void report_unknown(const std::string& network, const std::string& station) const {
    reporter_.warning("station " + network + "." + station +
                      (request_.places != nullptr ? " is not in the stations file"
                                                  : " has no coordinates (see --stations)") +
                      "; written at 0, 0, 0");
  }

 private:
  Reporter& reporter_;
  const StationDocumentRequest& request_;
  bool area_;
};

// The document being written: opens the sink with the first piece, writes
// the XML through the writer and the text lines directly, and reports a
// failure of the sink once.
class Document {
 public:
  Document(Reporter& reporter, const StationDocumentRequest& request, DocumentSink& sink)
      : reporter_(reporter), request_(request), sink_(sink),
        writer_([this](const char* data, std::size_t size) {
          sink_status_ = sink_.write(std::string_view(data, size));
          return sink_status_.ok();
        }) {}

  bool xml() const { return request_.format == QueryFormat::kXml; }
  StationXmlWriter& writer() { return writer_; }

  // Opens the document unless it is open.
  Outcome begin() {
    if (begun_) return Outcome::done();
    const FileStatus opened = sink_.open();
    if (!opened.ok()) return Outcome::failed(reporter_.output(sink_.name(), opened));
    begun_ = true;
    if (xml()) return writer_.begin(request_.info) ? Outcome::done() : failed();
    return line(station_text_header(request_.level));
  }

  Outcome line(const std::string& text) {
    sink_status_ = sink_.write(text);
    return sink_status_.ok() ? Outcome::done() : failed();
  }

  // The outcome of a writer's call.
  Outcome written(bool ok) { return ok ? Outcome::done() : failed(); }

  // Ends the document, if it was begun.
  Outcome end() {
    if (!begun_) return Outcome::done();
    if (xml() && !writer_.finish()) return failed();
    const FileStatus finished = sink_.finish();
    return finished.ok() ? Outcome::done()
                         : Outcome::failed(reporter_.output(sink_.name(), finished));
  }

 private:
  Outcome failed() {
    if (sink_status_.ok()) {  // the writer itself failed: out of memory
      sink_status_.error_number = ENOMEM;
      sink_status_.step = "write";
    }
    return Outcome::failed(reporter_.output(sink_.name(), sink_status_));
  }

  Reporter& reporter_;
  const StationDocumentRequest& request_;
  DocumentSink& sink_;
  FileStatus sink_status_;
  StationXmlWriter writer_;
  bool begun_ = false;
};

// Levels network and station: the elements of the channels' spans, without
// a period walk. result.periods counts the spans taken.
CommandResult write_span_levels(std::vector<ChannelSpan> spans, Reporter& reporter,
                                const StationDocumentRequest& request, DocumentSink& sink) {
  const PlaceBook places(reporter, request);
  CommandResult result;
  // The stations, grouped by network and ordered by bytes as find_channels
  // orders the channels, with the spans that show them.
  std::map<std::string, std::map<std::string, StationPlace>> networks;
  std::vector<ChannelSpan> taken;
  for (ChannelSpan& span : spans) {
    // As the walk of the other levels passes them over: a code no document
    // may hold (reported once per channel), a start that is no calendar time.
    CatalogPeriod first;
    first.codes = span.codes;
    first.startdate = span.first_start;
    if (!reporter.usable_codes(first) || !is_calendar_time(span.first_start)) continue;
    const StationPlace place = places.find(span.codes.network, span.codes.sta);
    if (!places.in_area(place)) continue;
    networks[span.codes.network].emplace(span.codes.sta, place);
    taken.push_back(std::move(span));
  }
  result.periods = taken.size();
  const ElementDateIndex dates(taken);
  taken = std::vector<ChannelSpan>();
  Document document(reporter, request, sink);
  for (const auto& [network, stations] : networks) {
    result.outcome = document.begin();
    if (!result.outcome.is_done()) return result;
    if (request.level == QueryLevel::kNetwork) {
      result.outcome =
          document.xml()
              ? document.written(
                    document.writer().add_network(network, dates.network(network), stations.size()))
              : document.line(network_text_line(network, dates.network(network), stations.size()));
      if (!result.outcome.is_done()) return result;
      continue;
    }
    for (const auto& [station, place] : stations) {
      if (!place.known) places.report_unknown(network, station);
      ChannelCodes codes;
      codes.network = network;
      codes.sta = station;
      const ElementDates station_dates = dates.station(network, station);
      result.outcome = document.xml()
                           ? document.written(document.writer().add_station(
                                 codes, place, dates.network(network), station_dates))
                           : document.line(station_text_line(codes, place, station_dates));
      if (!result.outcome.is_done()) return result;
    }
  }
  result.outcome = document.end();
  return result;
}

}  // namespace

CommandResult write_station_document(PeriodWalk& walk, Reporter& reporter,
                                     const StationDocumentRequest& request, DocumentSink& sink) {
  CommandResult result;
  if (request.format == QueryFormat::kText && request.level == QueryLevel::kResponse) {
    reporter.error("the text format has no level response");
    result.outcome = Outcome::failed(InventoryExit::kUsage);
    return result;
  }
  // The dates of the networks and stations come first, from one query.
  std::vector<ChannelSpan> spans;
  const Status spans_read = walk.channel_spans(&spans);
  if (!spans_read.ok()) {
    result.outcome = Outcome::database(spans_read);
    return result;
  }
  if (request.level == QueryLevel::kNetwork || request.level == QueryLevel::kStation) {
    return write_span_levels(std::move(spans), reporter, request, sink);
  }
  const PlaceBook places(reporter, request);
  if (request.area.any()) {
    spans.erase(std::remove_if(spans.begin(), spans.end(),
                               [&places](const ChannelSpan& span) {
                                 return !places.in_area(
                                     places.find(span.codes.network, span.codes.sta));
                               }),
                spans.end());
  }
  const ElementDateIndex dates(spans);
  spans = std::vector<ChannelSpan>();
  Document document(reporter, request, sink);
  std::string station_key;
  StationPlace place;
  bool in_area = true;
  const bool with_response = request.level == QueryLevel::kResponse;
  result = walk.each_exportable(true, [&](const CatalogPeriod& p) {
    const std::string key = p.codes.network + "." + p.codes.sta;
    const bool new_station = key != station_key;
    if (new_station) {
      station_key = key;
      place = places.find(p.codes.network, p.codes.sta);
      in_area = places.in_area(place);
    }
    if (!in_area) return Outcome::done();
    CalibrationRecord record = record_of(p);
    const Status read = walk.read_texts(&record);
    if (!read.ok()) return Outcome::database(read);
    if (new_station && !place.known) places.report_unknown(p.codes.network, p.codes.sta);
    ChannelEpoch epoch;
    epoch.codes = p.codes;
    epoch.start = p.startdate;
    epoch.end = p.enddate;
    epoch.normalization_frequency = requested_normalization_frequency(p.freq);
    epoch.units = request.units;
    epoch.with_response = with_response;
    epoch.sensor = places.sensor(p.codes);
    PoleZeroResponse pole_zero;
    std::vector<FapTriplet> triplets;
    if (!choose_response(reporter, p, record, &pole_zero, &triplets, &epoch)) {
      return Outcome::done();
    }
    // The document starts with the first period written, so that a
    // selection that matches nothing (or only skipped periods) leaves no
    // file behind.
    Outcome begun = document.begin();
    if (!begun.is_done()) return begun;
    if (!document.xml()) {
      return document.line(
          channel_text_line(epoch, place, response_sensitivity(epoch, plan_response(epoch))));
    }
    return document.written(document.writer().add_channel(
        epoch, place, dates.network(p.codes.network), dates.station(p.codes.network, p.codes.sta)));
  });
  if (!result.outcome.is_done()) return result;
  result.outcome = document.end();
  return result;
}

CommandResult write_sacpz_document(PeriodWalk& walk, Reporter& reporter,
                                   const StationPlaces* places, DocumentSink& sink,
                                   std::time_t created) {
  SacPzPeriodTexts texts(walk, reporter, places, created);
  std::string text;
  bool opened = false;
  CommandResult result = walk.each_exportable(true, [&](const CatalogPeriod& p) {
    Outcome outcome;
    if (!texts.text(p, &text, &outcome)) return outcome;
    if (!opened) {
      const FileStatus status = sink.open();
      if (!status.ok()) return Outcome::failed(reporter.output(sink.name(), status));
      opened = true;
    }
    const FileStatus written = sink.write(text);
    return written.ok() ? Outcome::done()
                        : Outcome::failed(reporter.output(sink.name(), written));
  });
  // Nothing written (nothing matched, every period skipped): the sink was
  // never opened, and no empty document takes its place.
  if (!result.outcome.is_done() || !opened) return result;
  const FileStatus finished = sink.finish();
  if (!finished.ok()) result.outcome = Outcome::failed(reporter.output(sink.name(), finished));
  return result;
}

}  // namespace kalvynex

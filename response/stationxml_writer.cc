#include "response/stationxml_writer.h"

#include <libxml/xmlwriter.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <complex>
#include <cstring>
#include <ctime>

#include "core/string_printf.h"

namespace kalvynex {

namespace {

constexpr const char* kNamespace = "http://www.fdsn.org/xml/station/1";

// Room for the longest shortest form of a double, "-2.2250738585072014e-308".
constexpr int kXmlDoubleRoom = 32;

// Writes the xs:double text of `value` at `p` (room for kXmlDoubleRoom
// characters) and returns the end of it: the shortest decimal form that reads
// back as the same double, and INF, -INF or NaN for the values that have no
// decimal form.
char* put_xml_double(char* p, double value) {
  const char* special = std::isnan(value) ? "NaN"
                        : std::isinf(value) ? (value > 0 ? "INF" : "-INF")
                                            : nullptr;
  if (special == nullptr) return std::to_chars(p, p + kXmlDoubleRoom, value).ptr;
  while (*special != '\0') *p++ = *special++;
  return p;
}

void append_xml_double(std::string* out, double value) {
  char buffer[kXmlDoubleRoom];
  out->append(buffer, put_xml_double(buffer, value));
}

std::string xml_double(double value) {
  std::string text;
  append_xml_double(&text, value);
  return text;
}

// Depth of PolesZeros and ResponseList: the root is 0, a Channel 3.
constexpr int kStageFilterDepth = 6;

const xmlChar* x(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

int write_to_sink(void* context, const char* buffer, int length) {
  auto* sink = static_cast<ByteSink*>(context);
  if (length <= 0) return 0;
  return (*sink)(buffer, static_cast<std::size_t>(length)) ? length : -1;
}

int close_sink(void* /*context*/) { return 0; }

// libxml2 prints its own messages on stderr by default; a failed write is
// reported by the caller instead, in the program's words.
void ignore_message(void* /*context*/, const char* /*format*/, ...) {}

// Product of (s - r) over the roots, at s = 2 pi i f.
std::complex<double> root_product(const std::vector<std::complex<double>>& roots,
                                  std::complex<double> s) {
  std::complex<double> product(1.0, 0.0);
  for (const auto& r : roots) product *= s - r;
  return product;
}

}  // namespace

PoleZeroNormalization normalize_pole_zero(const PoleZeroResponse& response,
                                          double frequency_hz) {
  const std::complex<double> s(0.0, 2.0 * M_PI * frequency_hz);
  const double magnitude =
      std::abs(root_product(response.zeros, s) / root_product(response.poles, s));
  PoleZeroNormalization result;
  result.factor = 1.0 / magnitude;
  result.gain = response.constant * magnitude;
  return result;
}

namespace {

// The reason the pole zeros cannot be normalised at `frequency_hz`; empty
// when they can.
std::string normalization_problem(const PoleZeroResponse& response, double frequency_hz) {
  if (!(std::isfinite(frequency_hz) && frequency_hz > 0.0)) return "no positive frequency";
  const PoleZeroNormalization norm = normalize_pole_zero(response, frequency_hz);
  const double magnitude = 1.0 / norm.factor;
  if (std::isnan(magnitude)) return "the response overflows there";
  if (std::isinf(magnitude)) return "the response is infinite there";
  if (magnitude == 0.0) return "the response is zero there";
  if (!std::isfinite(norm.factor) || !std::isfinite(norm.gain) || norm.gain == 0.0) {
    return "the normalisation factor or the sensitivity is zero or not finite there";
  }
  return std::string();
}

std::string hertz_text(double frequency_hz) { return string_printf("%g Hz", frequency_hz); }

}  // namespace

const char* ground_units_name(GroundUnits units) {
  switch (units) {
    case GroundUnits::kVelocity: return "m/s";
    case GroundUnits::kAcceleration: return "m/s**2";
    case GroundUnits::kDisplacement: break;
  }
  return "m";
}

PoleZeroResponse pole_zero_in_units(PoleZeroResponse response, GroundUnits units) {
  for (int order = static_cast<int>(units); order > 0; --order) {
    auto& zeros = response.zeros;
    const auto origin = std::find(zeros.begin(), zeros.end(), std::complex<double>(0.0, 0.0));
    if (origin != zeros.end()) {
      zeros.erase(origin);
    } else {
      response.poles.emplace_back(0.0, 0.0);
    }
  }
  return response;
}

std::vector<FapTriplet> fap_in_units(std::vector<FapTriplet> triplets, GroundUnits units) {
  const int order = static_cast<int>(units);
  if (order == 0) return triplets;
  for (FapTriplet& t : triplets) {
    t.amplitude *= std::pow(2.0 * M_PI * t.frequency, order);
    t.phase = wrap_phase_degrees(t.phase - 90.0 * order);
  }
  return triplets;
}

double requested_normalization_frequency(double freq) {
  return std::isfinite(freq) && freq > 0.0 ? freq : 1.0;
}

ResponsePlan plan_response(const ChannelEpoch& epoch) {
  ResponsePlan plan;
  plan.frequency = epoch.normalization_frequency;
  if (epoch.pole_zero != nullptr) {
    const PoleZeroResponse& response = *epoch.pole_zero;
    for (const auto* roots : {&response.zeros, &response.poles}) {
      for (const std::complex<double>& r : *roots) {
        if (!std::isfinite(r.real()) || !std::isfinite(r.imag())) {
          plan.writable = false;
          plan.unusable = "a zero or pole that is not finite";
          return plan;
        }
      }
    }
    const std::string problem = normalization_problem(response, plan.frequency);
    if (problem.empty()) return plan;
    // 1 Hz, then a decade below and above, two decades, ... four.
    constexpr double kCandidates[] = {1.0, 0.1, 10.0, 0.01, 100.0, 1e-3, 1e3, 1e-4, 1e4};
    for (const double f : kCandidates) {
      if (f == epoch.normalization_frequency || !normalization_problem(response, f).empty()) {
        continue;
      }
      plan.frequency = f;
      plan.moved = problem;
      return plan;
    }
    plan.writable = false;
    plan.unusable = "the response cannot be normalised at " +
                    hertz_text(epoch.normalization_frequency) + " (" + problem +
                    ") nor at any of 1e-4 to 1e4 Hz by decades";
    return plan;
  }
  if (epoch.fap != nullptr) {
    // The list holds counts per metre, 1e6 / A of each stored amplitude A.
    for (const FapTriplet& t : *epoch.fap) {
      if (!std::isfinite(t.frequency) || !std::isfinite(t.amplitude) ||
          !std::isfinite(t.phase)) {
        plan.writable = false;
        plan.unusable = "a FAP number that is not finite";
        return plan;
      }
      if (!std::isfinite(1e6 / t.amplitude)) {
        plan.writable = false;
        plan.unusable = string_printf("the FAP amplitude %g at %g Hz has no finite inverse",
                                      t.amplitude, t.frequency);
        return plan;
      }
    }
  }
  return plan;
}

std::optional<ResponseSensitivity> response_sensitivity(const ChannelEpoch& epoch,
                                                        const ResponsePlan& plan) {
  if (!plan.writable) return std::nullopt;
  if (epoch.pole_zero != nullptr) {
    return ResponseSensitivity{normalize_pole_zero(*epoch.pole_zero, plan.frequency).gain,
                               plan.frequency};
  }
  if (epoch.fap == nullptr || epoch.fap->empty()) return std::nullopt;
  // The stored amplitudes are micrometres per count; the stage gives counts
  // per metre.
  const FapTriplet& nearest =
      (*epoch.fap)[nearest_triplet(*epoch.fap, epoch.normalization_frequency)];
  return ResponseSensitivity{1e6 / nearest.amplitude, nearest.frequency};
}

double wrap_phase_degrees(double degrees) {
  if (degrees >= -360.0 && degrees <= 360.0) return degrees;
  // fmod is exact and keeps the sign: 400 -> 40, -450 -> -90.
  return std::fmod(degrees, 360.0);
}

std::size_t nearest_triplet(const std::vector<FapTriplet>& triplets, double frequency_hz) {
  std::size_t best = 0;
  for (std::size_t i = 1; i < triplets.size(); ++i) {
    if (std::fabs(triplets[i].frequency - frequency_hz) <
        std::fabs(triplets[best].frequency - frequency_hz)) {
      best = i;
    }
  }
  return best;
}

std::string xml_location_code(const std::string& location) {
  return written_location(location);
}

std::string xml_date_time(const Timestamp& t) {
  return string_printf("%04d-%02u-%02uT%02u:%02u:%02uZ", t.year, t.month, t.day, t.hour,
                       t.minute, t.second);
}

struct StationXmlWriter::State {
  explicit State(ByteSink s) : sink(std::move(s)) {}
  ~State() {
    if (writer != nullptr) xmlFreeTextWriter(writer);
  }
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  // Each helper records a failure of libxml2 (a negative result) in `ok`.
  void check(int result) {
    if (result < 0) ok = false;
  }
  void start(const char* name) {
    if (ok) check(xmlTextWriterStartElement(writer, x(name)));
  }
  void end() {
    if (ok) check(xmlTextWriterEndElement(writer));
  }
  void attribute(const char* name, const std::string& value) {
    if (ok) check(xmlTextWriterWriteAttribute(writer, x(name), x(value.c_str())));
  }
  void element(const char* name, const std::string& text) {
    if (ok) check(xmlTextWriterWriteElement(writer, x(name), x(text.c_str())));
  }
  void number(const char* name, double value) { element(name, xml_double(value)); }
  void units(const char* name, const char* unit) {
    start(name);
    element("Name", unit);
    end();
  }
  // The inside of a Channel element holds only fixed tags and numbers and is
  // the bulk of the document. It is formatted into `block`, indented as
  // libxml2 indents, and handed over in one raw write: none of it needs
  // escaping, and one write per channel instead of a dozen per element
  // keeps the document about as cheap to write as its bytes.
  void block_indent(int depth) {
    static constexpr char kBlanks[] = "                                ";  // 16 levels
    static_assert(sizeof kBlanks - 1 >= std::size_t{2} * (kStageFilterDepth + 3),
                  "deepest element");
    block.append(kBlanks, std::size_t{2} * static_cast<std::size_t>(depth));
  }
  // One line "<indent><name>value</name>" of `block`, put together on the
  // stack and appended at once: these lines are most of the document.
  void block_number(int depth, const char* name, double value) {
    char line[160];
    const std::size_t indent = std::size_t{2} * static_cast<std::size_t>(depth);
    const std::size_t length = std::strlen(name);
    // Element names are this file's own literals, 22 characters at most.
    if (indent > 40 || length > 32) return;
    char* p = line;
    std::memset(p, ' ', indent);
    p += indent;
    *p++ = '<';
    std::memcpy(p, name, length);
    p += length;
    *p++ = '>';
    p = put_xml_double(p, value);
    *p++ = '<';
    *p++ = '/';
    std::memcpy(p, name, length);
    p += length;
    *p++ = '>';
    *p++ = '\n';
    block.append(line, static_cast<std::size_t>(p - line));
  }
  // Writes `block` inside the open element at `depth`, whose end tag follows.
  void write_block(int depth) {
    block_indent(depth);
    if (ok) {
      check(xmlTextWriterWriteRawLen(writer, reinterpret_cast<const xmlChar*>(block.data()),
                                     static_cast<int>(block.size())));
    }
    block.clear();
  }
  void comment(const std::string& text) {
    start("Comment");
    element("Value", text);
    end();
  }

  void dates(const ElementDates& d) {
    if (d.start) attribute("startDate", xml_date_time(*d.start));
    if (d.end) attribute("endDate", xml_date_time(*d.end));
  }
  void open_station(const std::string& code, const StationPlace& where,
                    const ElementDates& station_dates);
  // Opens the network and station of `codes` unless they are open; closes
  // the ones open before.
  void open_elements(const ChannelCodes& codes, const StationPlace& where,
                     const ElementDates& network_dates, const ElementDates& station_dates);
  void write_channel(const ChannelEpoch& epoch);
  void block_open(int depth, const char* tag);
  void block_units(int depth);
  void block_sensitivity(double value, double frequency);
  void block_stage_gain(double value, double frequency);
  void block_pole_zero(const PoleZeroResponse& response, const ResponseSensitivity& sensitivity);
  void block_response_list(const std::vector<FapTriplet>& triplets,
                           const ResponseSensitivity& sensitivity);

  ByteSink sink;
  xmlTextWriterPtr writer = nullptr;
  std::string block;
  bool ok = true;
  bool in_network = false;
  bool in_station = false;
  std::string network;
  std::string station;
  StationPlace place;  // of the open station
  GroundUnits input_units = GroundUnits::kDisplacement;  // of the channel being written
};

void StationXmlWriter::State::open_station(const std::string& code, const StationPlace& where,
                                           const ElementDates& station_dates) {
  start("Station");
  attribute("code", code);
  dates(station_dates);
  if (!where.known) {
    comment("Coordinates unknown: the station is not in the stations file; "
            "latitude, longitude and elevation are written as 0");
  }
  number("Latitude", where.known ? where.latitude : 0.0);
  number("Longitude", where.known ? where.longitude : 0.0);
  number("Elevation", where.known ? where.elevation : 0.0);
  start("Site");
  element("Name", where.site_name.empty() ? code : where.site_name);
  end();
  place = where;
  in_station = true;
  station = code;
}

void StationXmlWriter::State::open_elements(const ChannelCodes& codes, const StationPlace& where,
                                            const ElementDates& network_dates,
                                            const ElementDates& station_dates) {
  const bool new_network = !in_network || network != codes.network;
  if (in_station && (new_network || station != codes.sta)) {
    end();
    in_station = false;
  }
  if (new_network) {
    if (in_network) end();
    start("Network");
    attribute("code", codes.network);
    dates(network_dates);
    in_network = true;
    network = codes.network;
  }
  if (!in_station) open_station(codes.sta, where, station_dates);
}

void StationXmlWriter::State::block_units(int depth) {
  // <InputUnits><Name>m</Name></InputUnits>, then count as the output.
  const char* const units[][2] = {{"InputUnits", ground_units_name(input_units)},
                                  {"OutputUnits", "count"}};
  for (const auto& unit : units) {
    block_indent(depth);
    block += '<';
    block += unit[0];
    block += ">\n";
    block_indent(depth + 1);
    block += "<Name>";
    block += unit[1];
    block += "</Name>\n";
    block_indent(depth);
    block += "</";
    block += unit[0];
    block += ">\n";
  }
}

void StationXmlWriter::State::block_open(int depth, const char* tag) {
  block_indent(depth);
  block += tag;
  block += '\n';
}

void StationXmlWriter::State::block_sensitivity(double value, double frequency) {
  constexpr int kDepth = kStageFilterDepth - 1;  // in Response
  block_open(kDepth, "<InstrumentSensitivity>");
  block_number(kDepth + 1, "Value", value);
  block_number(kDepth + 1, "Frequency", frequency);
  block_units(kDepth + 1);
  block_open(kDepth, "</InstrumentSensitivity>");
}

void StationXmlWriter::State::block_stage_gain(double value, double frequency) {
  constexpr int kDepth = kStageFilterDepth;  // in Stage
  block_open(kDepth, "<StageGain>");
  block_number(kDepth + 1, "Value", value);
  block_number(kDepth + 1, "Frequency", frequency);
  block_open(kDepth, "</StageGain>");
}

void StationXmlWriter::State::block_pole_zero(const PoleZeroResponse& response,
                                              const ResponseSensitivity& sensitivity) {
  constexpr int kFilter = kStageFilterDepth;
  const double frequency = sensitivity.frequency;
  const PoleZeroNormalization norm = normalize_pole_zero(response, frequency);
  block_open(kFilter - 2, "<Response>");
  block_sensitivity(sensitivity.value, frequency);
  block_open(kFilter - 1, "<Stage number=\"1\">");
  block_open(kFilter, "<PolesZeros>");
  block_units(kFilter + 1);
  block_indent(kFilter + 1);
  block += "<PzTransferFunctionType>LAPLACE (RADIANS/SECOND)</PzTransferFunctionType>\n";
  block_number(kFilter + 1, "NormalizationFactor", norm.factor);
  block_number(kFilter + 1, "NormalizationFrequency", frequency);
  // Zeros and poles are numbered in one sequence, zeros first.
  std::size_t index = 0;
  auto roots = [this, &index](const char* name,
                              const std::vector<std::complex<double>>& values) {
    constexpr int kDepth = kFilter + 1;
    for (const std::complex<double>& value : values) {
      block_indent(kDepth);
      block += '<';
      block += name;
      block += " number=\"";
      char number[24];
      const std::to_chars_result r = std::to_chars(number, number + sizeof number, index++);
      block.append(number, r.ptr);
      block += "\">\n";
      block_number(kDepth + 1, "Real", value.real());
      block_number(kDepth + 1, "Imaginary", value.imag());
      block_indent(kDepth);
      block += "</";
      block += name;
      block += ">\n";
    }
  };
  roots("Zero", response.zeros);
  roots("Pole", response.poles);
  block_open(kFilter, "</PolesZeros>");
  block_stage_gain(sensitivity.value, frequency);
  block_open(kFilter - 1, "</Stage>");
  block_open(kFilter - 2, "</Response>");
}

void StationXmlWriter::State::block_response_list(const std::vector<FapTriplet>& triplets,
                                                  const ResponseSensitivity& sensitivity) {
  constexpr int kFilter = kStageFilterDepth;
  block_open(kFilter - 2, "<Response>");
  block_sensitivity(sensitivity.value, sensitivity.frequency);
  block_open(kFilter - 1, "<Stage number=\"1\">");
  block_open(kFilter, "<ResponseList>");
  block_units(kFilter + 1);
  for (const FapTriplet& t : triplets) {
    block_open(kFilter + 1, "<ResponseListElement>");
    block_number(kFilter + 2, "Frequency", t.frequency);
    block_number(kFilter + 2, "Amplitude", 1e6 / t.amplitude);
    block_number(kFilter + 2, "Phase", wrap_phase_degrees(t.phase));
    block_open(kFilter + 1, "</ResponseListElement>");
  }
  block_open(kFilter, "</ResponseList>");
  // The list holds the whole response; the stage adds no gain of its own.
  block_stage_gain(1.0, sensitivity.frequency);
  block_open(kFilter - 1, "</Stage>");
  block_open(kFilter - 2, "</Response>");
}

void StationXmlWriter::State::write_channel(const ChannelEpoch& epoch) {
  // The codes and dates go through libxml2, which escapes them; everything
  // inside the element is fixed text and numbers, written as one block.
  start("Channel");
  attribute("code", epoch.codes.chan);
  attribute("locationCode", xml_location_code(epoch.codes.location));
  attribute("startDate", xml_date_time(epoch.start));
  if (!is_open_end(epoch.end)) attribute("endDate", xml_date_time(epoch.end));
  constexpr int kDepth = kStageFilterDepth - 2;  // the Channel's children
  block += '\n';
  input_units = epoch.units;
  const ResponsePlan plan = plan_response(epoch);
  const std::optional<ResponseSensitivity> sensitivity =
      epoch.with_response ? response_sensitivity(epoch, plan) : std::nullopt;
  if (epoch.with_response && !sensitivity) {
    block_open(kDepth, "<Comment>");
    block_indent(kDepth + 1);
    block += plan.writable ? "<Value>No response stored for this period</Value>\n"
                           : "<Value>No usable response stored for this period</Value>\n";
    block_open(kDepth, "</Comment>");
  }
  block_number(kDepth, "Latitude", place.known ? place.latitude : 0.0);
  block_number(kDepth, "Longitude", place.known ? place.longitude : 0.0);
  block_number(kDepth, "Elevation", place.known ? place.elevation : 0.0);
  const ChannelPlace& sensor = epoch.sensor;
  block_number(kDepth, "Depth", sensor.depth.value_or(0.0));
  if (sensor.azimuth) block_number(kDepth, "Azimuth", *sensor.azimuth);
  if (sensor.dip) block_number(kDepth, "Dip", *sensor.dip);
  if (sensor.sample_rate) block_number(kDepth, "SampleRate", *sensor.sample_rate);
  if (sensitivity && epoch.pole_zero != nullptr) {
    block_pole_zero(*epoch.pole_zero, *sensitivity);
  } else if (sensitivity) {
    block_response_list(*epoch.fap, *sensitivity);
  }
  write_block(kDepth - 1);
  end();  // Channel
}

StationXmlWriter::StationXmlWriter(ByteSink sink) : state_(std::make_unique<State>(std::move(sink))) {}

StationXmlWriter::~StationXmlWriter() = default;

bool StationXmlWriter::begin(const StationXmlDocumentInfo& info) {
  State& s = *state_;
  xmlSetGenericErrorFunc(nullptr, ignore_message);
  xmlOutputBufferPtr out = xmlOutputBufferCreateIO(write_to_sink, close_sink, &s.sink, nullptr);
  if (out == nullptr) return s.ok = false;
  s.writer = xmlNewTextWriter(out);  // owns `out` from here on
  if (s.writer == nullptr) {
    xmlOutputBufferClose(out);
    return s.ok = false;
  }
  s.check(xmlTextWriterSetIndent(s.writer, 1));
  s.check(xmlTextWriterSetIndentString(s.writer, x("  ")));
  if (s.ok) s.check(xmlTextWriterStartDocument(s.writer, "1.0", "UTF-8", nullptr));
  s.start("FDSNStationXML");
  s.attribute("xmlns", kNamespace);
  s.attribute("schemaVersion", "1.2");
  s.element("Source", info.source);
  s.element("Module", info.module);
  std::tm utc{};
  const std::time_t created = static_cast<std::time_t>(info.created_seconds);
  if (gmtime_r(&created, &utc) == nullptr) return s.ok = false;
  s.element("Created", string_printf("%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900,
                                     utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min,
                                     utc.tm_sec));
  return s.ok;
}

bool StationXmlWriter::add_channel(const ChannelEpoch& epoch, const StationPlace& place,
                                   const ElementDates& network_dates,
                                   const ElementDates& station_dates) {
  State& s = *state_;
  if (!s.ok || s.writer == nullptr) return false;
  s.open_elements(epoch.codes, place, network_dates, station_dates);
  s.write_channel(epoch);
  return s.ok;
}

bool StationXmlWriter::add_station(const ChannelCodes& codes, const StationPlace& place,
                                   const ElementDates& network_dates,
                                   const ElementDates& station_dates) {
  State& s = *state_;
  if (!s.ok || s.writer == nullptr) return false;
  s.open_elements(codes, place, network_dates, station_dates);
  return s.ok;
}

bool StationXmlWriter::add_network(const std::string& network, const ElementDates& dates,
                                   std::size_t selected_stations) {
  State& s = *state_;
  if (!s.ok || s.writer == nullptr) return false;
  if (s.in_station) s.end();
  if (s.in_network) s.end();
  s.in_station = false;
  s.start("Network");
  s.attribute("code", network);
  s.dates(dates);
  s.element("SelectedNumberStations", std::to_string(selected_stations));
  s.in_network = true;
  s.network = network;
  return s.ok;
}

bool StationXmlWriter::finish() {
  State& s = *state_;
  if (!s.ok || s.writer == nullptr) return false;
  // Ending the document closes every element still open.
  s.check(xmlTextWriterEndDocument(s.writer));
  if (s.ok) s.check(xmlTextWriterFlush(s.writer));
  return s.ok;
}

}  // namespace kalvynex

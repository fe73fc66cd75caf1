// A period as it comes from the table, codes and numbers included, through
// check, the StationXML writer and the sacpz text. Input:
//   4 bytes: the lengths of NETWORK, STA, LOCATION and CHAN (each mod 32)
//   the four codes' bytes (any bytes: NUL, LF, "/", invalid UTF-8 ...)
//   8 bytes FREQ, 8 bytes SENS (doubles as stored in memory)
//   the SAC text, a NUL byte, the FAP text, optionally a NUL byte and raw
//   numbers for a second response handed to the writer as they are:
//   a byte of counts (zeros: low nibble mod 8, poles: high nibble mod 8), the
//   constant and then doubles for the zeros, poles and FAP triplets.
// Whatever the row holds, the findings are terminal-safe lines and JSON
// objects that read back to the codes and details, and every document
// written for usable codes (as the inventory's exports write them) is
// well-formed, holds the codes as they are and no number that is not
// finite; the sacpz text holds no line that a code put there.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cmath>
#include <cstring>

#include "core/channel_codes.h"
#include "core/period_label.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/text_checks.h"
#include "response/fap_text.h"
#include "response/period_check.h"
#include "response/pole_zero.h"
#include "response/sacpz_text.h"
#include "response/stationxml_writer.h"

namespace {

using namespace kalvynex;

// Takes bytes from the front of the input; past its end, zeros.
class Reader {
 public:
  Reader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t left() const { return size_ - pos_; }
  uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::string bytes(std::size_t n) {
    n = n < left() ? n : left();
    std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return s;
  }
  double number() {
    double d = 0.0;
    const std::string raw = bytes(sizeof d);
    std::memcpy(&d, raw.data(), raw.size());
    return d;
  }
  std::string rest() { return bytes(left()); }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// --- findings ---------------------------------------------------------------

void check_finding(const Finding& f) {
  const std::string line = finding_text(f);
  FUZZ_CHECK(kalvynex_fuzz::terminal_safe(line));
  std::string back;
  FUZZ_CHECK(kalvynex_fuzz::undo_backslash_escapes(line, &back));
  FUZZ_CHECK(back == period_label(f.codes, f.start) + " " + finding_kind_name(f.kind) + ": " +
                         f.detail);

  const std::string json = finding_json(f);
  FUZZ_CHECK(kalvynex_fuzz::well_formed_utf8(json));
  const struct {
    const char* name;
    std::string value;
  } members[] = {{"network", f.codes.network},
                 {"station", f.codes.sta},
                 {"location", f.codes.location},
                 {"channel", f.codes.chan},
                 {"start", timestamp_iso_text(f.start)},
                 {"kind", finding_kind_name(f.kind)},
                 {"detail", f.detail}};
  std::size_t pos = 0;
  FUZZ_CHECK(json.compare(0, 1, "{") == 0);
  pos = 1;
  bool first = true;
  for (const auto& member : members) {
    if (!first) {
      FUZZ_CHECK(json.compare(pos, 2, ", ") == 0);
      pos += 2;
    }
    first = false;
    std::string name;
    FUZZ_CHECK(kalvynex_fuzz::read_json_string(json, &pos, &name));
    FUZZ_CHECK(name == member.name);
    FUZZ_CHECK(json.compare(pos, 2, ": ") == 0);
    pos += 2;
    std::string value;
    FUZZ_CHECK(kalvynex_fuzz::read_json_string(json, &pos, &value));
    std::string text;
    FUZZ_CHECK(kalvynex_fuzz::undo_backslash_escapes(value, &text));
    FUZZ_CHECK(text == member.value);
  }
  // Then the numeric members of the kind, if any: each a finite JSON number.
  while (json.compare(pos, 2, ", ") == 0) {
    pos += 2;
    std::string name;
    FUZZ_CHECK(kalvynex_fuzz::read_json_string(json, &pos, &name));
    FUZZ_CHECK(json.compare(pos, 2, ": ") == 0);
    pos += 2;
    const std::size_t begin = pos;
    while (pos < json.size() && std::strchr("+-.0123456789eE", json[pos]) != nullptr &&
           json[pos] != '\0') {
      ++pos;
    }
    FUZZ_CHECK(pos > begin);
    FUZZ_CHECK(json[begin] == '-' || (json[begin] >= '0' && json[begin] <= '9'));
  }
  FUZZ_CHECK(pos + 1 == json.size() && json[pos] == '}');
}

// --- StationXML -------------------------------------------------------------

bool has_name(xmlNodePtr node, const char* name) {
  return node != nullptr && node->type == XML_ELEMENT_NODE &&
         std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

std::string attribute_of(xmlNodePtr node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  FUZZ_CHECK(value != nullptr);
  std::string text(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

// The number an element holds: an xs:double that is a finite number.
double finite_number(xmlNodePtr node) {
  xmlChar* content = xmlNodeGetContent(node);
  FUZZ_CHECK(content != nullptr);
  const std::string text(reinterpret_cast<const char*>(content));
  xmlFree(content);
  FUZZ_CHECK(!text.empty());
  FUZZ_CHECK(text.find_first_not_of("0123456789+-.e") == std::string::npos);
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  FUZZ_CHECK(end == text.c_str() + text.size());
  FUZZ_CHECK(std::isfinite(value));
  return value;
}

// Every number of the document, and the codes of its Network, Station and
// Channel elements.
void check_element(xmlNodePtr node, const ChannelCodes& codes) {
  for (xmlNodePtr child = node->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    const char* name = reinterpret_cast<const char*>(child->name);
    if (has_name(child, "Network")) {
      FUZZ_CHECK(attribute_of(child, "code") == codes.network);
    } else if (has_name(child, "Station")) {
      FUZZ_CHECK(attribute_of(child, "code") == codes.sta);
    } else if (has_name(child, "Channel")) {
      FUZZ_CHECK(attribute_of(child, "code") == codes.chan);
      FUZZ_CHECK(attribute_of(child, "locationCode") == written_location(codes.location));
    }
    static const char* const kNumbers[] = {"Latitude",  "Longitude",     "Elevation",
                                           "Depth",     "Frequency",     "NormalizationFrequency",
                                           "Real",      "Imaginary",     "Amplitude"};
    bool numeric = false;
    for (const char* n : kNumbers) numeric = numeric || std::strcmp(name, n) == 0;
    if (numeric) {
      finite_number(child);
    } else if (has_name(child, "Phase")) {
      const double phase = finite_number(child);
      FUZZ_CHECK(phase >= -360.0 && phase <= 360.0);
    } else if (has_name(child, "NormalizationFactor") ||
               (has_name(child, "Value") && (has_name(node, "InstrumentSensitivity") ||
                                             has_name(node, "StageGain")))) {
      FUZZ_CHECK(finite_number(child) != 0.0);
    } else {
      check_element(child, codes);
    }
  }
}

void check_document(const std::string& document, const ChannelCodes& codes) {
  xmlDocPtr doc = xmlReadMemory(document.data(), static_cast<int>(document.size()), "fuzz",
                                nullptr, XML_PARSE_NONET);
  FUZZ_CHECK(doc != nullptr);
  xmlNodePtr root = xmlDocGetRootElement(doc);
  FUZZ_CHECK(has_name(root, "FDSNStationXML"));
  check_element(root, codes);
  xmlFreeDoc(doc);
}

// The response the StationXML export writes for the row, chosen as it
// chooses: the pole zeros when they read and can be normalised, else the
// usable FAP triplets when every FAP number is finite and the list can be
// written, else none. False when the export skips the period.
bool choose_response(const CalibrationRecord& record, PoleZeroResponse* pole_zero,
                     std::vector<FapTriplet>* triplets, ChannelEpoch* epoch) {
  std::vector<PoleZeroProblem> problems;
  bool numbers = false;
  if (!record.sac.empty() && parse_pole_zero(record.sac, pole_zero, &problems)) {
    epoch->pole_zero = pole_zero;
    if (plan_response(*epoch).writable) return true;
    epoch->pole_zero = nullptr;
    numbers = true;
  } else if (!problems.empty()) {
    numbers = first_not_finite(problems) != nullptr;
  }
  bool not_finite = false;
  scan_fap_lines(normalize_fap_text(record.fap).text, [&](const FapLine& line) {
    not_finite = not_finite || !line.finite();
    if (line.usable()) triplets->push_back({line.frequency, line.amplitude, line.phase});
  });
  if (not_finite) {
    numbers = true;
  } else if (!triplets->empty()) {
    epoch->fap = triplets;
    if (!plan_response(*epoch).writable) {
      epoch->fap = nullptr;
      numbers = true;
    }
  }
  return epoch->fap != nullptr || !numbers;
}

// A second response of the raw numbers, handed to the writer as they are
// (only the FAP triplets kept usable, as the writer asks).
void raw_response(const std::string& raw, PoleZeroResponse* pole_zero,
                  std::vector<FapTriplet>* triplets) {
  Reader in(reinterpret_cast<const uint8_t*>(raw.data()), raw.size());
  const uint8_t counts = in.byte();
  pole_zero->constant = in.number();
  pole_zero->zeros.resize(counts & 7);
  pole_zero->poles.resize((counts >> 4) & 7);
  for (auto* roots : {&pole_zero->zeros, &pole_zero->poles}) {
    for (auto& r : *roots) {
      const double re = in.number();
      r = {re, in.number()};
    }
  }
  while (in.left() > 0) {
    FapTriplet t;
    t.frequency = in.number();
    t.amplitude = in.number();
    t.phase = in.number();
    if (t.frequency > 0.0 && t.amplitude > 0.0) triplets->push_back(t);
  }
}

// --- sacpz --------------------------------------------------------------------

bool is_signed_exponent(const std::string& s) {
  // "%+e": sign, digit, point, six digits, "e", sign, two or more digits.
  if (s.size() < 13 || (s[0] != '+' && s[0] != '-') || s[2] != '.' || s[9] != 'e' ||
      (s[10] != '+' && s[10] != '-')) {
    return false;
  }
  for (std::size_t i = 1; i < s.size(); ++i) {
    if (i == 2 || i == 9 || i == 10) continue;
    if (s[i] < '0' || s[i] > '9') return false;
  }
  return true;
}

void check_sacpz(const SacPzPeriod& period, const PoleZeroResponse& response) {
  const std::string text = build_sacpz_text(period, response);
  FUZZ_CHECK(!text.empty() && text.back() == '\n');
  std::vector<std::string> lines =
      kalvynex_fuzz::split(reinterpret_cast<const uint8_t*>(text.data()), text.size(), '\n');
  lines.pop_back();  // after the last LF
  const std::string expected_head[] = {
      "* NETWORK   (KNETWK): " + period.codes.network,
      "* STATION    (KSTNM): " + period.codes.sta,
      "* LOCATION   (KHOLE): " + written_location(period.codes.location),
      "* CHANNEL   (KCMPNM): " + period.codes.chan};
  std::size_t i = 0;
  // The comment block: eleven lines, each a "*" line, the codes' lines as
  // they are.
  FUZZ_CHECK(lines.size() >= 14);
  for (; i < 11; ++i) FUZZ_CHECK(lines[i].compare(0, 1, "*") == 0);
  for (std::size_t k = 0; k < 4; ++k) FUZZ_CHECK(lines[1 + k] == expected_head[k]);
  const struct {
    const char* keyword;
    std::size_t count;
  } lists[] = {{"ZEROS ", response.zeros.size()}, {"POLES ", response.poles.size()}};
  for (const auto& list : lists) {
    FUZZ_CHECK(i < lines.size() && lines[i] == list.keyword + std::to_string(list.count));
    ++i;
    for (std::size_t k = 0; k < list.count; ++k, ++i) {
      FUZZ_CHECK(i < lines.size());
      const std::size_t blank = lines[i].find(' ');
      FUZZ_CHECK(blank != std::string::npos);
      FUZZ_CHECK(is_signed_exponent(lines[i].substr(0, blank)));
      FUZZ_CHECK(is_signed_exponent(lines[i].substr(blank + 1)));
    }
  }
  FUZZ_CHECK(i + 1 == lines.size() && lines[i].compare(0, 9, "CONSTANT ") == 0);
  FUZZ_CHECK(is_signed_exponent(lines[i].substr(9)));
  // Its lists read back as a pole-zero text with the same lists (the
  // comment block is left out: the stored texts' "|" line end, which a code
  // may hold, is no line end of a sacpz file).
  PoleZeroResponse again;
  FUZZ_CHECK(parse_pole_zero(text.substr(text.find("\nZEROS ") + 1), &again, nullptr));
  FUZZ_CHECK(again.zeros.size() == response.zeros.size() &&
             again.poles.size() == response.poles.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  Reader in(data, size);
  std::size_t lengths[4];
  for (std::size_t& n : lengths) n = in.byte() % 32;
  CalibrationRecord record;
  record.codes.network = in.bytes(lengths[0]);
  record.codes.sta = in.bytes(lengths[1]);
  record.codes.location = in.bytes(lengths[2]);
  record.codes.chan = in.bytes(lengths[3]);
  record.freq = in.number();
  record.sens = in.number();
  record.startdate = Timestamp::at(2001, 1, 1);
  record.enddate.year = -1;
  const std::string rest = in.rest();
  const std::vector<std::string> pieces =
      kalvynex_fuzz::split(reinterpret_cast<const uint8_t*>(rest.data()), rest.size(), '\0');
  record.sac = pieces[0];
  record.fap = pieces.size() > 1 ? pieces[1] : std::string();
  // The raw numbers may hold NUL bytes: everything after the second NUL.
  std::string raw;
  if (pieces.size() > 2) raw = rest.substr(pieces[0].size() + pieces[1].size() + 2);

  PeriodChecker checker(1.0);
  std::vector<Finding> findings;
  checker.check(record, &findings);
  for (const Finding& f : findings) check_finding(f);
  // The codes' own finding, as check makes it for a channel the exports skip.
  Finding code_finding;
  code_finding.codes = record.codes;
  code_finding.start = record.startdate;
  code_finding.kind = FindingKind::kCode;
  code_finding.detail = unusable_codes_text(record.codes);
  check_finding(code_finding);

  // The rule for codes, as documented.
  const bool usable = has_usable_codes(record.codes);
  FUZZ_CHECK(usable == (kalvynex_fuzz::usable_code(record.codes.network) &&
                        kalvynex_fuzz::usable_code(record.codes.sta) &&
                        kalvynex_fuzz::usable_code(record.codes.location) &&
                        kalvynex_fuzz::usable_code(record.codes.chan)));
  FUZZ_CHECK(usable == unusable_codes_text(record.codes).empty());
  // The exports skip a channel whose codes no document may hold.
  if (!usable) return 0;

  ChannelEpoch epoch;
  epoch.codes = record.codes;
  epoch.start = record.startdate;
  epoch.end = record.enddate;
  epoch.normalization_frequency = requested_normalization_frequency(record.freq);
  PoleZeroResponse pole_zero;
  std::vector<FapTriplet> triplets;
  const bool written = choose_response(record, &pole_zero, &triplets, &epoch);

  ChannelEpoch raw_epoch = epoch;
  PoleZeroResponse raw_pole_zero;
  std::vector<FapTriplet> raw_triplets;
  raw_response(raw, &raw_pole_zero, &raw_triplets);
  raw_epoch.start = Timestamp::at(2002, 1, 1);
  raw_epoch.pole_zero = raw_pole_zero.constant != 0.0 || !raw_pole_zero.poles.empty()
                            ? &raw_pole_zero
                            : nullptr;
  raw_epoch.fap = &raw_triplets;

  std::string document;
  StationXmlWriter writer([&document](const char* bytes, std::size_t n) {
    document.append(bytes, n);
    return true;
  });
  FUZZ_CHECK(writer.begin(StationXmlDocumentInfo{}));
  if (written) FUZZ_CHECK(writer.add_channel(epoch, StationPlace{}));
  FUZZ_CHECK(writer.add_channel(raw_epoch, StationPlace{}));
  FUZZ_CHECK(writer.finish());
  check_document(document, record.codes);

  PoleZeroResponse sacpz_response;
  if (parse_pole_zero(record.sac, &sacpz_response, nullptr)) {
    SacPzPeriod period;
    period.codes = record.codes;
    period.start = record.startdate;
    period.end = record.enddate;
    period.created = "2020-01-01T00:00:00";
    check_sacpz(period, sacpz_response);
  }
  return 0;
}

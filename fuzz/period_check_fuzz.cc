// A period's stored texts through the check and the StationXML writer.
// Input: the SAC text, a NUL byte, the FAP text. Whatever the texts hold, the
// findings are well-formed lines and JSON objects and the document written
// from them is well-formed XML that holds no NaN or INF.
#include <libxml/parser.h>

#include "fuzz/fuzz_support.h"
#include "response/fap_text.h"
#include "response/period_check.h"
#include "response/pole_zero.h"
#include "response/stationxml_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kalvynex;
  const std::vector<std::string> pieces = kalvynex_fuzz::split(data, size, '\0');
  CalibrationRecord record;
  record.codes.network = "XX";
  record.codes.sta = "A&<";
  record.codes.location = "";
  record.codes.chan = "BHZ";
  record.startdate = Timestamp::at(2001, 1, 1);
  record.enddate.year = -1;
  record.sac = pieces[0];
  record.fap = pieces.size() > 1 ? pieces[1] : std::string();

  PeriodChecker checker(1.0);
  std::vector<Finding> findings;
  checker.check(record, &findings);
  for (const Finding& f : findings) {
    const std::string line = finding_text(f);
    FUZZ_CHECK(line.compare(0, 15, "XX.A&<..BHZ 200") == 0);
    const std::string json = finding_json(f);
    for (const char c : json) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20);
    FUZZ_CHECK(json.front() == '{' && json.back() == '}');
  }

  PoleZeroResponse pole_zero;
  const bool readable = parse_pole_zero(record.sac, &pole_zero, nullptr);
  std::vector<FapTriplet> triplets;
  scan_fap_lines(normalize_fap_text(record.fap).text, [&triplets](const FapLine& line) {
    if (line.usable()) triplets.push_back({line.frequency, line.amplitude, line.phase});
  });
  ChannelEpoch epoch;
  epoch.codes = record.codes;
  epoch.start = record.startdate;
  epoch.end = record.enddate;
  epoch.pole_zero = readable ? &pole_zero : nullptr;
  epoch.fap = &triplets;
  std::string document;
  StationXmlWriter writer([&document](const char* bytes, std::size_t n) {
    document.append(bytes, n);
    return true;
  });
  FUZZ_CHECK(writer.begin(StationXmlDocumentInfo{}));
  FUZZ_CHECK(writer.add_channel(epoch, StationPlace{}));
  FUZZ_CHECK(writer.finish());
  xmlDocPtr doc = xmlReadMemory(document.data(), static_cast<int>(document.size()), "fuzz",
                                nullptr, XML_PARSE_NONET);
  FUZZ_CHECK(doc != nullptr);
  xmlFreeDoc(doc);
  FUZZ_CHECK(document.find("NaN<") == std::string::npos);
  FUZZ_CHECK(document.find("INF<") == std::string::npos);
  return 0;
}

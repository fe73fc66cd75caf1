// The stored FAP text: normalize_fap_text, convert_fap_triplets and the
// header built from their results. Input: a TYPE_OUT text on the first line,
// the stored text after it.
#include <cmath>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "response/fap_header.h"
#include "response/fap_text.h"

namespace {

using kalvynex_fuzz::count_of;

// The blank-separated fields of one written triplet line (without its LF).
std::vector<std::string> fields_of(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    if (i == line.size()) break;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ') ++i;
    fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

// A finite amplitude has the form d.ddddddde+ddd with three or more
// exponent digits.
void check_amplitude(const std::string& field) {
  const double value = std::strtod(field.c_str(), nullptr);
  if (!std::isfinite(value)) return;
  FUZZ_CHECK(field.size() >= 14 && field[1] == '.' && field[9] == 'e');
  FUZZ_CHECK(field[10] == '+' || field[10] == '-');
  FUZZ_CHECK(field.find_first_not_of("0123456789", 11) == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kalvynex;
  std::string type_text;
  std::string stored;
  kalvynex_fuzz::split_first_line(data, size, &type_text, &stored);
  const ResponseType type = resolve_response_type(type_text);

  const NormalizedFap normalized = normalize_fap_text(stored);
  FUZZ_CHECK(normalized.text.size() == stored.size());
  FUZZ_CHECK(count_of(normalized.text, '|') == 0);
  const std::size_t bars = count_of(stored, '|');
  const std::size_t expected_count = bars > 0 ? bars : count_of(stored, '\n');
  FUZZ_CHECK(static_cast<std::size_t>(normalized.separator_count) == expected_count);

  const ConvertedTriplets triplets = convert_fap_triplets(normalized.text, type);
  FUZZ_CHECK(triplets.line_count >= 0);
  FUZZ_CHECK(static_cast<std::size_t>(triplets.line_count) == count_of(triplets.text, '\n'));
  FUZZ_CHECK(triplets.text.empty() || triplets.text.back() == '\n');
  // No more lines come out than non-empty lines went in.
  std::size_t input_lines = 0;
  for (const std::string& line : kalvynex_fuzz::split(
           reinterpret_cast<const uint8_t*>(normalized.text.data()), normalized.text.size(), '\n')) {
    if (!line.empty()) ++input_lines;
  }
  FUZZ_CHECK(static_cast<std::size_t>(triplets.line_count) <= input_lines);

  // Every line holds a frequency, an amplitude and a phase. The frequency
  // was positive; below 5e-8 its seven decimals show it as 0.0000000.
  std::size_t start = 0;
  while (start < triplets.text.size()) {
    const std::size_t end = triplets.text.find('\n', start);
    const std::vector<std::string> fields = fields_of(triplets.text.substr(start, end - start));
    FUZZ_CHECK(fields.size() == 3);
    FUZZ_CHECK(fields[0][0] != '-' && std::strtod(fields[0].c_str(), nullptr) >= 0.0);
    check_amplitude(fields[1]);
    start = end + 1;
  }

  FapHeaderFields header;
  header.codes.sta = "ABC";
  header.codes.chan = "BHZ";
  header.codes.location = "00";
  header.codes.network = "XX";
  header.start.year = 2005;
  header.start.month = 3;
  header.start.day = 1;
  header.end.year = -1;
  header.triplet_count = normalized.separator_count;
  header.type = type;
  const std::string text = build_fap_header(header);
  FUZZ_CHECK(count_of(text, '\n') == 3 && text.back() == '\n');
  FUZZ_CHECK(text.compare(0, 5, "CAL2 ") == 0);
  return 0;
}

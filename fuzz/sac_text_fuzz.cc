// The stored SAC text: adjust_sac_zeros and build_sac_header. Input: a
// TYPE_OUT text on the first line (read as the SAC kind), the stored text
// after it.
#include "fuzz/fuzz_support.h"
#include "response/response_type.h"
#include "response/sac_text.h"

namespace {

using kalvynex_fuzz::count_of;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A line that begins with ZEROS after blanks or tabs has been rewritten:
// "ZEROS", one blank, an integer and possibly the CR of a CR LF line end.
void check_zeros_line(const std::string& line) {
  const std::size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos || line.compare(first, 5, "ZEROS") != 0) return;
  FUZZ_CHECK(first == 0);
  FUZZ_CHECK(line.size() > 6 && line[5] == ' ');
  std::size_t i = 6;
  if (line[i] == '-') ++i;
  FUZZ_CHECK(i < line.size() && is_digit(line[i]));
  while (i < line.size() && is_digit(line[i])) ++i;
  FUZZ_CHECK(i == line.size() || (i + 1 == line.size() && line[i] == '\r'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kalvynex;
  std::string type_text;
  std::string stored;
  kalvynex_fuzz::split_first_line(data, size, &type_text, &stored);
  const int kind = resolve_sac_kind(type_text);

  const std::string adjusted = adjust_sac_zeros(stored, kind);
  FUZZ_CHECK(count_of(adjusted, '|') == 0);
  // Every separator becomes exactly one LF; nothing is added at the end.
  FUZZ_CHECK(count_of(adjusted, '\n') == count_of(stored, '|') + count_of(stored, '\n'));
  for (const std::string& line : kalvynex_fuzz::split(
           reinterpret_cast<const uint8_t*>(adjusted.data()), adjusted.size(), '\n')) {
    check_zeros_line(line);
  }
  if (kind == 0 && stored.find("ZEROS") == std::string::npos) {
    std::string expected = stored;
    for (char& c : expected) {
      if (c == '|') c = '\n';
    }
    FUZZ_CHECK(adjusted == expected);
  }

  SacHeaderFields header;
  header.codes.sta = "ABC";
  header.codes.chan = "BHZ";
  header.codes.network = "XX";
  header.codes.location = "00";
  header.start.year = static_cast<int16_t>(kind);
  header.start.month = static_cast<uint16_t>(kind >> 16);
  header.end.year = static_cast<int16_t>(kind >> 8);
  header.kind = kind;
  const std::string text = build_sac_header(header);
  FUZZ_CHECK(count_of(text, '\n') == 6 && text.back() == '\n');
  FUZZ_CHECK(text.compare(0, 10, "# Station ") == 0);
  return 0;
}

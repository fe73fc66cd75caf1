#include "response/sac_text.h"

#include "core/string_printf.h"
#include "core/text_rules.h"
#include "response/number_format.h"

namespace kalvynex {

namespace {

std::string sac_time(const Timestamp& t) {
  return string_printf("%04d.%02d.%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                       t.minute, t.second);
}

// The stored response is displacement in Count/M; the kind raises it to
// velocity or acceleration. Kinds without a unit of their own are labelled
// as velocity.
const char* sac_unit_line(int kind) {
  switch (kind) {
    case 0: return "# Count/M\n";
    case 2: return "# Count/(M/sec**2)\n";
    default: return "# Count/(M/sec)\n";
  }
}

constexpr char kZerosKeyword[] = "ZEROS";
constexpr std::size_t kZerosKeywordLength = sizeof(kZerosKeyword) - 1;

// Appends the line text[start, end) (without its line end) to `out`,
// rewritten as "ZEROS <n + kind>" when, after optional blanks or tabs, it
// begins with the keyword.
void append_line(const std::string& text, std::size_t start, std::size_t end, int kind,
                 std::string& out) {
  std::size_t keyword = start;
  while (keyword < end && (text[keyword] == ' ' || text[keyword] == '\t')) ++keyword;
  if (end - keyword < kZerosKeywordLength ||
      text.compare(keyword, kZerosKeywordLength, kZerosKeyword) != 0) {
    out.append(text, start, end - start);
    return;
  }
  // The number follows the keyword; atoi_clamped needs a NUL-terminated text.
  const std::size_t after = keyword + kZerosKeywordLength;
  const std::string rest = text.substr(after, end - after);
  const int count = add_clamped(atoi_clamped(rest.c_str()), kind);
  out += string_printf("%s %d", kZerosKeyword, count);
  // Stored texts may end their lines in CR LF. The CR belongs to the line
  // being replaced, but dropping it would leave this one line with a bare LF,
  // so a line that ended in CR keeps it.
  if (end > after && text[end - 1] == '\r') out += '\r';
}

}  // namespace

std::string build_sac_header(const SacHeaderFields& fields) {
  std::string header = string_printf(
      "# Station %s\n# Channel %s\n# Location %s\n# Network %s\n# Time %s", fields.codes.sta.c_str(),
      fields.codes.chan.c_str(), fields.codes.location.c_str(), fields.codes.network.c_str(),
      sac_time(fields.start).c_str());
  if (!is_open_end(fields.end)) header += " / " + sac_time(fields.end);
  header += '\n';
  header += sac_unit_line(fields.kind);
  return header;
}

std::string adjust_sac_zeros(const std::string& stored, int kind) {
  // Lines end at "|" and at LF alike; every "|" is written as LF. The last
  // line is handled the same way whether or not a line end follows it.
  std::string out;
  out.reserve(stored.size() + 16);
  std::size_t start = 0;
  while (true) {
    const std::size_t end = stored.find_first_of("|\n", start);
    if (end == std::string::npos) {
      append_line(stored, start, stored.size(), kind, out);
      break;
    }
    append_line(stored, start, end, kind, out);
    out += '\n';
    start = end + 1;
  }
  return out;
}

}  // namespace kalvynex

#include "response/fap_text.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <system_error>

#include "core/string_printf.h"
#include "response/number_format.h"

namespace kalvynex {

NormalizedFap normalize_fap_text(const std::string& stored) {
  NormalizedFap result;
  result.text = stored;
  long long bars = 0;
  long long line_feeds = 0;
  for (char& c : result.text) {
    if (c == '|') {
      c = '\n';
      ++bars;
    } else if (c == '\n') {
      ++line_feeds;
    }
  }
  // A text without any "|" separates its lines with LF alone.
  const long long count = bars > 0 ? bars : line_feeds;
  result.separator_count = count > INT_MAX ? INT_MAX : static_cast<int>(count);
  return result;
}

namespace {

// The amplitude of one stored triplet (inverse displacement in micrometres
// per count) expressed in `type`. With w the angular frequency, the direct
// response is 10^(order+6) * w^kind / A and the inverse one
// 10^(order+6) * A / w^kind. Overflow simply yields inf or nan, which
// kalvynex writes as they are; the result's first_not_finite tells of it.
double convert_amplitude(double frequency, double amplitude, const ResponseType& type) {
  if (type.is_stored_form()) return amplitude;
  const double w = std::atan(1.0) * frequency * 8.0;
  const double p = std::pow(w, type.kind);
  // order + 6 in double: exact, and free of int overflow for any order.
  const double s = std::pow(10.0, static_cast<double>(type.order) + 6.0);
  return type.direction == 0 ? s * p / amplitude : s * amplitude / p;
}

// Appends `value` as printf's "%<width>.<precision>f" writes it. The
// fixed-point form of std::to_chars is printf's text, correctly rounded, with
// "inf", "-inf", "nan" and "-nan" spelt the same way; it writes on the stack,
// and string_printf takes a huge value that does not fit there. This runs
// twice per triplet line, so it allocates nothing for the common case.
void append_fixed(std::string* out, double value, int width, int precision) {
  char buffer[64];
  const std::to_chars_result r =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
  if (r.ec != std::errc()) {
    *out += string_printf("%*.*f", width, precision, value);
    return;
  }
  const std::ptrdiff_t length = r.ptr - buffer;
  if (width > length) out->append(static_cast<std::size_t>(width - length), ' ');
  out->append(buffer, static_cast<std::size_t>(length));
}

// Appends one triplet line to `out`: "%12.7f  %10.7e %10.7f" with a
// three-digit exponent.
void append_triplet(std::string* out, double frequency, double amplitude, double phase) {
  append_fixed(out, frequency, 12, 7);
  *out += "  ";
  append_exponent(out, amplitude, 10, 7);
  *out += ' ';
  append_fixed(out, phase, 10, 7);
  *out += '\n';
}

bool is_c_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One number as strtod reads it, from `p` on, after blanks: its end, or
// null when it is not a plain decimal number within the range of double
// (inf, nan, hexadecimal, 1e400...). std::from_chars reads the same decimal
// syntax as strtod, without the sign and the blanks, to the same correctly
// rounded value.
const char* scan_plain_number(const char* p, const char* end, double* value) {
  while (p != end && is_c_space(*p)) ++p;
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  if (p == end || !((*p >= '0' && *p <= '9') || *p == '.')) return nullptr;
  double v = 0.0;
  const std::from_chars_result r = std::from_chars(p, end, v);
  // Out of range, strtod gives +-HUGE_VAL or a tiny value, and "0x..." is a
  // hexadecimal number to it: sscanf reads those lines itself.
  if (r.ec != std::errc() || (r.ptr != end && (*r.ptr == 'x' || *r.ptr == 'X'))) return nullptr;
  *value = negative ? -v : v;
  return r.ptr;
}

// The three numbers of an ordinary triplet line, read as
// sscanf("%lg%*c%lg%*c%lg") reads them; false for any other line, which
// sscanf then reads itself.
bool scan_plain_triplet(const char* p, const char* end, FapLine* read) {
  double values[3];
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      // %*c takes any one character; a NUL would end sscanf's string.
      if (p == end || *p == '\0') return false;
      ++p;
    }
    p = scan_plain_number(p, end, &values[i]);
    if (p == nullptr) return false;
  }
  read->frequency = values[0];
  read->amplitude = values[1];
  read->phase = values[2];
  read->values_read = 3;
  return true;
}

}  // namespace

bool FapLine::finite() const {
  return std::isfinite(frequency) && std::isfinite(amplitude) && std::isfinite(phase);
}

void scan_fap_lines(const std::string& normalized,
                    const std::function<void(const FapLine&)>& visit) {
  // sscanf needs a NUL-terminated line of its own; one buffer serves every line.
  std::string line;
  FapLine read;
  std::size_t start = 0;
  while (start < normalized.size()) {
    std::size_t end = normalized.find('\n', start);
    if (end == std::string::npos) end = normalized.size();
    if (read.number < INT_MAX) ++read.number;
    if (end > start && scan_plain_triplet(normalized.data() + start, normalized.data() + end,
                                          &read)) {
      visit(read);
    } else if (end > start) {
      // A CR at the end of the line is left in it; the scan stops before it.
      line.assign(normalized, start, end - start);
      read.frequency = -1.0;
      read.amplitude = -1.0;
      read.phase = 0.0;
      // Each pair of numbers is separated by exactly one character of any
      // kind; whatever could not be read keeps its initial value.
      // The C library converts as strtod does: a number beyond the range of
      // double reads as +-inf, which the positivity test and the formatter
      // take as they are. Conversion errors need no report: an unread value
      // keeps its initial value and drops the line.
      // NOLINTNEXTLINE(cert-err34-c)
      const int n = std::sscanf(line.c_str(), "%lg%*c%lg%*c%lg", &read.frequency,
                                &read.amplitude, &read.phase);
      read.values_read = n < 0 ? 0 : n;
      visit(read);
    }
    start = end + 1;
  }
}

ConvertedTriplets convert_fap_triplets(const std::string& normalized,
                                       const ResponseType& type) {
  ConvertedTriplets result;
  scan_fap_lines(normalized, [&result, &type](const FapLine& read) {
    if (result.first_not_finite == 0 && !read.finite()) result.first_not_finite = read.number;
    if (!read.usable()) return;
    const double amplitude = convert_amplitude(read.frequency, read.amplitude, type);
    if (result.first_not_finite == 0 && !std::isfinite(amplitude)) {
      result.first_not_finite = read.number;
    }
    append_triplet(&result.text, read.frequency, amplitude, read.phase);
    if (result.line_count < INT_MAX) ++result.line_count;
  });
  return result;
}

}  // namespace kalvynex

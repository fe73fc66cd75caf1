#include "response/pole_zero.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace kalvynex {
namespace {

// SAC's reader holds at most this many zeros and as many poles.
constexpr int kMaxCount = 30;

// A number too large or too small for a double, as strtod reads it.
bool read_out_of_range(std::string_view word, double* value) {
  const std::string copy(word);
  char* end = nullptr;
  const double v = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size()) return false;
  *value = v;
  return true;
}

// The first three words of a line (blank- or tab-separated) and how many
// there are, without copying.
struct Words {
  std::string_view word[3];
  std::size_t count = 0;
};

Words split_words(std::string_view line) {
  Words words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const std::size_t begin = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > begin) {
      if (words.count < 3) words.word[words.count] = line.substr(begin, i - begin);
      ++words.count;
    }
  }
  return words;
}

// A number at `p` that is a word of its own, read as strtod reads a decimal
// number (an optional sign, digits with an optional point and exponent, or
// inf and nan): the end of the number, which is `end` or a blank; null when
// the word is anything else.
const char* read_number_word(const char* p, const char* end, double* value) {
  const char* begin = p;
  bool negative = false;
  if (begin != end && (*begin == '+' || *begin == '-')) {
    negative = *begin == '-';
    ++begin;
  }
  if (begin == end || *begin == '+' || *begin == '-') return nullptr;
  double v = 0.0;
  // The number cannot reach past a blank, so it ends where its word ends or
  // the word holds more than the number.
  const std::from_chars_result result = std::from_chars(begin, end, v);
  const char* const stop = result.ptr;
  if (result.ec == std::errc::invalid_argument) return nullptr;
  if (stop != end && *stop != ' ' && *stop != '\t') return nullptr;
  if (result.ec == std::errc::result_out_of_range) {
    return read_out_of_range(std::string_view(p, static_cast<std::size_t>(stop - p)), value)
               ? stop
               : nullptr;
  }
  *value = negative ? -v : v;
  return stop;
}

// The whole word as a number, as read_number_word reads it; false when any
// of the word is left over.
bool read_number(std::string_view word, double* value) {
  if (word.empty()) return false;
  const char* const end = word.data() + word.size();
  return read_number_word(word.data(), end, value) == end;
}

// A value line, read the quick way: blanks, a number, blanks, a number,
// blanks. False for anything else (a keyword, a comment, a bad line), which
// the word-by-word reading then handles.
bool read_value_line(std::string_view line, double* re, double* im) {
  const char* p = line.data();
  const char* const end = p + line.size();
  auto skip_blanks = [&p, end] {
    while (p != end && (*p == ' ' || *p == '\t')) ++p;
  };
  skip_blanks();
  if (p == end || !(*p == '-' || *p == '+' || *p == '.' || (*p >= '0' && *p <= '9'))) return false;
  p = read_number_word(p, end, re);
  if (p == nullptr) return false;
  skip_blanks();
  if (p == end) return false;
  p = read_number_word(p, end, im);
  if (p == nullptr) return false;
  skip_blanks();
  return p == end;
}

// The whole word as a count from 0 to kMaxCount; false otherwise, with the
// reason.
bool read_count(std::string_view word, int* count, std::string* reason) {
  if (word.empty() || word.find_first_not_of("+0123456789") != std::string::npos ||
      word.find('+', 1) != std::string::npos || word == "+") {
    *reason = "is not a whole number";
    return false;
  }
  const std::string_view digits = word[0] == '+' ? word.substr(1) : word;
  const size_t first = digits.find_first_not_of('0');
  if (first != std::string::npos && digits.size() - first > 2) {
    *reason = "is more than 30";
    return false;
  }
  int value = 0;
  for (std::size_t i = first == std::string::npos ? digits.size() : first; i < digits.size(); ++i) {
    value = value * 10 + (digits[i] - '0');
  }
  if (value > kMaxCount) {
    *reason = "is more than 30";
    return false;
  }
  *count = value;
  return true;
}

// Where the lines of a stored text end: at a line feed or at "|", which
// some stored texts use instead. Both are found with memchr, so that long
// comment lines cost little.
class LineEnds {
 public:
  explicit LineEnds(std::string_view text)
      : text_(text), feed_(find('\n', 0)), bar_(find('|', 0)) {}

  // The end of the line that starts at `pos`: the next separator, or the
  // end of the text.
  size_t next(size_t pos) {
    if (feed_ < pos) feed_ = find('\n', pos);
    if (bar_ < pos) bar_ = find('|', pos);
    return feed_ < bar_ ? feed_ : bar_;
  }

 private:
  size_t find(char c, size_t pos) const {
    const void* hit = std::memchr(text_.data() + pos, c, text_.size() - pos);
    return hit == nullptr ? text_.size()
                          : static_cast<size_t>(static_cast<const char*>(hit) - text_.data());
  }

  std::string_view text_;
  size_t feed_;  // the next line feed at or after the last position asked
  size_t bar_;   // the same for "|"
};

enum class List { kNone, kZeros, kPoles };

// True when `word` is `keyword` (upper case), Latin letters compared
// without case.
bool is_keyword(std::string_view word, std::string_view keyword) {
  if (word.size() != keyword.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != keyword[i]) return false;
  }
  return true;
}

}  // namespace

bool parse_pole_zero(const std::string& stored, PoleZeroResponse* out,
                     std::vector<PoleZeroProblem>* problems) {
  // Filled in place, so that a caller that keeps its value for the next
  // text keeps its vectors' memory too.
  PoleZeroResponse local;
  PoleZeroResponse& response = out != nullptr ? *out : local;
  response.zeros.clear();
  response.poles.clear();
  response.constant = 0.0;
  std::vector<PoleZeroProblem> found;
  auto problem = [&found](int line, std::string reason, bool not_finite = false) {
    PoleZeroProblem p;
    p.line = line;
    p.reason = std::move(reason);
    p.not_finite = not_finite;
    found.push_back(std::move(p));
  };

  List list = List::kNone;
  size_t filled = 0;  // values read into the current list
  bool saw_constant = false;  // a CONSTANT line, readable or not
  int line_number = 0;
  size_t pos = 0;
  // A value for the list of the last count.
  auto add_value = [&](int line, double re, double im) {
    // Wherever it stands, a line with inf or nan would carry it into a copy
    // of the text, so it is marked as such first.
    const bool finite = std::isfinite(re) && std::isfinite(im);
    if (list == List::kNone) {
      problem(line, finite ? "a value line outside ZEROS and POLES" : "a value that is not finite",
              !finite);
      return;
    }
    std::vector<std::complex<double>>& values =
        list == List::kZeros ? response.zeros : response.poles;
    if (!finite) {
      problem(line, list == List::kZeros ? "a zero that is not finite" : "a pole that is not finite",
              true);
      re = 0.0;  // the place stays at the origin
      im = 0.0;
    }
    if (filled >= values.size()) {
      problem(line, list == List::kZeros ? "more values than ZEROS counted"
                                         : "more values than POLES counted");
      return;
    }
    values[filled++] = std::complex<double>(re, im);
  };
  const std::string_view text(stored);
  LineEnds line_ends(text);
  while (pos < text.size()) {
    const size_t end = line_ends.next(pos);
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    size_t first = 0;
    while (first < line.size() && (line[first] == ' ' || line[first] == '\t')) ++first;
    if (first == line.size() || line[first] == '*') continue;  // blank or comment
    double re = 0.0;
    double im = 0.0;
    if (read_value_line(line, &re, &im)) {
      add_value(line_number, re, im);
      continue;
    }
    const Words words = split_words(line);
    const std::string_view keyword = words.word[0];

    if (is_keyword(keyword, "ZEROS") || is_keyword(keyword, "POLES")) {
      const bool zeros = is_keyword(keyword, "ZEROS");
      const char* name = zeros ? "ZEROS" : "POLES";
      int count = 0;
      std::string reason;
      if (words.count != 2) {
        problem(line_number, std::string(name) + " needs one count");
      } else if (!read_count(words.word[1], &count, &reason)) {
        problem(line_number, std::string("the count of ") + name + " " + reason);
      }
      std::vector<std::complex<double>>& values = zeros ? response.zeros : response.poles;
      values.assign(static_cast<size_t>(count), std::complex<double>(0.0, 0.0));
      list = zeros ? List::kZeros : List::kPoles;
      filled = 0;
    } else if (is_keyword(keyword, "CONSTANT")) {
      saw_constant = true;
      double value = 0.0;
      if (words.count != 2 || !read_number(words.word[1], &value)) {
        problem(line_number, "CONSTANT needs one number");
      } else if (!std::isfinite(value)) {
        problem(line_number, "CONSTANT is not finite", true);
      } else if (value == 0.0) {
        problem(line_number, "CONSTANT is zero");
      } else {
        response.constant = value;
      }
      list = List::kNone;
    } else {
      const bool number = read_number(keyword, &re);
      if (!number) {
        problem(line_number, "unknown keyword \"" + std::string(keyword) + "\"");
      } else if (words.count != 2 || !read_number(words.word[1], &im)) {
        problem(line_number, "a value line needs two numbers");
      } else {
        add_value(line_number, re, im);
      }
    }
  }
  if (!saw_constant) {
    problem(line_number > 0 ? line_number : 1, "CONSTANT is missing");
  }
  const bool readable = found.empty();
  if (problems != nullptr) *problems = std::move(found);
  return readable;
}

const PoleZeroProblem* first_not_finite(const std::vector<PoleZeroProblem>& problems) {
  for (const PoleZeroProblem& p : problems) {
    if (p.not_finite) return &p;
  }
  return nullptr;
}

std::complex<double> evaluate_pole_zero(const PoleZeroResponse& response, double frequency_hz) {
  const std::complex<double> s(0.0, 2.0 * M_PI * frequency_hz);
  std::complex<double> value(response.constant, 0.0);
  for (const auto& z : response.zeros) value *= s - z;
  for (const auto& p : response.poles) value /= s - p;
  return value;
}

}  // namespace kalvynex

#include "response/pole_zero.h"

#include <cmath>
#include <cstdlib>
#include <utility>

#include "core/text_rules.h"

namespace kalvynex {
namespace {

// SAC's reader holds at most this many zeros and as many poles.
constexpr int kMaxCount = 30;

std::vector<std::string> split_words(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const size_t begin = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > begin) words.push_back(line.substr(begin, i - begin));
  }
  return words;
}

// The whole word as a number; false when any of it is left over.
bool read_number(const std::string& word, double* value) {
  const char* begin = word.c_str();
  char* end = nullptr;
  const double v = std::strtod(begin, &end);
  if (end == begin || *end != '\0') return false;
  *value = v;
  return true;
}

// The whole word as a count from 0 to kMaxCount; false otherwise, with the
// reason.
bool read_count(const std::string& word, int* count, std::string* reason) {
  if (word.empty() || word.find_first_not_of("+0123456789") != std::string::npos ||
      word.find('+', 1) != std::string::npos || word == "+") {
    *reason = "is not a whole number";
    return false;
  }
  const std::string digits = word[0] == '+' ? word.substr(1) : word;
  const size_t first = digits.find_first_not_of('0');
  if (first != std::string::npos && digits.size() - first > 2) {
    *reason = "is more than 30";
    return false;
  }
  const int value = first == std::string::npos ? 0 : std::atoi(digits.c_str() + first);
  if (value > kMaxCount) {
    *reason = "is more than 30";
    return false;
  }
  *count = value;
  return true;
}

enum class List { kNone, kZeros, kPoles };

}  // namespace

bool parse_pole_zero(const std::string& stored, PoleZeroResponse* out,
                     std::vector<PoleZeroProblem>* problems) {
  PoleZeroResponse response;
  std::vector<PoleZeroProblem> found;
  auto problem = [&found](int line, std::string reason) {
    PoleZeroProblem p;
    p.line = line;
    p.reason = std::move(reason);
    found.push_back(std::move(p));
  };

  List list = List::kNone;
  size_t filled = 0;  // values read into the current list
  bool saw_constant = false;  // a CONSTANT line, readable or not
  int line_number = 0;
  size_t pos = 0;
  while (pos < stored.size()) {
    size_t end = stored.find_first_of("\n|", pos);
    if (end == std::string::npos) end = stored.size();
    std::string line = stored.substr(pos, end - pos);
    pos = end + 1;
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();

    const std::vector<std::string> words = split_words(line);
    if (words.empty() || words[0][0] == '*') continue;
    const std::string& keyword = words[0];

    if (equals_ignore_case(keyword, "ZEROS") || equals_ignore_case(keyword, "POLES")) {
      const bool zeros = equals_ignore_case(keyword, "ZEROS");
      const char* name = zeros ? "ZEROS" : "POLES";
      int count = 0;
      std::string reason;
      if (words.size() != 2) {
        problem(line_number, std::string(name) + " needs one count");
      } else if (!read_count(words[1], &count, &reason)) {
        problem(line_number, std::string("the count of ") + name + " " + reason);
      }
      std::vector<std::complex<double>>& values = zeros ? response.zeros : response.poles;
      values.assign(static_cast<size_t>(count), std::complex<double>(0.0, 0.0));
      list = zeros ? List::kZeros : List::kPoles;
      filled = 0;
    } else if (equals_ignore_case(keyword, "CONSTANT")) {
      saw_constant = true;
      double value = 0.0;
      if (words.size() != 2 || !read_number(words[1], &value)) {
        problem(line_number, "CONSTANT needs one number");
      } else if (std::isnan(value)) {
        problem(line_number, "CONSTANT is nan");
      } else if (std::isinf(value)) {
        problem(line_number, "CONSTANT is infinite");
      } else if (value == 0.0) {
        problem(line_number, "CONSTANT is zero");
      } else {
        response.constant = value;
      }
      list = List::kNone;
    } else {
      double re = 0.0;
      double im = 0.0;
      const bool number = read_number(keyword, &re);
      if (!number) {
        problem(line_number, "unknown keyword \"" + keyword + "\"");
      } else if (words.size() != 2 || !read_number(words[1], &im)) {
        problem(line_number, "a value line needs two numbers");
      } else if (list == List::kNone) {
        problem(line_number, "a value line outside ZEROS and POLES");
      } else {
        std::vector<std::complex<double>>& values =
            list == List::kZeros ? response.zeros : response.poles;
        if (filled >= values.size()) {
          problem(line_number, list == List::kZeros ? "more values than ZEROS counted"
                                                    : "more values than POLES counted");
        } else {
          values[filled++] = std::complex<double>(re, im);
        }
      }
    }
  }
  if (!saw_constant) {
    problem(line_number > 0 ? line_number : 1, "CONSTANT is missing");
  }
  if (out != nullptr) *out = std::move(response);
  if (problems != nullptr) *problems = found;
  return found.empty();
}

std::complex<double> evaluate_pole_zero(const PoleZeroResponse& response, double frequency_hz) {
  const std::complex<double> s(0.0, 2.0 * M_PI * frequency_hz);
  std::complex<double> value(response.constant, 0.0);
  for (const auto& z : response.zeros) value *= s - z;
  for (const auto& p : response.poles) value /= s - p;
  return value;
}

}  // namespace kalvynex

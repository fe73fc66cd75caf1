#include "inventory/selection_time.h"

#include <string>

namespace kalvynex {

namespace {

int days_in_month(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap_year(year) ? 29 : kDays[month - 1];
}

bool all_digits(const std::string& text, std::size_t begin, std::size_t count) {
  if (begin + count > text.size()) return false;
  for (std::size_t i = begin; i < begin + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

int number_at(const std::string& text, std::size_t begin, std::size_t count) {
  return std::stoi(text.substr(begin, count));
}

constexpr std::size_t kMaxFractionDigits = 6;

}  // namespace

bool parse_selection_time(const std::string& text, Timestamp* out) {
  if (text.size() < 10 || !all_digits(text, 0, 4) || text[4] != '-' ||
      !all_digits(text, 5, 2) || text[7] != '-' || !all_digits(text, 8, 2)) {
    return false;
  }
  int hour = 0;
  int minute = 0;
  int second = 0;
  uint32_t nanoseconds = 0;
  if (text.size() > 10) {
    // The time of day: "Thh:mm", then ":ss", then ".f", then "Z".
    std::string rest = text.substr(10);
    if (rest.back() == 'Z') rest.pop_back();
    if (rest.size() < 6 || (rest[0] != 'T' && rest[0] != ' ') || !all_digits(rest, 1, 2) ||
        rest[3] != ':' || !all_digits(rest, 4, 2)) {
      return false;
    }
    hour = number_at(rest, 1, 2);
    minute = number_at(rest, 4, 2);
    if (rest.size() > 6) {
      if (rest[6] != ':' || !all_digits(rest, 7, 2)) return false;
      second = number_at(rest, 7, 2);
      if (rest.size() > 9) {
        const std::size_t digits = rest.size() - 10;
        if (rest[9] != '.' || digits < 1 || digits > kMaxFractionDigits ||
            !all_digits(rest, 10, digits)) {
          return false;
        }
        nanoseconds = static_cast<uint32_t>(number_at(rest, 10, digits));
        for (std::size_t i = digits; i < 9; ++i) nanoseconds *= 10;
      }
    }
  }
  const int year = number_at(text, 0, 4);
  const int month = number_at(text, 5, 2);
  const int day = number_at(text, 8, 2);
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > days_in_month(year, month) ||
      hour > 23 || minute > 59 || second > 59) {
    return false;
  }
  *out = Timestamp::at(year, month, day, hour, minute, second);
  out->fraction = nanoseconds;
  return true;
}

}  // namespace kalvynex

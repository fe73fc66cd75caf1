#include "inventory/selection_time.h"

#include <string>

namespace kalvynex {

namespace {

int days_in_month(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap_year(year) ? 29 : kDays[month - 1];
}

bool all_digits(const std::string& text, std::size_t begin, std::size_t count) {
  for (std::size_t i = begin; i < begin + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

int number_at(const std::string& text, std::size_t begin, std::size_t count) {
  return std::stoi(text.substr(begin, count));
}

}  // namespace

bool parse_selection_time(const std::string& text, Timestamp* out) {
  const bool date_only = text.size() == 10;
  if (!date_only && text.size() != 19) return false;
  if (!all_digits(text, 0, 4) || text[4] != '-' || !all_digits(text, 5, 2) || text[7] != '-' ||
      !all_digits(text, 8, 2)) {
    return false;
  }
  int hour = 0;
  int minute = 0;
  int second = 0;
  if (!date_only) {
    if ((text[10] != 'T' && text[10] != ' ') || !all_digits(text, 11, 2) || text[13] != ':' ||
        !all_digits(text, 14, 2) || text[16] != ':' || !all_digits(text, 17, 2)) {
      return false;
    }
    hour = number_at(text, 11, 2);
    minute = number_at(text, 14, 2);
    second = number_at(text, 17, 2);
  }
  const int year = number_at(text, 0, 4);
  const int month = number_at(text, 5, 2);
  const int day = number_at(text, 8, 2);
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > days_in_month(year, month) ||
      hour > 23 || minute > 59 || second > 59) {
    return false;
  }
  *out = Timestamp::at(year, month, day, hour, minute, second);
  return true;
}

}  // namespace kalvynex

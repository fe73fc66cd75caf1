#include "core/string_printf.h"

#include <cstdarg>
#include <cstdio>

namespace kalvynex {

namespace {

// The buffer of string_printf's first attempt, NUL included. A triplet line
// is formatted piece by piece, each piece far shorter than this.
constexpr std::size_t kFirstGuess = 64;

}  // namespace

std::string string_printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list retry;
  va_copy(retry, args);
  // Format once into a string of a first guess that holds the numbers and
  // short texts this system writes; only a longer text is formatted a second
  // time, at its exact length. The guess and the retry each leave room for
  // the terminating NUL that vsnprintf always writes; it is cut off again
  // afterwards.
  std::string result(kFirstGuess, '\0');
  const int length = std::vsnprintf(&result[0], result.size(), format, args);
  if (length <= 0) {
    result.clear();
  } else if (static_cast<std::size_t>(length) < result.size()) {
    result.resize(static_cast<std::size_t>(length));
  } else {
    result.resize(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(&result[0], result.size(), format, retry);
    result.resize(static_cast<std::size_t>(length));
  }
  va_end(retry);
  va_end(args);
  return result;
}

}  // namespace kalvynex

// Shared pieces of the fuzz targets: cutting an input into texts and
// stopping with a message when an invariant fails (libFuzzer then keeps the
// input as a crash).
#ifndef KALVYNEX_FUZZ_FUZZ_SUPPORT_H_
#define KALVYNEX_FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace kalvynex_fuzz {

[[noreturn]] inline void fail(const char* file, int line, const char* condition) {
  std::fprintf(stderr, "%s:%d: invariant failed: %s\n", file, line, condition);
  std::abort();
}

// The input cut at `separator`; n separators give n + 1 pieces.
inline std::vector<std::string> split(const uint8_t* data, std::size_t size, char separator) {
  std::vector<std::string> pieces(1);
  for (std::size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == separator) {
      pieces.emplace_back();
    } else {
      pieces.back() += c;
    }
  }
  return pieces;
}

// The first line of the input (without its LF) and everything after it.
inline void split_first_line(const uint8_t* data, std::size_t size, std::string* first,
                             std::string* rest) {
  const std::string all(reinterpret_cast<const char*>(data), size);
  const std::size_t lf = all.find('\n');
  if (lf == std::string::npos) {
    *first = all;
    rest->clear();
  } else {
    *first = all.substr(0, lf);
    *rest = all.substr(lf + 1);
  }
}

inline std::size_t count_of(const std::string& text, char c) {
  std::size_t n = 0;
  for (const char x : text) n += (x == c) ? 1 : 0;
  return n;
}

}  // namespace kalvynex_fuzz

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::kalvynex_fuzz::fail(__FILE__, __LINE__, #condition))

#endif  // KALVYNEX_FUZZ_FUZZ_SUPPORT_H_

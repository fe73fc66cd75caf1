// printf-style formatting into std::string.
#ifndef KALVYNEX_CORE_STRING_PRINTF_H_
#define KALVYNEX_CORE_STRING_PRINTF_H_

#include <string>

namespace kalvynex {

// vsnprintf into a string of the exact length needed. Throws std::bad_alloc
// when memory runs out, as every std::string does.
std::string string_printf(const char* format, ...)
    __attribute__((format(printf, 1, 2)));

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_STRING_PRINTF_H_

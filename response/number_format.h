// The exponent notation of this system's outputs: always a sign and at least
// three exponent digits (1.2566371e-002, -1.00000000e+000), whatever the C
// library prints.
#ifndef KALVYNEX_RESPONSE_NUMBER_FORMAT_H_
#define KALVYNEX_RESPONSE_NUMBER_FORMAT_H_

#include <string>

namespace kalvynex {

// `value` as printf's "%<width>.<precision>e" would write it if the exponent
// always had three or more digits: the number is formatted first, then padded
// with blanks on the left to `width`. Infinities and NaN are written as the C
// library spells them ("inf", "-inf", "nan", "-nan"), padded the same way.
std::string format_exponent(double value, int width, int precision);

// The same text appended to *out.
void append_exponent(std::string* out, double value, int width, int precision);

}  // namespace kalvynex

#endif  // KALVYNEX_RESPONSE_NUMBER_FORMAT_H_

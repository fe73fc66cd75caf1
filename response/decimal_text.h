// Reading and writing the decimal numbers of pole-zero texts quickly.
//
// Stored pole-zero texts hold numbers with few digits ("-3.700000e-02"), and
// an export reads and writes tens of them per period. The general routines
// of the C++ library (shortest round trip, printf-style rounding) are exact
// for every double but cost hundreds of instructions a number. The functions
// here take a short exact path for the common numbers and hand everything
// else to the library, so their results are always the library's results.
#ifndef KALVYNEX_RESPONSE_DECIMAL_TEXT_H_
#define KALVYNEX_RESPONSE_DECIMAL_TEXT_H_

#include <charconv>

namespace kalvynex {

// As std::from_chars(first, last, value) with the general format: the same
// result, the same end and the same error for every input. Numbers of at
// most 15 significant digits with a decimal exponent of at most 22 either
// way are computed directly (one correctly rounded multiplication or
// division of exact values).
std::from_chars_result read_double(const char* first, const char* last, double& value);

// The quick path of read_double alone: a number of the form
// [-]digits[.digits][(e|E)[+|-]digits] at the start of [first, last) that
// can be computed exactly, its value and its end (where std::from_chars and
// strtod stop too, unless the number is "0" followed by "x"). Null when the
// number is anything else; the caller then asks the library.
const char* read_plain_decimal(const char* first, const char* last, double* value);

// Room that the writers below need at `p`.
constexpr int kDecimalTextRoom = 32;

// Writes `value` as printf's "%+e" writes it in the C locale ("+1.234500e-02",
// "-inf") and returns the end of the text.
char* put_signed_exponent(char* p, double value);

// Writes `value` as std::to_chars(p, end, value) writes it (the shortest text
// that reads back as the same double, fixed or exponent notation, whichever
// is shorter) and returns the end. Infinities and NaN are not handled here:
// the caller decides how to spell them.
char* put_shortest(char* p, double value);

// Quick paths of printf's "%.<precision>f" (precision 0 to 9) and
// "%.<precision>e" (precision 0 to 15, with at least `exponent_digits`
// exponent digits): they write the same text as printf, without padding,
// and return its end, or return null without a word written when the value
// is beyond them (not finite, too large or too small, or so close to a
// rounding tie that only the exact expansion can tell). The caller then
// formats with printf.
char* put_fixed_quick(char* p, double value, int precision);
char* put_exponent_quick(char* p, double value, int precision, int exponent_digits);

}  // namespace kalvynex

#endif  // KALVYNEX_RESPONSE_DECIMAL_TEXT_H_

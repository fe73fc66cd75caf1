// Writing the decimal numbers of SAC pole-zero texts quickly.
//
// An export writes tens of "%+e" numbers per period, and the numbers of
// stored texts have few digits ("-3.700000e-02"). The general routine of the
// C library is exact for every double but costs hundreds of instructions a
// number; the writer here takes a short exact path for the common numbers
// and hands everything else to the library, so its result is always the
// library's result. The other number forms of the outputs are written and
// read by std::to_chars and std::from_chars directly.
#ifndef KALVYNEX_RESPONSE_DECIMAL_TEXT_H_
#define KALVYNEX_RESPONSE_DECIMAL_TEXT_H_

namespace kalvynex {

// Room that put_signed_exponent needs at `p`.
constexpr int kDecimalTextRoom = 32;

// Writes `value` as printf's "%+e" writes it in the C locale ("+1.234500e-02",
// "-1.000000e+300", "-inf") and returns the end of the text.
char* put_signed_exponent(char* p, double value);

}  // namespace kalvynex

#endif  // KALVYNEX_RESPONSE_DECIMAL_TEXT_H_

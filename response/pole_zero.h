// A pole-zero description as SAC reads it: the zeros, the poles and the
// constant of the displacement response stored in CALIBRATION's SAC column,
// and its value at a frequency.
#ifndef KALVYNEX_RESPONSE_POLE_ZERO_H_
#define KALVYNEX_RESPONSE_POLE_ZERO_H_

#include <complex>
#include <string>
#include <vector>

namespace kalvynex {

struct PoleZeroResponse {
  std::vector<std::complex<double>> zeros;  // every zero, the unlisted ones (at the origin) included
  std::vector<std::complex<double>> poles;
  double constant = 0.0;
};

struct PoleZeroProblem {
  int line = 0;         // 1-based line of the stored text, "|" counting as a line end
  std::string reason;   // plain English, e.g. "more values than ZEROS counted"
  bool not_finite = false;  // a value or CONSTANT that is inf or nan (or beyond double)
};

// Reads a stored SAC text by SAC's pole-zero reader rules: keywords
// ZEROS/POLES/CONSTANT in any letter case, each followed by its count or
// value; "*" comment lines and blank lines are skipped; every other line is
// a value line of exactly two numbers (real and imaginary part) that fills
// the next free place of the last ZEROS or POLES list. The places a list
// leaves unfilled stay at the origin. Problems: an unknown keyword, a value
// line that is not two numbers or comes before any count, more values than
// counted, a count that is not a whole number from 0 to 30, CONSTANT
// missing or zero, and a value or CONSTANT that is not finite (inf, nan, or
// a number beyond the range of double; marked `not_finite`). Lines end at LF or "|"; CR before LF is
// ignored. Returns true when readable (no problem); `out` holds what could be
// read either way. `problems` may be null.
bool parse_pole_zero(const std::string& stored, PoleZeroResponse* out,
                     std::vector<PoleZeroProblem>* problems);

// The first problem marked not_finite, or null.
const PoleZeroProblem* first_not_finite(const std::vector<PoleZeroProblem>& problems);

// CONSTANT x prod(s - z) / prod(s - p) at s = 2 pi i f.
std::complex<double> evaluate_pole_zero(const PoleZeroResponse& response, double frequency_hz);

}  // namespace kalvynex

#endif  // KALVYNEX_RESPONSE_POLE_ZERO_H_

// The stored FAP text (frequency, amplitude, phase triplets of the inverse
// displacement response in micrometres per count) and its conversion into
// the triplet lines of a written ".fap" file.
#ifndef KALVYNEX_RESPONSE_FAP_TEXT_H_
#define KALVYNEX_RESPONSE_FAP_TEXT_H_

#include <functional>
#include <string>

#include "response/response_type.h"

namespace kalvynex {

struct NormalizedFap {
  std::string text;         // the stored text with every "|" turned into LF
  int separator_count = 0;  // "|" characters, or LF characters when none
};

// Turns the "|" separators of a stored FAP text into LF and counts them.
NormalizedFap normalize_fap_text(const std::string& stored);

// One line of a normalized FAP text as the conversion reads it.
struct FapLine {
  int number = 0;       // 1-based among the LF-separated lines, empty ones counted
  int values_read = 0;  // numbers read, 0 to 3
  double frequency = -1.0;
  double amplitude = -1.0;
  double phase = 0.0;

  // What the conversion keeps: a positive frequency and amplitude.
  bool usable() const { return frequency > 0.0 && amplitude > 0.0; }
  // Every number read is finite: no inf or nan, nothing beyond the range of
  // double. A line that is not makes its whole text unusable.
  bool finite() const;
};

// Reads each non-empty LF-separated line of `normalized` with sscanf
// "%lg%*c%lg%*c%lg" (each pair of numbers separated by exactly one character
// of any kind; what cannot be read keeps -1.0, -1.0, 0.0) and hands it to
// `visit`, in order.
void scan_fap_lines(const std::string& normalized,
                    const std::function<void(const FapLine&)>& visit);

struct ConvertedTriplets {
  std::string text;    // one "%12.7lf  %10.7le %10.7lf\n" line per triplet
  int line_count = 0;  // number of lines in `text`
  // The first line (FapLine::number) that is not finite() or whose
  // converted amplitude is not finite; 0 when every number is finite.
  int first_not_finite = 0;
};

// Reads each non-empty LF-separated line with sscanf "%lg%*c%lg%*c%lg",
// drops lines whose frequency or amplitude is not positive, converts the
// amplitude from the stored form into `type` and formats the line.
ConvertedTriplets convert_fap_triplets(const std::string& normalized,
                                       const ResponseType& type);

}  // namespace kalvynex

#endif  // KALVYNEX_RESPONSE_FAP_TEXT_H_

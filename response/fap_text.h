// The stored FAP text (frequency, amplitude, phase triplets of the inverse
// displacement response in micrometres per count) and its conversion into
// the triplet lines of a written ".fap" file.
#ifndef KALVYNEX_RESPONSE_FAP_TEXT_H_
#define KALVYNEX_RESPONSE_FAP_TEXT_H_

#include <string>

#include "response/response_type.h"

namespace kalvynex {

struct NormalizedFap {
  std::string text;         // the stored text with every "|" turned into LF
  int separator_count = 0;  // "|" characters, or LF characters when none
};

// Turns the "|" separators of a stored FAP text into LF and counts them.
NormalizedFap normalize_fap_text(const std::string& stored);

struct ConvertedTriplets {
  std::string text;    // one "%12.7lf  %10.7le %10.7lf\n" line per triplet
  int line_count = 0;  // number of lines in `text`
};

// Reads each non-empty LF-separated line with sscanf "%lg%*c%lg%*c%lg",
// drops lines whose frequency or amplitude is not positive, converts the
// amplitude from the stored form into `type` and formats the line.
ConvertedTriplets convert_fap_triplets(const std::string& normalized,
                                       const ResponseType& type);

}  // namespace kalvynex

#endif  // KALVYNEX_RESPONSE_FAP_TEXT_H_

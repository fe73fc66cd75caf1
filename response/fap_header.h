// The three header lines of a ".fap" file: CAL2, a comment with the unit
// label, and FAP2 with the triplet count and a description.
#ifndef KALVYNEX_RESPONSE_FAP_HEADER_H_
#define KALVYNEX_RESPONSE_FAP_HEADER_H_

#include <string>

#include "core/channel_codes.h"
#include "core/timestamp.h"
#include "response/response_type.h"

namespace kalvynex {

struct FapHeaderFields {
  ChannelCodes codes;
  Timestamp start;
  Timestamp end;          // year 0 or below: no end
  int triplet_count = 0;  // triplet lines written: FAP2 field (limited to
                          // 999) and description (not limited)
  ResponseType type;
  double calib = -1.0;    // calibration factor of the CAL2 line
  double calper = -1.0;   // calibration period of the CAL2 line
};

// Three lines, each ending in LF.
std::string build_fap_header(const FapHeaderFields& fields);

}  // namespace kalvynex

#endif  // KALVYNEX_RESPONSE_FAP_HEADER_H_

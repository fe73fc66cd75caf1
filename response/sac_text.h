// The ".sac" output: a six-line comment header and the stored pole-zero
// description with its ZEROS count raised by the kind of motion.
#ifndef KALVYNEX_RESPONSE_SAC_TEXT_H_
#define KALVYNEX_RESPONSE_SAC_TEXT_H_

#include <string>

#include "core/channel_codes.h"
#include "core/timestamp.h"

namespace kalvynex {

struct SacHeaderFields {
  ChannelCodes codes;
  Timestamp start;
  Timestamp end;  // year 0 or below: no end
  int kind = 1;
};

// "# Station", "# Channel", "# Location", "# Network", "# Time" and the unit
// line, each ending in LF.
std::string build_sac_header(const SacHeaderFields& fields);

// The stored description with every "|" turned into LF and every ZEROS line
// rewritten as "ZEROS <n + kind>" (n read by the atoi rule after the keyword,
// 0 when there is none; the sum clamped to the range of int). Lines end at
// "|" or LF; a ZEROS line is one that begins with "ZEROS" after optional
// blanks or tabs, the last line included. A rewritten line that ended in CR
// keeps that CR. Nothing is added at the end of the text.
std::string adjust_sac_zeros(const std::string& stored, int kind);

}  // namespace kalvynex

#endif  // KALVYNEX_RESPONSE_SAC_TEXT_H_

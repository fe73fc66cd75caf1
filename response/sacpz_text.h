// The sacpz text of one calibration period: a "*" comment block that names
// the channel and its period, then the pole-zero description in the form
// that SAC's pole-zero reader, ObsPy and the sacpz web services use.
#ifndef KALVYNEX_RESPONSE_SACPZ_TEXT_H_
#define KALVYNEX_RESPONSE_SACPZ_TEXT_H_

#include <string>

#include "core/channel_codes.h"
#include "core/timestamp.h"
#include "response/pole_zero.h"

namespace kalvynex {

struct SacPzPeriod {
  ChannelCodes codes;
  Timestamp start;
  Timestamp end;        // year 0 or below: open, written as 2599-12-31T23:59:59
  std::string created;  // the CREATED line's text
};

// The comment block (NETWORK (KNETWK), STATION (KSTNM), LOCATION (KHOLE),
// CHANNEL (KCMPNM), CREATED, START, END, INPUT UNIT: M, OUTPUT UNIT: COUNTS),
// then "ZEROS n" with every zero listed, "POLES m" with every pole and
// "CONSTANT c"; numbers as "%+e", LF line ends. The response is the stored
// displacement response, unconverted.
std::string build_sacpz_text(const SacPzPeriod& period, const PoleZeroResponse& response);

}  // namespace kalvynex

#endif  // KALVYNEX_RESPONSE_SACPZ_TEXT_H_

// How the messages and check's findings name one calibration period.
#ifndef KALVYNEX_CORE_PERIOD_LABEL_H_
#define KALVYNEX_CORE_PERIOD_LABEL_H_

#include <string>

#include "core/channel_codes.h"
#include "core/timestamp.h"

namespace kalvynex {

// "NET.STA.LOC.CHA YYYY-MM-DDThh:mm:ss": the channel's codes and the
// period's start (timestamp_iso_text).
std::string period_label(const ChannelCodes& codes, const Timestamp& start);

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_PERIOD_LABEL_H_

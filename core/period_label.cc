#include "core/period_label.h"

namespace kalvynex {

std::string period_label(const ChannelCodes& codes, const Timestamp& start) {
  return codes.network + "." + codes.sta + "." + codes.location + "." + codes.chan + " " +
         timestamp_iso_text(start);
}

}  // namespace kalvynex

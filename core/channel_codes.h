// The four codes by which CALIBRATION names one channel. One value serves the
// command line, the query, the messages, the file name and both text
// builders; members are set by name, never by position, so that two codes
// cannot trade places unnoticed.
#ifndef KALVYNEX_CORE_CHANNEL_CODES_H_
#define KALVYNEX_CORE_CHANNEL_CODES_H_

#include <string>

namespace kalvynex {

struct ChannelCodes {
  std::string sta;       // station
  std::string chan;      // channel
  std::string network;
  std::string location;

  // "STA:CHAN:NETWORK:LOCATION", the order of SELECT= and of the messages.
  std::string selector_text() const {
    return sta + ":" + chan + ":" + network + ":" + location;
  }
};

inline bool operator==(const ChannelCodes& a, const ChannelCodes& b) {
  return a.sta == b.sta && a.chan == b.chan && a.network == b.network &&
         a.location == b.location;
}

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_CHANNEL_CODES_H_

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

// Why `code` (a NETWORK, STA, LOCATION or CHAN) cannot name a file, stand
// in a document or be shown as it is, or nullptr when it can: it holds a
// "/", a control byte (00..1F, NUL included, or 7F), bytes that are not
// well-formed UTF-8, or U+FFFE or U+FFFF (which no XML document may hold);
// or it is "." or "..". Every other text is usable, the empty one included.
const char* code_problem(const std::string& code);

inline bool is_usable_code(const std::string& code) { return code_problem(code) == nullptr; }

// True when all four codes are usable.
bool has_usable_codes(const ChannelCodes& codes);

// What is wrong with the unusable codes of `codes`, for a message:
// 'station "NL<LF>POLES 1" holds a control byte', several joined by "; "
// (the codes as they are: the message's writer escapes them). Empty when
// every code is usable.
std::string unusable_codes_text(const ChannelCodes& codes);

// The location as the documents write it: the table's "??", the "--" of the
// FDSN services and the empty code all mean "no location" and give "";
// any other code is itself.
inline std::string written_location(const std::string& location) {
  return location == "??" || location == "--" ? std::string() : location;
}

inline bool operator==(const ChannelCodes& a, const ChannelCodes& b) {
  return a.sta == b.sta && a.chan == b.chan && a.network == b.network &&
         a.location == b.location;
}

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_CHANNEL_CODES_H_

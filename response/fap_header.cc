#include "response/fap_header.h"

#include "core/string_printf.h"
#include "response/number_format.h"

namespace kalvynex {

namespace {

// The FAP2 line's count field has room for three digits.
constexpr int kMaxFap2Count = 999;

// Date and time of the CAL2 line, to the minute.
std::string cal2_time(const Timestamp& t) {
  return string_printf("%04d/%02d/%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
}

std::string fap2_description(const ResponseType& type, int count) {
  if (type.is_stored_form()) return string_printf("QEV FAP Triplets %d", count);
  if (type.is_gse2_form()) return string_printf("GSE2 FAP Triplets %d", count);
  return string_printf("FAP Triplets %d", count);
}

}  // namespace

std::string build_fap_header(const FapHeaderFields& fields) {
  const std::string on = cal2_time(fields.start);
  const std::string off = is_open_end(fields.end) ? std::string() : cal2_time(fields.end);

  // CAL2: station, channel, empty auxiliary id and instrument type, calib,
  // calper, empty sample rate, on and off time. Without an off time the line
  // ends in a blank.
  std::string header = string_printf("CAL2 %-5s %-3s %-4s %-6s ", fields.codes.sta.c_str(),
                                     fields.codes.chan.c_str(), "", "");
  header += format_exponent(fields.calib, 15, 8);
  header += string_printf(" %7.3f %-11s %s %s\n", fields.calper, "", on.c_str(), off.c_str());

  // The codes in the order station, channel, location, network. An empty
  // label leaves two blanks before the parenthesis.
  header += string_printf(" ( %s:%s:%s:%s %s )\n", fields.codes.sta.c_str(), fields.codes.chan.c_str(),
                          fields.codes.location.c_str(), fields.codes.network.c_str(),
                          unit_label(fields.type).c_str());

  // FAP2: stage 0, output in counts, empty decimation, correction 0.0, the
  // count (cut to what its field holds) and the description with the full one.
  const int count = fields.triplet_count;
  const int field_count = count > kMaxFap2Count ? kMaxFap2Count : count;
  header += string_printf("FAP2 %2d %c %-4s %8.3f %3d %-25s\n", 0, 'C', "", 0.0, field_count,
                          fap2_description(fields.type, count).c_str());
  return header;
}

}  // namespace kalvynex

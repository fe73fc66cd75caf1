// The lines of the FDSN station service's text format (format=text): a
// header line per level, then one line per network, station or channel,
// fields separated by "|", each line ending in "\n".
#ifndef KALVYNEX_INVENTORY_STATION_TEXT_H_
#define KALVYNEX_INVENTORY_STATION_TEXT_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/channel_codes.h"
#include "core/station_place.h"
#include "inventory/station_query.h"
#include "response/stationxml_writer.h"

namespace kalvynex {

// The header line of `level`; level response has none of its own and
// gets the channel's.
std::string station_text_header(QueryLevel level);

// A field as the format can hold it: the format has no escape, so "|" and
// every control byte (a line break among them) become one blank each.
std::string station_text_field(std::string_view text);

// "YYYY-MM-DDThh:mm:ss"; empty when absent.
std::string station_text_time(const std::optional<Timestamp>& t);

// Network|Description|StartTime|EndTime|TotalStations, the description
// empty.
std::string network_text_line(const std::string& network, const ElementDates& dates,
                              std::size_t stations);

// Network|Station|Latitude|Longitude|Elevation|SiteName|StartTime|EndTime,
// the place as the StationXML writes it (0, 0, 0 when unknown; the station
// code when it has no site name).
std::string station_text_line(const ChannelCodes& codes, const StationPlace& place,
                              const ElementDates& dates);

// The channel line of `epoch`: Depth 0, Azimuth, Dip, SensorDescription
// and SampleRate empty; Scale, ScaleFreq and ScaleUnits from `sensitivity`
// in the epoch's input units, all three empty without it.
std::string channel_text_line(const ChannelEpoch& epoch, const StationPlace& place,
                              const std::optional<ResponseSensitivity>& sensitivity);

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_STATION_TEXT_H_

#include "inventory/station_text.h"

#include <charconv>

#include "core/string_printf.h"

namespace kalvynex {

namespace {

// The shortest decimal form that reads back as the same double.
std::string number_text(double value) {
  char buffer[32];
  const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, r.ptr);
}

// The place fields as the StationXML writer writes them.
std::string place_fields(const StationPlace& place) {
  return number_text(place.known ? place.latitude : 0.0) + "|" +
         number_text(place.known ? place.longitude : 0.0) + "|" +
         number_text(place.known ? place.elevation : 0.0);
}

}  // namespace

std::string station_text_header(QueryLevel level) {
  switch (level) {
    case QueryLevel::kNetwork:
      return "#Network | Description | StartTime | EndTime | TotalStations\n";
    case QueryLevel::kStation:
      return "#Network | Station | Latitude | Longitude | Elevation | SiteName | StartTime | "
             "EndTime\n";
    case QueryLevel::kChannel:
    case QueryLevel::kResponse:
      break;
  }
  return "#Network | Station | Location | Channel | Latitude | Longitude | Elevation | Depth | "
         "Azimuth | Dip | SensorDescription | Scale | ScaleFreq | ScaleUnits | SampleRate | "
         "StartTime | EndTime\n";
}

std::string station_text_field(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '|' || byte < 0x20 || byte == 0x7F) c = ' ';
  }
  return out;
}

std::string station_text_time(const std::optional<Timestamp>& t) {
  if (!t) return std::string();
  return string_printf("%04d-%02u-%02uT%02u:%02u:%02u", t->year, t->month, t->day, t->hour,
                       t->minute, t->second);
}

std::string network_text_line(const std::string& network, const ElementDates& dates,
                              std::size_t stations) {
  return station_text_field(network) + "||" + station_text_time(dates.start) + "|" +
         station_text_time(dates.end) + "|" + std::to_string(stations) + "\n";
}

std::string station_text_line(const ChannelCodes& codes, const StationPlace& place,
                              const ElementDates& dates) {
  return station_text_field(codes.network) + "|" + station_text_field(codes.sta) + "|" +
         place_fields(place) + "|" +
         station_text_field(place.site_name.empty() ? codes.sta : place.site_name) + "|" +
         station_text_time(dates.start) + "|" + station_text_time(dates.end) + "\n";
}

std::string channel_text_line(const ChannelEpoch& epoch, const StationPlace& place,
                              const std::optional<ResponseSensitivity>& sensitivity) {
  const ChannelCodes& c = epoch.codes;
  std::string line = station_text_field(c.network) + "|" + station_text_field(c.sta) + "|" +
                     station_text_field(xml_location_code(c.location)) + "|" +
                     station_text_field(c.chan) + "|" + place_fields(place) + "|";
  // Depth as the XML writes it (0 when not known), then Azimuth and Dip;
  // SensorDescription: none is stored.
  const ChannelPlace& sensor = epoch.sensor;
  line += number_text(sensor.depth.value_or(0.0)) + "|";
  if (sensor.azimuth) line += number_text(*sensor.azimuth);
  line += "|";
  if (sensor.dip) line += number_text(*sensor.dip);
  line += "||";
  if (sensitivity) {
    line += number_text(sensitivity->value) + "|" + number_text(sensitivity->frequency) + "|" +
            ground_units_name(epoch.units);
  } else {
    line += "||";
  }
  line += "|";
  if (sensor.sample_rate) line += number_text(*sensor.sample_rate);
  line += "|" + station_text_time(epoch.start) + "|";
  if (!is_open_end(epoch.end)) line += station_text_time(epoch.end);
  line += "\n";
  return line;
}

}  // namespace kalvynex

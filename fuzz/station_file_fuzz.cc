// The stations file of a StationXML export: parse_station_file on any text.
#include <cmath>

#include "config/station_file.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kalvynex;
  const std::string text(reinterpret_cast<const char*>(data), size);
  StationPlaces places;
  std::string error;
  if (!parse_station_file(text, &places, &error)) {
    // A refusal always names the line.
    FUZZ_CHECK(error.compare(0, 5, "line ") == 0);
    FUZZ_CHECK(places.size() == 0);
    return 0;
  }
  FUZZ_CHECK(error.empty());
  // The first data line, read again field by field, is found with its place
  // within range (a header or a comment line first finds nothing).
  const std::size_t comma1 = text.find(',');
  const std::size_t comma2 = comma1 == std::string::npos ? comma1 : text.find(',', comma1 + 1);
  if (comma2 != std::string::npos && text.find_first_of("\"\r\n# \t") > comma2) {
    const StationPlace* place =
        places.find(text.substr(0, comma1), text.substr(comma1 + 1, comma2 - comma1 - 1));
    if (place != nullptr) {
      FUZZ_CHECK(place->known);
      FUZZ_CHECK(place->latitude >= -90.0 && place->latitude < 90.0 &&
                 std::fabs(place->longitude) <= 180.0);
      FUZZ_CHECK(std::isfinite(place->elevation));
    }
  }
  return 0;
}

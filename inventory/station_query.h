// A request to the station web service, read from its URL parameters or
// from a POST body, as the FDSN web service documents define them: the
// selection of periods, the level and format of the answer, and the status
// when nothing matches. Reading never touches the database.
#ifndef KALVYNEX_INVENTORY_STATION_QUERY_H_
#define KALVYNEX_INVENTORY_STATION_QUERY_H_

#include <optional>
#include <string>
#include <vector>

#include "db/period_catalog.h"

namespace kalvynex {

enum class QueryLevel { kNetwork, kStation, kChannel, kResponse };
enum class QueryFormat { kXml, kText };

// A rectangle (min/max latitude and longitude) and a circle around a point
// (latitude, longitude, min/max radius in degrees of arc); a station
// matches when it lies in both. Stations without a known place match only
// when no area is given.
struct GeoArea {
  std::optional<double> min_latitude, max_latitude;
  std::optional<double> min_longitude, max_longitude;
  std::optional<double> latitude, longitude;  // the circle's centre (default 0, 0)
  std::optional<double> min_radius, max_radius;
  bool any() const;
};

struct StationQuery {
  CalibrationSelection selection;  // codes, times and POST rows
  QueryLevel level = QueryLevel::kStation;
  QueryFormat format = QueryFormat::kXml;
  int nodata = 204;  // or 404
  GeoArea area;
};

// One parameter as the client sent it, already percent-decoded.
struct QueryParameter {
  std::string name;
  std::string value;
};

// Reads the URL parameters of a query. False with the reason (one line, as
// the error document's explanation, e.g. "Unknown parameter: bogus") for
// every request the service answers with 400: an unknown or repeated
// parameter (a long and a short name of one parameter count as a repeat),
// a malformed value, a code that no selection can match, a start after its
// end, level=response with format=text, and values the service cannot
// honour (matchtimeseries=true, includeavailability=true,
// includerestricted=false, updatedafter).
bool parse_station_query(const std::vector<QueryParameter>& parameters, StationQuery* out,
                         std::string* error);

// Reads a POST body: "key=value" lines first, then one selection per line,
// "NET STA LOC CHA START END" ("*" for an open end). Reasons as above.
bool parse_station_post(const std::string& body, StationQuery* out, std::string* error);

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_STATION_QUERY_H_

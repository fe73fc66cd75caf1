// A request to the station web service, read from its URL parameters or
// from a POST body, as the FDSN web service documents define them: the
// selection of periods, the level and format of the answer, and the status
// when nothing matches. Reading never touches the database.
#ifndef KALVYNEX_INVENTORY_STATION_QUERY_H_
#define KALVYNEX_INVENTORY_STATION_QUERY_H_

#include <cstddef>
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
  // Whether the area bounds anything: a latitude or longitude bound, or a
  // radius (a centre without a radius bounds nothing).
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
// a value that is not UTF-8 text or holds a control byte, a malformed value
// (times as parse_selection_time reads them; degrees as plain numbers,
// latitudes -90..90, longitudes -180..180, radii 0..180), a code that no
// selection can match (see code_problem), more than kMaxCodePatterns code
// patterns, a minimum above its maximum, a start after its
// end, level=response with format=text, and values the service cannot
// honour (matchtimeseries=true, includeavailability=true,
// includerestricted=false, updatedafter).
bool parse_station_query(const std::vector<QueryParameter>& parameters, StationQuery* out,
                         std::string* error);

// The most selection lines a POST body may hold. Their patterns do not count
// toward kMaxCodePatterns (inventory/options.h), which bounds the lists.
constexpr std::size_t kMaxSelectionLines = 1000;

// Reads a POST body: "key=value" lines first, then one selection per line,
// "NET STA LOC CHA START END" separated by blanks ("*" for an open end),
// each line a row of the selection. Lines end in LF or CR LF; blank lines
// are skipped. Reasons as above, and besides: no selection line, more than
// kMaxSelectionLines, a line that is neither form, or a parameter line
// after a selection line.
bool parse_station_post(const std::string& body, StationQuery* out, std::string* error);

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_STATION_QUERY_H_

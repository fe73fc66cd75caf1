// The documents of a selection, written as the periods come: StationXML at
// a level (the stationxml export and the station service), the FDSN text
// lines of the station service, and sacpz text. Only the current period
// (and, for the dates of networks and stations, one span per channel) is in
// memory, so memory stays flat however large the answer.
#ifndef KALVYNEX_INVENTORY_STATION_DOCUMENT_H_
#define KALVYNEX_INVENTORY_STATION_DOCUMENT_H_

#include <ctime>
#include <string>
#include <string_view>

#include "config/station_file.h"
#include "core/file_status.h"
#include "inventory/period_walk.h"
#include "inventory/reporter.h"
#include "inventory/station_query.h"
#include "response/stationxml_writer.h"

namespace kalvynex {

// Where a document goes. open is called once, before the first byte, when
// the document is known not to be empty; a selection that matches nothing
// (or only skipped periods) never opens its sink. A failed step ends the
// document; `name` names the sink in the reporter's message.
class DocumentSink {
 public:
  virtual ~DocumentSink() = default;
  virtual FileStatus open() = 0;
  virtual FileStatus write(std::string_view bytes) = 0;
  virtual FileStatus finish() = 0;
  virtual std::string name() const = 0;
};

struct StationDocumentRequest {
  QueryLevel level = QueryLevel::kResponse;
  QueryFormat format = QueryFormat::kXml;
  GroundUnits units = GroundUnits::kDisplacement;
  const StationPlaces* places = nullptr;  // nullptr: no stations file
  GeoArea area;                           // stations outside it are left out
  StationXmlDocumentInfo info;            // XML only
};

// Writes the StationXML or text document of the selection into `sink`.
// Levels network and station are written from the channels' spans alone
// (PeriodWalk::channel_spans; no period is read); levels channel and
// response walk the periods and read their texts, and skip (and report) the
// same periods: those whose response numbers cannot be written. A station
// outside request.area (when it bounds anything), or without a known place
// when it does, is left out with its channels. result.periods counts the
// periods visited (levels network and station: the channels' spans taken);
// whether anything was written is whether the sink was opened. The text
// format has no level response: that request fails as a usage error.
CommandResult write_station_document(PeriodWalk& walk, Reporter& reporter,
                                     const StationDocumentRequest& request, DocumentSink& sink);

// Writes the sacpz text of the walk's periods into `sink`, as export -f
// sacpz writes one stream; `created` is the time of its CREATED lines.
CommandResult write_sacpz_document(PeriodWalk& walk, Reporter& reporter,
                                   const StationPlaces* places, DocumentSink& sink,
                                   std::time_t created = std::time(nullptr));

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_STATION_DOCUMENT_H_

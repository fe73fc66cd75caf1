// The documents of a selection, written as the periods come: StationXML at
// a level (the stationxml export and the station service), the FDSN text
// lines of the station service, and sacpz text. Only the current period is
// in memory, so memory stays flat however large the answer.
#ifndef KALVYNEX_INVENTORY_STATION_DOCUMENT_H_
#define KALVYNEX_INVENTORY_STATION_DOCUMENT_H_

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

// Writes the StationXML or text document of the walk's periods into
// `sink`. result.periods counts the periods visited; whether anything was
// written is whether the sink was opened.
CommandResult write_station_document(PeriodWalk& walk, Reporter& reporter,
                                     const StationDocumentRequest& request, DocumentSink& sink);

// Writes the sacpz text of the walk's periods into `sink`, as export -f
// sacpz writes one stream.
CommandResult write_sacpz_document(PeriodWalk& walk, Reporter& reporter,
                                   const StationPlaces* places, DocumentSink& sink);

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_STATION_DOCUMENT_H_

#include "inventory/query_document.h"

#include <string>
#include <utility>
#include <vector>

#include "inventory/inventory.h"

namespace kalvynex {

CommandResult write_query_document(PeriodCatalog& catalog, const StationQuery& query,
                                   QueryDocumentKind kind, const StationPlaces* places,
                                   std::time_t created, Reporter& reporter, DocumentSink& sink) {
  std::vector<ChannelCodes> channels;
  const Status status = catalog.find_channels(query.selection, &channels);
  if (!status.ok()) {
    CommandResult result;
    result.outcome = Outcome::database(status);
    return result;
  }
  PeriodWalk walk(catalog, query.selection, std::move(channels), reporter);
  if (kind == QueryDocumentKind::kSacPz) {
    return write_sacpz_document(walk, reporter, places, sink, created);
  }
  StationDocumentRequest document;
  document.level = query.level;
  document.format = query.format;
  document.places = places;
  document.area = query.area;
  document.info.source = "QEV calibration database";
  document.info.module = std::string(kInventoryProgram) + " " + KALVYNEX_VERSION;
  document.info.created_seconds = created;
  return write_station_document(walk, reporter, document, sink);
}

}  // namespace kalvynex

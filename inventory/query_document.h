// The document that answers one station query: the selection's channels
// found in the catalog and walked into the station document (StationXML or
// text at the query's level) or into the sacpz text. The station service
// writes it for every query, from a catalog of its pool.
#ifndef KALVYNEX_INVENTORY_QUERY_DOCUMENT_H_
#define KALVYNEX_INVENTORY_QUERY_DOCUMENT_H_

#include <ctime>

#include "config/station_file.h"
#include "db/period_catalog.h"
#include "inventory/period_walk.h"
#include "inventory/reporter.h"
#include "inventory/station_document.h"
#include "inventory/station_query.h"

namespace kalvynex {

enum class QueryDocumentKind { kStation, kSacPz };

// Writes the document of `query` into `sink`. `places` is the stations
// file's (nullptr: none); `created` the document's creation time. A failure
// to find the channels is the outcome's database failure; otherwise the
// result is the document writer's (station_document.h), the sink opened
// only when there is something to write.
CommandResult write_query_document(PeriodCatalog& catalog, const StationQuery& query,
                                   QueryDocumentKind kind, const StationPlaces* places,
                                   std::time_t created, Reporter& reporter, DocumentSink& sink);

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_QUERY_DOCUMENT_H_

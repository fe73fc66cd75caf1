// The data of the response viewer for one period: the response of its SAC
// text and its FAP table at their frequencies, on the same axes, and what
// check finds in the period, as one JSON document for the page.
#ifndef KALVYNEX_INVENTORY_PERIOD_VIEW_H_
#define KALVYNEX_INVENTORY_PERIOD_VIEW_H_

#include <string>
#include <vector>

#include "core/channel_codes.h"
#include "core/status.h"
#include "core/timestamp.h"
#include "db/period_catalog.h"
#include "inventory/station_query.h"

namespace kalvynex {

// One period, named by its channel's codes and its START.
struct PeriodViewRequest {
  ChannelCodes codes;
  Timestamp start;
};

// Reads net, sta, loc, cha and start (the codes exactly as stored, "--"
// for the empty location; START in any form --time takes). False with the
// reason for a 400.
// The empty location also finds a period stored under "??" or "--": the
// documents write all three as the empty location.
bool parse_period_view_request(const std::vector<QueryParameter>& parameters,
                               PeriodViewRequest* out, std::string* error);

// Finds the period and writes its JSON into *json; *found is false when the
// channel has no period starting at request.start.
Status write_period_view(PeriodCatalog& catalog, const PeriodViewRequest& request,
                         std::string* json, bool* found);

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_PERIOD_VIEW_H_

// export -f stationxml: one StationXML document of the selection at the
// level of --level, written as the rows come (inventory/station_document).
#include <optional>

#include "config/station_file.h"
#include "inventory/commands.h"
#include "inventory/data_output.h"
#include "inventory/station_document.h"

namespace kalvynex {

CommandResult export_stationxml(const CommandContext& context, const std::string& output) {
  StationPlaces places;
  if (context.options.stations) {
    std::string error;
    if (!read_station_file(*context.options.stations, &places, &error)) {
      context.reporter.error(error);
      CommandResult failed;
      failed.outcome = Outcome::failed(InventoryExit::kUsage);
      return failed;
    }
  }
  StationDocumentRequest request;
  request.level = context.options.level;
  request.units = context.options.units;
  request.places = context.options.stations ? &places : nullptr;
  request.info.source = "QEV calibration database";
  request.info.module = std::string(kInventoryProgram) + " " + KALVYNEX_VERSION;
  request.info.created_seconds = created_epoch(context.env.source_date_epoch);
  DataStream stream(context.env.out);
  StreamDocumentSink sink(stream, output);
  return write_station_document(context.walk, context.reporter, request, sink);
}

}  // namespace kalvynex

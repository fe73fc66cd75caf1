// The commands of kalvynex-inventory, one file each: list (list_command.cc),
// export (export_command.cc chooses among export_files.cc for sac and fap,
// export_sacpz.cc and export_stationxml.cc) and check (check_command.cc).
// Each walks the selected periods and leaves its result to the session.
#ifndef KALVYNEX_INVENTORY_COMMANDS_H_
#define KALVYNEX_INVENTORY_COMMANDS_H_

#include <ctime>
#include <optional>
#include <string>

#include "inventory/catalog_pool.h"
#include "inventory/inventory.h"
#include "inventory/options.h"
#include "inventory/period_walk.h"
#include "inventory/reporter.h"
#include "inventory/session.h"

namespace kalvynex {

// What every command works with.
struct CommandContext {
  const InventoryOptions& options;
  const InventoryEnvironment& env;
  const std::string& output_directory;  // from the settings: sac and fap's default
  Reporter& reporter;
  PeriodWalk& walk;
};

CommandResult list_periods(const CommandContext& context);
CommandResult check_periods(const CommandContext& context);
CommandResult export_periods(const CommandContext& context);

// serve: the station web service on the options' address, its catalogs
// made by `make_catalog`, until SIGTERM, SIGINT or SIGHUP; kDone after the
// requests under way have finished.
InventoryExit serve_requests(const InventoryOptions& options, const InventoryEnvironment& env,
                             const SessionSetup& setup, const CatalogPool::Factory& make_catalog);

// The export formats, once export_periods has chosen the output.
CommandResult export_files(const CommandContext& context, const std::string& dir);
CommandResult export_sacpz(const CommandContext& context, const std::string& output,
                           bool directory);
CommandResult export_stationxml(const CommandContext& context, const std::string& output);

// Where export writes: -o, else standard output for the formats of one
// stream and the settings' directory for sac and fap.
std::string export_output(const InventoryOptions& options, const std::string& output_directory);

// Whether the command's data go to standard output.
bool writes_standard_output(const InventoryOptions& options, const std::string& output_directory);

// The creation time of a document: SOURCE_DATE_EPOCH when set to a number,
// else now.
std::time_t created_epoch(const std::optional<std::string>& source_date_epoch);

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_COMMANDS_H_

#include "inventory/session.h"

#include <utility>
#include <vector>

#include "inventory/commands.h"
#include "inventory/period_walk.h"
#include "inventory/reporter.h"

namespace kalvynex {

namespace {

CommandResult run_command(const CommandContext& context) {
  switch (context.options.command) {
    case InventoryCommand::kList:
      return list_periods(context);
    case InventoryCommand::kCheck:
      return check_periods(context);
    case InventoryCommand::kExport:
    case InventoryCommand::kNone:
      break;
  }
  return export_periods(context);
}

}  // namespace

InventoryExit run_session(const InventoryOptions& options, const InventoryEnvironment& env,
                          const SessionSetup& setup, PeriodCatalog& catalog) {
  Reporter reporter(env.err, options.quiet, env.progress);
  Status status = catalog.connect(setup.parameters);
  if (status.ok()) status = catalog.check_table();
  std::vector<ChannelCodes> channels;
  if (status.ok()) status = catalog.find_channels(options.selection, &channels);
  if (!status.ok()) return reporter.database(status, setup.data_source);

  PeriodWalk walk(catalog, options.selection, std::move(channels), reporter);
  const CommandContext context{options, env, setup.output_directory, reporter, walk};
  const CommandResult result = run_command(context);
  reporter.clear_progress();
  if (result.outcome.exit == InventoryExit::kDatabase) {
    return reporter.database(result.outcome.status, setup.data_source);
  }
  if (!result.outcome.is_done()) return result.outcome.exit;
  if (result.periods == 0 && reporter.problems() == 0) {
    reporter.error("nothing matches the selection");
    return InventoryExit::kNothingMatched;
  }
  return reporter.problems() > 0 || result.findings > 0 ? InventoryExit::kProblems
                                                        : InventoryExit::kDone;
}

}  // namespace kalvynex

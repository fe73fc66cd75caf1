#include "inventory/session.h"

#include <cerrno>
#include <cstdio>
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
    case InventoryCommand::kServe:
    case InventoryCommand::kNone:
      break;
  }
  return export_periods(context);
}

InventoryExit run_command_on(const InventoryOptions& options, const InventoryEnvironment& env,
                             const SessionSetup& setup, PeriodCatalog& catalog,
                             Reporter& reporter) {
  // Data for a standard output that was closed at start: the failure is
  // known before a connection is made.
  if (env.out < 0 && writes_standard_output(options, setup.output_directory)) {
    return reporter.output("standard output", file_failure("write", EBADF));
  }
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

}  // namespace

InventoryExit run_session(const InventoryOptions& options, const InventoryEnvironment& env,
                          const SessionSetup& setup, PeriodCatalog& catalog) {
  Reporter reporter(env.err, options.quiet, env.progress);
  const InventoryExit exit = run_command_on(options, env, setup, catalog, reporter);
  // Messages that did not reach the error stream: the caller cannot know
  // what went wrong, so the run failed.
  const bool lost_messages = std::fflush(env.err) != 0 || std::ferror(env.err) != 0;
  return lost_messages && exit < InventoryExit::kOutput ? InventoryExit::kOutput : exit;
}

}  // namespace kalvynex

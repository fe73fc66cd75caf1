// list: one line per selected period, without reading the texts.
#include "inventory/commands.h"
#include "inventory/data_output.h"
#include "inventory/list_writer.h"

namespace kalvynex {

CommandResult list_periods(const CommandContext& context) {
  Reporter& reporter = context.reporter;
  DataStream out(context.env.out);
  ListWriter writer(context.options.list_format);
  const FileStatus opened = out.open("-");
  if (!opened.ok()) {
    CommandResult failed;
    failed.outcome = Outcome::failed(reporter.output("standard output", opened));
    return failed;
  }
  CommandResult result = context.walk.each(false, [&](const CatalogPeriod& p) {
    const FileStatus written = out.write(writer.row(p));
    return written.ok() ? Outcome::done()
                        : Outcome::failed(reporter.output("standard output", written));
  });
  if (!result.outcome.is_done()) return result;
  FileStatus written = out.write(writer.end());
  if (written.ok()) written = out.finish();
  if (!written.ok()) result.outcome = Outcome::failed(reporter.output("standard output", written));
  return result;
}

}  // namespace kalvynex

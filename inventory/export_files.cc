// export -f sac and -f fap: one file per period in a directory, named and
// written as kalvynex writes its output file.
#include "inventory/commands.h"
#include "inventory/data_output.h"
#include "response/output_text.h"

namespace kalvynex {

CommandResult export_files(const CommandContext& context, const std::string& dir) {
  const InventoryOptions& options = context.options;
  const OutputKind kind =
      options.export_format == ExportFormat::kSac ? OutputKind::Sac : OutputKind::Fap;
  const OutputRequest request =
      resolve_output_request(kind, options.type_out ? *options.type_out : "GSE2");
  PeriodFiles files(context.reporter);
  CommandResult result = context.walk.each(true, [&](const CatalogPeriod& p) {
    if (!context.reporter.usable_codes(p)) return Outcome::done();
    if (kind == OutputKind::Sac ? !p.has_sac : !p.has_fap) {
      context.reporter.period(p, kind == OutputKind::Sac ? "no SAC text; skipped"
                                                         : "no FAP text; skipped");
      return Outcome::done();
    }
    CalibrationRecord record = record_of(p);
    const Status read = context.walk.read_texts(&record);
    if (!read.ok()) return Outcome::database(read);
    const std::string name = output_file_name(dir, p.codes, p.startdate, kind);
    return files.add(p, name, to_crlf(build_output_text(record, request)));
  });
  if (result.outcome.is_done()) result.outcome = files.commit();
  return result;
}

}  // namespace kalvynex

// export -f sac and -f fap: one file per period in a directory, named and
// written as kalvynex writes its output file. A period whose file would
// hold a number that is not finite is skipped.
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
  std::string not_finite;
  CommandResult result = context.walk.each_exportable(true, [&](const CatalogPeriod& p) {
    if (kind == OutputKind::Sac ? !p.has_sac : !p.has_fap) {
      context.reporter.period(p, kind == OutputKind::Sac ? "no SAC text; skipped"
                                                         : "no FAP text; skipped");
      return Outcome::done();
    }
    CalibrationRecord record = record_of(p);
    const Status read = context.walk.read_texts(&record);
    if (!read.ok()) return Outcome::database(read);
    const std::string text = build_output_text(record, request, &not_finite);
    if (!not_finite.empty()) {
      context.reporter.period(p, not_finite + "; skipped");
      return Outcome::done();
    }
    const std::string name = output_file_name(dir, p.codes, p.startdate, kind);
    files.add(p, name, to_crlf(text));
    return Outcome::done();
  });
  if (result.outcome.is_done()) result.outcome = files.commit();
  return result;
}

}  // namespace kalvynex

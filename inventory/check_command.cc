// check: the findings of every selected period, one line (or JSON object)
// each. Nothing is written to the database.
#include <vector>

#include "core/string_printf.h"
#include "inventory/commands.h"
#include "inventory/data_output.h"
#include "response/period_check.h"

namespace kalvynex {

namespace {

// The findings as text lines or as one JSON array, written piece by piece.
class FindingsWriter {
 public:
  explicit FindingsWriter(bool json) : json_(json) {}

  std::string add(const Finding& f) {
    const bool first = count_ == 0;
    ++count_;
    if (!json_) return finding_text(f) + "\n";
    return (first ? "[\n  " : ",\n  ") + finding_json(f);
  }

  // What closes the findings of `periods` periods: JSON's array, empty or
  // not, once a period was checked.
  // JSON is a whole array even when nothing was checked.
  std::string end() const {
    if (!json_) return std::string();
    return count_ == 0 ? "[]\n" : "\n]\n";
  }

  std::size_t count() const { return count_; }

 private:
  bool json_;
  std::size_t count_ = 0;
};

}  // namespace

CommandResult check_periods(const CommandContext& context) {
  Reporter& reporter = context.reporter;
  DataStream out(context.env.out);
  PeriodChecker checker(context.options.tolerance_db, context.options.phase_tolerance_deg);
  FindingsWriter writer(context.options.check_format == CheckFormat::kJson);
  std::vector<Finding> findings;
  const FileStatus opened = out.open("-");
  if (!opened.ok()) {
    CommandResult failed;
    failed.outcome = Outcome::failed(reporter.output("standard output", opened));
    return failed;
  }
  CommandResult result = context.walk.each(true, [&](const CatalogPeriod& p) {
    CalibrationRecord record = record_of(p);
    const Status read = context.walk.read_texts(&record);
    if (!read.ok()) return Outcome::database(read);
    findings.clear();
    checker.check(record, &findings);
    std::string text;
    for (const Finding& f : findings) text += writer.add(f);
    const FileStatus written = out.write(text);
    return written.ok() ? Outcome::done()
                        : Outcome::failed(reporter.output("standard output", written));
  });
  result.findings = writer.count();
  if (!result.outcome.is_done()) return result;
  FileStatus written = out.write(writer.end());
  if (written.ok()) written = out.finish();
  if (!written.ok()) {
    result.outcome = Outcome::failed(reporter.output("standard output", written));
    return result;
  }
  if (result.periods > 0) {
    reporter.warning(string_printf("%zu finding%s in %zu period%s", result.findings,
                                   result.findings == 1 ? "" : "s", result.periods,
                                   result.periods == 1 ? "" : "s"));
  }
  return result;
}

}  // namespace kalvynex

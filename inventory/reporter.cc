#include "inventory/reporter.h"

#include <cstring>

#include "core/period_label.h"
#include "core/terminal_text.h"

namespace kalvynex {

const char kInventoryProgram[] = "kalvynex-inventory";

namespace {

// Driver texts may end in a line feed (PostgreSQL's do).
std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  for (char& c : text) {
    if (c == '\n' || c == '\t') c = ' ';
  }
  return text;
}

}  // namespace

Reporter::Reporter(std::FILE* err, bool quiet, bool progress)
    : err_(err), quiet_(quiet), progress_(progress && !quiet), last_progress_(std::time(nullptr)) {}

void Reporter::error(const std::string& text) {
  clear_progress();
  const std::string shown = terminal_text(text);
  std::fprintf(err_, "%s: %s\n", kInventoryProgram, shown.c_str());
}

InventoryExit Reporter::database(const Status& status, const std::string& data_source) {
  std::string text;
  switch (status.stage()) {
    case Stage::kConnect:
      text = "cannot connect to data source '" + data_source + "'";
      break;
    case Stage::kFindTable:
    case Stage::kReadColumns:
      text = status.text() == "NOT FOUND" ? "the database has no table CALIBRATION"
                                          : "cannot look up the table CALIBRATION";
      break;
    case Stage::kMissingColumns:
      text = "the table CALIBRATION lacks the columns " + status.text();
      break;
    case Stage::kLoad:
    case Stage::kNone:
      text = "query failed";
      break;
  }
  if (status.stage() != Stage::kMissingColumns && status.text() != "NOT FOUND") {
    text += ": ";
    if (!status.sqlstate().empty()) text += "[" + status.sqlstate() + "] ";
    text += trimmed(status.text());
  }
  error(text);
  return InventoryExit::kDatabase;
}

InventoryExit Reporter::output(const std::string& path, const FileStatus& status) {
  error("cannot write " + path + " (" + status.step + "): " + std::strerror(status.error_number));
  return InventoryExit::kOutput;
}

void Reporter::period(const CatalogPeriod& p, const std::string& text) {
  ++problems_;
  if (quiet_) return;
  error(period_label(p.codes, p.startdate) + ": " + text);
}

bool Reporter::usable_codes(const CatalogPeriod& p) {
  if (has_usable_codes(p.codes)) return true;
  if (!have_refused_ || !(refused_ == p.codes)) {
    have_refused_ = true;
    refused_ = p.codes;
    period(p, unusable_codes_text(p.codes) + "; channel skipped");
  }
  return false;
}

void Reporter::unreadable_channel(const ChannelCodes& codes) {
  ++problems_;
  if (quiet_) return;
  error(codes.network + "." + codes.sta + "." + codes.location + "." + codes.chan +
        ": no period is found by these codes as the driver gave them (a code cut short at a "
        "NUL byte?); channel skipped");
}

void Reporter::warning(const std::string& text) {
  if (!quiet_) error(text);
}

void Reporter::progress(std::size_t done, std::size_t total, std::size_t periods) {
  if (!progress_) return;
  const std::time_t now = std::time(nullptr);
  if (now == last_progress_) return;
  last_progress_ = now;
  std::fprintf(err_, "\r%s: %zu of %zu channels, %zu periods", kInventoryProgram, done, total,
               periods);
  std::fflush(err_);
  progress_shown_ = true;
}

void Reporter::clear_progress() {
  if (!progress_shown_) return;
  std::fputs("\r\033[K", err_);
  progress_shown_ = false;
}

}  // namespace kalvynex

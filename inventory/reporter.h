// Every message of a kalvynex-inventory run: diagnostics on the error
// stream, prefixed with the program's name; the reports of single periods
// unless quiet (always counted); the progress line on a terminal.
#ifndef KALVYNEX_INVENTORY_REPORTER_H_
#define KALVYNEX_INVENTORY_REPORTER_H_

#include <cstddef>
#include <cstdio>
#include <ctime>
#include <string>

#include "core/file_replace.h"
#include "core/status.h"
#include "db/period_catalog.h"
#include "inventory/inventory.h"

namespace kalvynex {

// The program's name, the prefix of every message.
extern const char kInventoryProgram[];

class Reporter {
 public:
  Reporter(std::FILE* err, bool quiet, bool progress);

  // Every message goes out here, shown as a terminal shows data
  // (terminal_text): codes, driver texts and paths in it can neither start
  // a line nor send the terminal a command.
  void error(const std::string& text);

  // The first period of a channel with an unusable code (see code_problem)
  // reports the channel, once, as a problem; false for every period of that
  // channel. Export skips such a channel: its codes would name files and
  // stand in documents.
  bool usable_codes(const CatalogPeriod& p);

  // Reports a failure of the database; returns kDatabase.
  InventoryExit database(const Status& status, const std::string& data_source);

  // Reports a failure to write `path`; returns kOutput.
  InventoryExit output(const std::string& path, const FileStatus& status);

  // A problem with one period: reported unless quiet, and always counted.
  void period(const CatalogPeriod& p, const std::string& text);

  // A channel that the selection found but whose periods its codes, as
  // read, do not find: a driver that ends a text at a NUL byte (the SQLite
  // driver) gives a code cut short. Reported unless quiet, always counted.
  void unreadable_channel(const ChannelCodes& codes);

  // A remark that is no problem of a period: shown unless quiet.
  void warning(const std::string& text);

  int problems() const { return problems_; }

  // "N of M channels" once a second from the second second on, when the
  // error stream is a terminal: a short run shows none.
  void progress(std::size_t done, std::size_t total, std::size_t periods);

  void clear_progress();

 private:
  std::FILE* err_;
  bool quiet_;
  bool progress_;
  bool progress_shown_ = false;
  std::time_t last_progress_;
  int problems_ = 0;
  bool have_refused_ = false;
  ChannelCodes refused_;  // the channel reported last by usable_codes
};

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_REPORTER_H_

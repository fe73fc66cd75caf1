// kalvynex-inventory's work after the command line: the connection from the
// options and the settings files, the selection, and the list and export
// commands. Every message goes through one reporter, prefixed with the
// program's name, on the error stream; data goes to the output stream.
#ifndef KALVYNEX_INVENTORY_INVENTORY_H_
#define KALVYNEX_INVENTORY_INVENTORY_H_

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "config/settings.h"
#include "db/calibration_source.h"
#include "inventory/options.h"

namespace kalvynex {

// The exit statuses of kalvynex-inventory.
enum class InventoryExit : int {
  kDone = 0,
  kProblems = 1,      // periods skipped or file names that clash
  kUsage = 2,
  kNothingMatched = 3,
  kDatabase = 4,      // connection, table, query
  kOutput = 5,        // a file or standard output could not be written
  kInternal = 70,     // a fault of the program itself (sysexits' EX_SOFTWARE)
  kOutOfMemory = 71,  // memory ran out (sysexits' EX_OSERR: a resource of the system)
};

// What the run takes from the process besides the options.
struct InventoryEnvironment {
  SettingsFiles settings_files;
  std::optional<std::string> password;           // KALVYNEX_PASSWORD
  std::optional<std::string> source_date_epoch;  // SOURCE_DATE_EPOCH
  bool progress = false;  // the error stream is a terminal
  // The descriptor of standard output, where "-" and list and check write;
  // -1 when the process started with it closed, which fails a command that
  // writes there before it connects.
  int out = STDOUT_FILENO;
  std::FILE* err = stderr;
};

// Runs the command of `options` (help and version included). A failed
// write to standard output or to the error stream ends in kOutput.
InventoryExit run_inventory(const InventoryOptions& options, const InventoryEnvironment& env);

// Runs `run`; an exception that escapes it ends the run with its message:
// std::bad_alloc as "out of memory" (kOutOfMemory), anything else as
// "internal error: <what>" (kInternal).
InventoryExit run_guarded(std::FILE* err, const std::function<InventoryExit()>& run);

// Prints a usage error and the hint to --help; returns kUsage.
InventoryExit report_usage_error(std::FILE* err, const std::string& message);

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_INVENTORY_H_

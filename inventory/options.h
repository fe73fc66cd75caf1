// The command line of kalvynex-inventory: a command word and GNU-style
// options, read with getopt_long into one value.
#ifndef KALVYNEX_INVENTORY_OPTIONS_H_
#define KALVYNEX_INVENTORY_OPTIONS_H_

#include <cstddef>
#include <optional>
#include <string>

#include "core/timestamp.h"
#include "inventory/selection_time.h"
#include "inventory/station_query.h"
#include "db/calibration_catalog.h"
#include "response/stationxml_writer.h"

namespace kalvynex {

enum class InventoryCommand { kNone, kList, kExport, kCheck, kServe };
enum class ListFormat { kText, kCsv, kJson };
enum class ExportFormat { kSacPz, kSac, kFap, kStationXml };
enum class CheckFormat { kText, kJson };

struct InventoryOptions {
  InventoryCommand command = InventoryCommand::kNone;
  bool help = false;
  bool version = false;
  bool quiet = false;
  ListFormat list_format = ListFormat::kText;
  ExportFormat export_format = ExportFormat::kSacPz;
  std::optional<std::string> output;    // --output: a file, "-" or a directory
  std::optional<std::string> type_out;  // --type-out, sac and fap only
  std::optional<std::string> stations;  // --stations, sacpz and stationxml only
  GroundUnits units = GroundUnits::kDisplacement;  // --units, stationxml only
  QueryLevel level = QueryLevel::kResponse;         // --level, stationxml only
  CheckFormat check_format = CheckFormat::kText;
  double tolerance_db = 1.0;            // --tolerance, check only
  double phase_tolerance_deg = 5.0;     // --phase-tolerance, check only
  std::string listen = "127.0.0.1:8080";  // --listen, serve only
  int workers = 4;                        // --workers, serve only
  std::optional<std::string> base_url;    // --base-url, serve only
  std::optional<std::string> dsn;
  std::optional<std::string> user;
  std::optional<std::string> password_file;
  CalibrationSelection selection;
};

// The most code patterns a selection may name, in --network, --station,
// --location and --channel together. Each pattern is one parameter of one
// query: the limit keeps the query within what every driver and server
// takes (SQLite's parser refuses an expression about 1,000 terms deep;
// psqlODBC crashes binding some tens of thousands of parameters) and lets
// the server answer in well under a second.
constexpr std::size_t kMaxCodePatterns = 500;

// The most database connections (--workers) serve opens.
constexpr int kMaxServeWorkers = 64;

// Reads the arguments (argument 0 is the program). False with a message in
// *error for a usage error; --help and --version end the reading with true.
// Usage errors include a selection of codes or times given to serve (whose
// requests select), --workers outside 1..kMaxServeWorkers, a --listen that
// is no numeric ADDRESS:PORT, and a selection of more than kMaxCodePatterns code
// patterns and a --start later than --end (equal times are accepted).
bool parse_inventory_options(int argc, char** argv, InventoryOptions* out, std::string* error);

// The --help text.
std::string inventory_usage_text();

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_OPTIONS_H_

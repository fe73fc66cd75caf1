#include "inventory/options.h"

#include <getopt.h>

#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

#include "core/string_printf.h"
#include "core/timestamp.h"
#include "inventory/code_patterns.h"
#include "inventory/http_service.h"
#include "inventory/selection_time.h"

namespace kalvynex {

namespace {

constexpr int kTimeOption = 1000;
constexpr int kStartOption = 1001;
constexpr int kEndOption = 1002;
constexpr int kDsnOption = 1003;
constexpr int kUserOption = 1004;
constexpr int kPasswordFileOption = 1005;
constexpr int kStationsOption = 1006;
constexpr int kToleranceOption = 1007;
constexpr int kPhaseToleranceOption = 1020;
constexpr int kUnitsOption = 1021;
constexpr int kLevelOption = 1022;
constexpr int kListenOption = 1023;
constexpr int kWorkersOption = 1024;
constexpr int kBaseUrlOption = 1025;

}  // namespace

bool parse_inventory_options(int argc, char** argv, InventoryOptions* out, std::string* error) {
  *out = InventoryOptions();
  static const option kLongOptions[] = {
      {"network", required_argument, nullptr, 'n'},
      {"station", required_argument, nullptr, 's'},
      {"location", required_argument, nullptr, 'l'},
      {"channel", required_argument, nullptr, 'c'},
      {"time", required_argument, nullptr, kTimeOption},
      {"start", required_argument, nullptr, kStartOption},
      {"end", required_argument, nullptr, kEndOption},
      {"format", required_argument, nullptr, 'f'},
      {"output", required_argument, nullptr, 'o'},
      {"type-out", required_argument, nullptr, 't'},
      {"dsn", required_argument, nullptr, kDsnOption},
      {"user", required_argument, nullptr, kUserOption},
      {"password-file", required_argument, nullptr, kPasswordFileOption},
      {"stations", required_argument, nullptr, kStationsOption},
      {"tolerance", required_argument, nullptr, kToleranceOption},
      {"phase-tolerance", required_argument, nullptr, kPhaseToleranceOption},
      {"units", required_argument, nullptr, kUnitsOption},
      {"level", required_argument, nullptr, kLevelOption},
      {"listen", required_argument, nullptr, kListenOption},
      {"workers", required_argument, nullptr, kWorkersOption},
      {"base-url", required_argument, nullptr, kBaseUrlOption},
      {"quiet", no_argument, nullptr, 'q'},
      {"help", no_argument, nullptr, 'h'},
      {"version", no_argument, nullptr, 'V'},
      {nullptr, 0, nullptr, 0},
  };
  // getopt_long takes any unambiguous prefix of a long option, so that
  // "--password VALUE" would name a password file: refuse every spelling of
  // a password option other than --password-file itself.
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--") break;
    const std::string name = word.substr(0, word.find('='));
    if (name.size() > 3 && name.compare(0, 4, "--pa") == 0 && name != "--password-file") {
      *error = "unknown option '" + name +
               "' (the password comes from --password-file or KALVYNEX_PASSWORD)";
      return false;
    }
  }
  std::optional<std::string> format;
  std::optional<std::string> units;
  std::optional<std::string> level;
  std::optional<std::string> tolerance;
  std::optional<std::string> phase_tolerance;
  std::optional<std::string> listen;
  std::optional<std::string> workers;
  std::string start_text;
  std::string end_text;
  // getopt_long keeps its position in globals: start afresh, and let this
  // function word every message.
  optind = 0;
  opterr = 0;
  for (;;) {
    const int c = getopt_long(argc, argv, ":n:s:l:c:f:o:t:qhV", kLongOptions, nullptr);
    if (c == -1) break;
    const std::string value = optarg != nullptr ? optarg : "";
    std::vector<std::string>* codes = nullptr;
    Timestamp time;
    switch (c) {
      case 'n': codes = &out->selection.networks; break;
      case 's': codes = &out->selection.stations; break;
      case 'l': codes = &out->selection.locations; break;
      case 'c': codes = &out->selection.channels; break;
      case kTimeOption:
      case kStartOption:
      case kEndOption:
        if (!parse_selection_time(value, &time)) {
          *error = "invalid time '" + value +
                   "' (use YYYY-MM-DD or YYYY-MM-DDThh:mm[:ss[.ffffff]][Z], a blank allowed for the T)";
          return false;
        }
        (c == kTimeOption    ? out->selection.valid_at
         : c == kStartOption ? out->selection.window_start
                             : out->selection.window_end) = time;
        (c == kStartOption ? start_text : end_text) = value;
        break;
      case 'f': format = value; break;
      case 'o': out->output = value; break;
      case 't': out->type_out = value; break;
      case kDsnOption: out->dsn = value; break;
      case kUserOption: out->user = value; break;
      case kPasswordFileOption: out->password_file = value; break;
      case kStationsOption: out->stations = value; break;
      case kToleranceOption: tolerance = value; break;
      case kPhaseToleranceOption: phase_tolerance = value; break;
      case kUnitsOption: units = value; break;
      case kLevelOption: level = value; break;
      case kListenOption: listen = value; break;
      case kWorkersOption: workers = value; break;
      case kBaseUrlOption: out->base_url = value; break;
      case 'q': out->quiet = true; break;
      case 'h': out->help = true; return true;
      case 'V': out->version = true; return true;
      case ':':
        *error = std::string("option '") + argv[optind - 1] + "' needs a value";
        return false;
      default: {
        const std::string word = optopt != 0 ? std::string("-") + static_cast<char>(optopt)
                                             : std::string(argv[optind - 1]);
        *error = "unknown option '" + word + "'";
        return false;
      }
    }
    if (codes != nullptr && !split_code_patterns(value, codes)) {
      *error = "empty code in '" + value + "' (name the empty location as --)";
      return false;
    }
  }

  const CalibrationSelection& selection = out->selection;
  const std::size_t patterns = code_pattern_count(selection);
  if (patterns > kMaxCodePatterns) {
    *error = string_printf(
        "%zu code patterns in the selection; at most %zu are allowed in --network, "
        "--station, --location and --channel together (use the wildcards * and ?)",
        patterns, kMaxCodePatterns);
    return false;
  }
  if (selection.window_start && selection.window_end &&
      std::make_pair(timestamp_seconds(*selection.window_start), selection.window_start->fraction) >
          std::make_pair(timestamp_seconds(*selection.window_end), selection.window_end->fraction)) {
    *error = "--start '" + start_text + "' is after --end '" + end_text + "'";
    return false;
  }

  if (optind >= argc) {
    *error = "no command given (list, export, check or serve)";
    return false;
  }
  const std::string command = argv[optind];
  if (optind + 1 < argc) {
    *error = std::string("unexpected argument '") + argv[optind + 1] + "'";
    return false;
  }
  if ((listen || workers || out->base_url) && command != "serve") {
    *error = std::string(listen ? "--listen" : workers ? "--workers" : "--base-url") +
             " belongs to serve";
    return false;
  }
  if (out->stations && command != "export" && command != "serve") {
    *error = "--stations belongs to export --format sacpz or stationxml, and to serve";
    return false;
  }
  if (level && command != "export") {
    *error = "--level belongs to export --format stationxml";
    return false;
  }
  if (units && command != "export") {
    *error = "--units belongs to export --format stationxml";
    return false;
  }
  if (tolerance && command != "check") {
    *error = "--tolerance belongs to check";
    return false;
  }
  if (phase_tolerance && command != "check") {
    *error = "--phase-tolerance belongs to check";
    return false;
  }
  if (command == "serve") {
    out->command = InventoryCommand::kServe;
    if (patterns > 0 || selection.valid_at || selection.window_start || selection.window_end) {
      *error = "serve: the requests select; -n, -s, -l, -c, --time, --start and --end "
               "belong to list, export and check";
      return false;
    }
    if (format || out->output || out->type_out) {
      *error = "serve: --format, --output and --type-out belong to list, export and check";
      return false;
    }
    if (listen) {
      ListenAddress address;
      if (!parse_listen_address(*listen, &address, error)) {
        *error = "serve: " + *error;
        return false;
      }
      out->listen = *listen;
    }
    if (workers) {
      const bool digits = !workers->empty() && workers->size() <= 2 &&
                          workers->find_first_not_of("0123456789") == std::string::npos;
      const int count = digits ? static_cast<int>(std::strtol(workers->c_str(), nullptr, 10)) : 0;
      if (count < 1 || count > kMaxServeWorkers) {
        *error = string_printf("serve: invalid --workers '%s' (a number from 1 to %d)",
                               workers->c_str(), kMaxServeWorkers);
        return false;
      }
      out->workers = count;
    }
    return true;
  }
  if (command == "list") {
    out->command = InventoryCommand::kList;
    if (!format || *format == "text") {
      out->list_format = ListFormat::kText;
    } else if (*format == "csv") {
      out->list_format = ListFormat::kCsv;
    } else if (*format == "json") {
      out->list_format = ListFormat::kJson;
    } else {
      *error = "list: unknown format '" + *format + "' (text, csv or json)";
      return false;
    }
    if (out->output || out->type_out) {
      *error = "list writes to standard output; --output and --type-out belong to export";
      return false;
    }
  } else if (command == "check") {
    out->command = InventoryCommand::kCheck;
    if (!format || *format == "text") {
      out->check_format = CheckFormat::kText;
    } else if (*format == "json") {
      out->check_format = CheckFormat::kJson;
    } else {
      *error = "check: unknown format '" + *format + "' (text or json)";
      return false;
    }
    if (out->output || out->type_out) {
      *error = "check writes to standard output; --output and --type-out belong to export";
      return false;
    }
    if (tolerance) {
      char* end = nullptr;
      const double db = std::strtod(tolerance->c_str(), &end);
      if (tolerance->empty() || *end != '\0' || !std::isfinite(db) || db < 0.0) {
        *error = "check: invalid tolerance '" + *tolerance + "' (a number of dB, 0 or more)";
        return false;
      }
      out->tolerance_db = db;
    }
    if (phase_tolerance) {
      char* end = nullptr;
      const double degrees = std::strtod(phase_tolerance->c_str(), &end);
      if (phase_tolerance->empty() || *end != '\0' || !std::isfinite(degrees) || degrees < 0.0) {
        *error = "check: invalid phase tolerance '" + *phase_tolerance +
                 "' (a number of degrees, 0 or more)";
        return false;
      }
      out->phase_tolerance_deg = degrees;
    }
  } else if (command == "export") {
    out->command = InventoryCommand::kExport;
    if (!format) {
      *error = "export: --format is required (sacpz, sac, fap or stationxml)";
      return false;
    }
    if (*format == "sacpz") {
      out->export_format = ExportFormat::kSacPz;
    } else if (*format == "sac") {
      out->export_format = ExportFormat::kSac;
    } else if (*format == "fap") {
      out->export_format = ExportFormat::kFap;
    } else if (*format == "stationxml") {
      out->export_format = ExportFormat::kStationXml;
    } else {
      *error = "export: unknown format '" + *format + "' (sacpz, sac, fap or stationxml)";
      return false;
    }
    if (units && out->export_format != ExportFormat::kStationXml) {
      *error = "export: --units applies to the stationxml format only";
      return false;
    }
    if (!units || *units == "displacement") {
      out->units = GroundUnits::kDisplacement;
    } else if (*units == "velocity") {
      out->units = GroundUnits::kVelocity;
    } else if (*units == "acceleration") {
      out->units = GroundUnits::kAcceleration;
    } else {
      *error = "export: unknown units '" + *units + "' (displacement, velocity or acceleration)";
      return false;
    }
    if (level && out->export_format != ExportFormat::kStationXml) {
      *error = "export: --level applies to the stationxml format only";
      return false;
    }
    if (!level || *level == "response") {
      out->level = QueryLevel::kResponse;
    } else if (*level == "channel") {
      out->level = QueryLevel::kChannel;
    } else if (*level == "station") {
      out->level = QueryLevel::kStation;
    } else if (*level == "network") {
      out->level = QueryLevel::kNetwork;
    } else {
      *error = "export: unknown level '" + *level + "' (network, station, channel or response)";
      return false;
    }
    if (out->stations && out->export_format != ExportFormat::kStationXml &&
        out->export_format != ExportFormat::kSacPz) {
      *error = "export: --stations applies to the sacpz and stationxml formats only";
      return false;
    }
    if (out->type_out && (out->export_format == ExportFormat::kSacPz ||
                          out->export_format == ExportFormat::kStationXml)) {
      *error = "export: --type-out applies to the sac and fap formats only";
      return false;
    }
  } else {
    *error = "unknown command '" + command + "' (list, export, check or serve)";
    return false;
  }
  return true;
}

}  // namespace kalvynex

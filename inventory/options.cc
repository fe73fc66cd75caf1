#include "inventory/options.h"

#include <getopt.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/timestamp.h"

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

int days_in_month(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap_year(year) ? 29 : kDays[month - 1];
}

bool all_digits(const std::string& text, std::size_t begin, std::size_t count) {
  for (std::size_t i = begin; i < begin + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

int number_at(const std::string& text, std::size_t begin, std::size_t count) {
  return std::stoi(text.substr(begin, count));
}

// "A,B,C" into its items; false when an item is empty.
bool split_codes(const std::string& list, std::vector<std::string>* out) {
  std::size_t begin = 0;
  for (;;) {
    const std::size_t comma = list.find(',', begin);
    const std::string item =
        list.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
    if (item.empty()) return false;
    out->push_back(item);
    if (comma == std::string::npos) return true;
    begin = comma + 1;
  }
}

}  // namespace

bool parse_selection_time(const std::string& text, Timestamp* out) {
  const bool date_only = text.size() == 10;
  if (!date_only && text.size() != 19) return false;
  if (!all_digits(text, 0, 4) || text[4] != '-' || !all_digits(text, 5, 2) || text[7] != '-' ||
      !all_digits(text, 8, 2)) {
    return false;
  }
  int hour = 0;
  int minute = 0;
  int second = 0;
  if (!date_only) {
    if ((text[10] != 'T' && text[10] != ' ') || !all_digits(text, 11, 2) || text[13] != ':' ||
        !all_digits(text, 14, 2) || text[16] != ':' || !all_digits(text, 17, 2)) {
      return false;
    }
    hour = number_at(text, 11, 2);
    minute = number_at(text, 14, 2);
    second = number_at(text, 17, 2);
  }
  const int year = number_at(text, 0, 4);
  const int month = number_at(text, 5, 2);
  const int day = number_at(text, 8, 2);
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > days_in_month(year, month) ||
      hour > 23 || minute > 59 || second > 59) {
    return false;
  }
  *out = Timestamp::at(year, month, day, hour, minute, second);
  return true;
}

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
    if (name.size() > 3 && name.compare(0, 3, "--p") == 0 && name != "--password-file") {
      *error = "unknown option '" + name +
               "' (the password comes from --password-file or KALVYNEX_PASSWORD)";
      return false;
    }
  }
  std::optional<std::string> format;
  std::optional<std::string> tolerance;
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
                   "' (use YYYY-MM-DD, YYYY-MM-DDTHH:MM:SS or YYYY-MM-DD HH:MM:SS)";
          return false;
        }
        (c == kTimeOption    ? out->selection.valid_at
         : c == kStartOption ? out->selection.window_start
                             : out->selection.window_end) = time;
        break;
      case 'f': format = value; break;
      case 'o': out->output = value; break;
      case 't': out->type_out = value; break;
      case kDsnOption: out->dsn = value; break;
      case kUserOption: out->user = value; break;
      case kPasswordFileOption: out->password_file = value; break;
      case kStationsOption: out->stations = value; break;
      case kToleranceOption: tolerance = value; break;
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
    if (codes != nullptr && !split_codes(value, codes)) {
      *error = "empty code in '" + value + "' (name the empty location as --)";
      return false;
    }
  }

  if (optind >= argc) {
    *error = "no command given (list, export or check)";
    return false;
  }
  const std::string command = argv[optind];
  if (optind + 1 < argc) {
    *error = std::string("unexpected argument '") + argv[optind + 1] + "'";
    return false;
  }
  if (out->stations && command != "export") {
    *error = "--stations belongs to export --format stationxml";
    return false;
  }
  if (tolerance && command != "check") {
    *error = "--tolerance belongs to check";
    return false;
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
    if (out->stations && out->export_format != ExportFormat::kStationXml) {
      *error = "export: --stations applies to the stationxml format only";
      return false;
    }
    if (out->type_out && (out->export_format == ExportFormat::kSacPz ||
                          out->export_format == ExportFormat::kStationXml)) {
      *error = "export: --type-out applies to the sac and fap formats only";
      return false;
    }
  } else {
    *error = "unknown command '" + command + "' (list, export or check)";
    return false;
  }
  return true;
}

std::string inventory_usage_text() {
  return "Usage: kalvynex-inventory COMMAND [OPTIONS]\n"
         "Lists and exports the calibrations of the table CALIBRATION.\n"
         "\n"
         "Commands:\n"
         "  list    one line per calibration period: codes, start, end, SAC and FAP\n"
         "  export  writes the responses of the selected periods\n"
         "  check   reports what is wrong with the selected periods; writes nothing\n"
         "\n"
         "Selection (codes: comma-separated lists with * and ? wildcards):\n"
         "  -n, --network=CODES    network codes\n"
         "  -s, --station=CODES    station codes\n"
         "  -l, --location=CODES   location codes; -- names the empty location\n"
         "  -c, --channel=CODES    channel codes\n"
         "      --time=T           periods valid at T\n"
         "      --start=T          periods that end at T or later\n"
         "      --end=T            periods that start at T or earlier\n"
         "  T is YYYY-MM-DD, YYYY-MM-DDTHH:MM:SS or YYYY-MM-DD HH:MM:SS.\n"
         "\n"
         "Output:\n"
         "  -f, --format=FORMAT    list: text (default), csv or json;\n"
         "                         export: sacpz, sac, fap or stationxml (required);\n"
         "                         check: text (default) or json\n"
         "  -o, --output=PATH      export: a file, - (standard output) or an existing\n"
         "                         directory (one file per period); sacpz and\n"
         "                         stationxml go to standard output by default,\n"
         "                         sac and fap to the output directory of the settings\n"
         "  -t, --type-out=TYPE    export sac and fap: the form TYPE_OUT names\n"
         "                         (GSE2, QEV or kind,direction,order; default GSE2)\n"
         "      --stations=FILE    export stationxml: station coordinates, CSV lines of\n"
         "                         network,station,latitude,longitude,elevation[,site]\n"
         "      --tolerance=DB     check: largest accepted difference between the SAC\n"
         "                         and FAP amplitudes, in dB (default 1)\n"
         "\n"
         "Connection (what is not given comes from kalvynex.ini and qev.ini):\n"
         "      --dsn=NAME         ODBC data source\n"
         "      --user=NAME        database user\n"
         "      --password-file=FILE  the password is the file's first line\n"
         "  The password may also come from the environment variable KALVYNEX_PASSWORD.\n"
         "\n"
         "  -q, --quiet            no progress line and no per-period warnings\n"
         "  -h, --help             this text\n"
         "  -V, --version          the version\n"
         "\n"
         "Exit status: 0 done; 1 check found problems, or periods skipped or file name\n"
         "clashes (reported on standard error); 2 usage error; 3 nothing matched the\n"
         "selection; 4 database error; 5 output error.\n";
}

}  // namespace kalvynex

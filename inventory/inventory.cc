#include "inventory/inventory.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <set>
#include <vector>

#include "config/station_file.h"
#include "core/calibration_record.h"
#include "core/string_printf.h"
#include "db/calibration_catalog.h"
#include "inventory/batch_files.h"
#include "inventory/stream_file.h"
#include "response/fap_text.h"
#include "response/output_text.h"
#include "response/period_check.h"
#include "response/pole_zero.h"
#include "response/sacpz_text.h"
#include "response/stationxml_writer.h"

namespace kalvynex {

namespace {

constexpr char kProgram[] = "kalvynex-inventory";

// Every message of a run: diagnostics on the error stream, prefixed with the
// program's name; warnings about single periods unless quiet.
class Reporter {
 public:
  Reporter(std::FILE* err, bool quiet, bool progress)
      : err_(err), quiet_(quiet), progress_(progress && !quiet), last_progress_(std::time(nullptr)) {}

  void error(const std::string& text) {
    clear_progress();
    std::fprintf(err_, "%s: %s\n", kProgram, text.c_str());
  }

  InventoryExit database(const Status& status, const std::string& data_source) {
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

  InventoryExit output(const std::string& path, const FileStatus& status) {
    error("cannot write " + path + " (" + status.step + "): " + std::strerror(status.error_number));
    return InventoryExit::kOutput;
  }

  // A problem with one period: reported unless quiet, and always counted.
  void period(const CatalogPeriod& p, const std::string& text) {
    ++problems_;
    if (quiet_) return;
    error(period_label(p) + ": " + text);
  }

  // A remark that is no problem of a period: shown unless quiet.
  void warning(const std::string& text) {
    if (!quiet_) error(text);
  }

  int problems() const { return problems_; }

  // "N of M channels" once a second from the second second on, when the
  // error stream is a terminal: a short run shows none.
  void progress(std::size_t done, std::size_t total, std::size_t periods) {
    if (!progress_) return;
    const std::time_t now = std::time(nullptr);
    if (now == last_progress_) return;
    last_progress_ = now;
    std::fprintf(err_, "\r%s: %zu of %zu channels, %zu periods", kProgram, done, total, periods);
    std::fflush(err_);
    progress_shown_ = true;
  }

  void clear_progress() {
    if (!progress_shown_) return;
    std::fputs("\r\033[K", err_);
    progress_shown_ = false;
  }

  static std::string period_label(const CatalogPeriod& p) {
    return p.codes.network + "." + p.codes.sta + "." + p.codes.location + "." + p.codes.chan +
           " " + sacpz_time(p.startdate);
  }

 private:
  // Driver texts may end in a line feed (PostgreSQL's do).
  static std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    for (char& c : text) {
      if (c == '\n' || c == '\t') c = ' ';
    }
    return text;
  }

  std::FILE* err_;
  bool quiet_;
  bool progress_;
  bool progress_shown_ = false;
  std::time_t last_progress_;
  int problems_ = 0;
};

// Where the data of a command goes: standard output or one file, written
// as the rows stream.
class DataStream {
 public:
  explicit DataStream(std::FILE* out) : out_(out) {}

  FileStatus open(const std::string& path) {
    if (path == "-") return FileStatus();
    to_file_ = true;
    return file_.open(path);
  }
  FileStatus write(const std::string& piece) {
    if (to_file_) return file_.write(piece);
    if (!piece.empty() && std::fwrite(piece.data(), 1, piece.size(), out_) != piece.size()) {
      return failed_stdout();
    }
    return FileStatus();
  }
  FileStatus finish() {
    if (to_file_) return file_.commit();
    if (std::fflush(out_) != 0 || std::ferror(out_)) return failed_stdout();
    return FileStatus();
  }

 private:
  static FileStatus failed_stdout() {
    FileStatus status;
    status.error_number = errno != 0 ? errno : EIO;
    status.step = "write";
    return status;
  }

  std::FILE* out_;
  bool to_file_ = false;
  StreamFile file_;
};

bool is_directory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The creation time of a document: SOURCE_DATE_EPOCH when set to a number,
// else now.
std::time_t created_epoch(const std::optional<std::string>& source_date_epoch) {
  std::time_t t = std::time(nullptr);
  if (source_date_epoch && !source_date_epoch->empty()) {
    char* end = nullptr;
    const long long value = std::strtoll(source_date_epoch->c_str(), &end, 10);
    if (*end == '\0' && value >= 0) t = static_cast<std::time_t>(value);
  }
  return t;
}

// The CREATED time of a sacpz export.
std::string created_time(const std::optional<std::string>& source_date_epoch) {
  const std::time_t t = created_epoch(source_date_epoch);
  std::tm utc{};
  gmtime_r(&t, &utc);
  return string_printf("%04d-%02d-%02dT%02d:%02d:%02d", utc.tm_year + 1900, utc.tm_mon + 1,
                       utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
}

std::string csv_field(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string quoted = "\"";
  for (const char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string json_string(const std::string& value) {
  std::string text = "\"";
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (byte < 0x20) {
      text += string_printf("\\u%04x", byte);
    } else {
      text += c;
    }
  }
  return text + "\"";
}

// The text of one period for `list`.
std::string list_line(ListFormat format, const CatalogPeriod& p, bool first) {
  const std::string start = sacpz_time(p.startdate);
  const bool open = is_open_end(p.enddate);
  const std::string end = open ? std::string() : sacpz_time(p.enddate);
  const char* sac = p.has_sac ? "yes" : "no";
  const char* fap = p.has_fap ? "yes" : "no";
  switch (format) {
    case ListFormat::kText:
      return string_printf("%-7s %-7s %-8s %-7s %-19s %-19s %-3s %s\n", p.codes.network.c_str(),
                           p.codes.sta.c_str(), p.codes.location.c_str(), p.codes.chan.c_str(),
                           start.c_str(), end.c_str(), sac, fap);
    case ListFormat::kCsv:
      return csv_field(p.codes.network) + "," + csv_field(p.codes.sta) + "," +
             csv_field(p.codes.location) + "," + csv_field(p.codes.chan) + "," + start + "," +
             end + "," + sac + "," + fap + "\r\n";
    case ListFormat::kJson:
      return std::string(first ? "[\n" : ",\n") + "  {\"network\": " +
             json_string(p.codes.network) + ", \"station\": " + json_string(p.codes.sta) +
             ", \"location\": " + json_string(p.codes.location) +
             ", \"channel\": " + json_string(p.codes.chan) + ", \"start\": \"" + start +
             "\", \"end\": " + (open ? std::string("null") : "\"" + end + "\"") +
             ", \"sac\": " + (p.has_sac ? "true" : "false") +
             ", \"fap\": " + (p.has_fap ? "true" : "false") + "}";
  }
  return std::string();
}

std::string list_header(ListFormat format) {
  switch (format) {
    case ListFormat::kText:
      return string_printf("%-7s %-7s %-8s %-7s %-19s %-19s %-3s %s\n", "NETWORK", "STATION",
                           "LOCATION", "CHANNEL", "START", "END", "SAC", "FAP");
    case ListFormat::kCsv:
      return "NETWORK,STATION,LOCATION,CHANNEL,START,END,SAC,FAP\r\n";
    case ListFormat::kJson:
      return std::string();
  }
  return std::string();
}

// The name of one period's sacpz file in a directory.
std::string sacpz_file_name(const std::string& dir, const CatalogPeriod& p) {
  std::string name = dir;
  if (!name.empty() && name.back() != '/') name += '/';
  return name + "SAC_PZs_" + p.codes.network + "_" + p.codes.sta + "_" + p.codes.chan + "_" +
         (p.codes.location.empty() ? std::string("--") : p.codes.location) + "_" +
         sacpz_time(p.startdate);
}

// One command over the selected periods, channel by channel.
class Session {
 public:
  Session(const InventoryOptions& options, const InventoryEnvironment& env)
      : options_(options), env_(env), reporter_(env.err, options.quiet, env.progress) {}

  InventoryExit run() {
    const std::string data_source = connect_settings();
    if (!password_ok_) return InventoryExit::kUsage;
    Status status = catalog_.connect(parameters_);
    if (!status.ok()) return reporter_.database(status, data_source);
    status = catalog_.check_table();
    if (!status.ok()) return reporter_.database(status, data_source);
    status = catalog_.find_channels(options_.selection, &channels_);
    if (!status.ok()) return reporter_.database(status, data_source);

    InventoryExit result = options_.command == InventoryCommand::kList    ? list()
                           : options_.command == InventoryCommand::kCheck ? check()
                                                                          : export_all();
    reporter_.clear_progress();
    if (result == InventoryExit::kDatabase) return reporter_.database(last_status_, data_source);
    if (result != InventoryExit::kDone) return result;
    if (periods_ == 0) {
      reporter_.error("nothing matches the selection");
      return InventoryExit::kNothingMatched;
    }
    return reporter_.problems() > 0 || findings_ > 0 ? InventoryExit::kProblems
                                                     : InventoryExit::kDone;
  }

 private:
  // Builds the connection from the options, the password source and the
  // settings files; returns the data source name.
  std::string connect_settings() {
    ArgumentList args = {kProgram};
    if (options_.dsn) args.push_back("ODBC=" + *options_.dsn);
    if (options_.user) args.push_back("USER=" + *options_.user);
    std::optional<std::string> password = env_.password;
    if (options_.password_file) {
      std::ifstream in(*options_.password_file);
      std::string line;
      if (!in || (!std::getline(in, line) && !in.eof())) {
        reporter_.error("cannot read the password file " + *options_.password_file);
        password_ok_ = false;
        return std::string();
      }
      if (!line.empty() && line.back() == '\r') line.pop_back();
      password = line;
    }
    if (password) args.push_back("PASSWORD=" + *password);
    settings_ = gather_settings(args, env_.settings_files);
    parameters_ = inventory_connection_parameters(settings_.database);
    return settings_.database.odbc;
  }

  // Runs `visit` for every selected period, channel after channel; stops at
  // the first result other than kDone.
  template <typename Visit>
  InventoryExit for_each_period(bool with_texts, Visit visit) {
    for (std::size_t i = 0; i < channels_.size(); ++i) {
      reporter_.progress(i, channels_.size(), periods_);
      Status status = catalog_.open_periods(channels_[i], options_.selection, with_texts);
      for (;;) {
        if (!status.ok()) {
          last_status_ = status;
          return InventoryExit::kDatabase;
        }
        CatalogPeriod period;
        bool found = false;
        status = catalog_.next_period(&period, &found);
        if (!status.ok()) continue;
        if (!found) break;
        ++periods_;
        const InventoryExit result = visit(period);
        if (result != InventoryExit::kDone) return result;
      }
      channel_done();
    }
    return InventoryExit::kDone;
  }

  void channel_done() { names_.clear(); }

  InventoryExit list() {
    DataStream out(env_.out);
    const ListFormat format = options_.list_format;
    InventoryExit result = for_each_period(false, [&](const CatalogPeriod& p) {
      std::string text = periods_ == 1 ? list_header(format) : std::string();
      text += list_line(format, p, periods_ == 1);
      const FileStatus written = out.write(text);
      return written.ok() ? InventoryExit::kDone : reporter_.output("standard output", written);
    });
    if (result != InventoryExit::kDone) return result;
    if (format == ListFormat::kJson && periods_ > 0) {
      const FileStatus written = out.write("\n]\n");
      if (!written.ok()) return reporter_.output("standard output", written);
    }
    const FileStatus finished = out.finish();
    return finished.ok() ? InventoryExit::kDone : reporter_.output("standard output", finished);
  }

  // Reads the period's texts; false after a database failure.
  bool read_texts(CalibrationRecord* record) {
    last_status_ = catalog_.read_texts(&record->sac, &record->fap);
    return last_status_.ok();
  }

  // Reports a name that an earlier period of the channel wrote in this run.
  void note_clash(const CatalogPeriod& p, const std::string& name) {
    if (!names_.insert(name).second) {
      reporter_.period(p, "file " + name + " also holds an earlier period; written over");
    }
  }

  InventoryExit export_all() {
    const std::string output =
        options_.output ? *options_.output
                        : (options_.export_format == ExportFormat::kSacPz ||
                                   options_.export_format == ExportFormat::kStationXml
                               ? std::string("-")
                               : settings_.output_directory);
    const bool directory = output != "-" && is_directory(output);
    if (options_.export_format == ExportFormat::kStationXml) {
      if (directory) {
        reporter_.error("stationxml writes one document: " + output + " is a directory");
        return InventoryExit::kOutput;
      }
      return export_stationxml(output);
    }
    if (options_.export_format != ExportFormat::kSacPz) {
      if (!directory) {
        reporter_.error("sac and fap write one file per period: " + output +
                        " is not an existing directory");
        return InventoryExit::kOutput;
      }
      return export_files(output);
    }
    return export_sacpz(output, directory);
  }

  InventoryExit export_files(const std::string& dir) {
    const OutputKind kind =
        options_.export_format == ExportFormat::kSac ? OutputKind::Sac : OutputKind::Fap;
    const OutputRequest request =
        resolve_output_request(kind, options_.type_out ? *options_.type_out : "GSE2");
    const InventoryExit result = for_each_period(true, [&](const CatalogPeriod& p) {
      if (kind == OutputKind::Sac ? !p.has_sac : !p.has_fap) {
        reporter_.period(p, kind == OutputKind::Sac ? "no SAC text; skipped"
                                                    : "no FAP text; skipped");
        return InventoryExit::kDone;
      }
      CalibrationRecord record = to_record(p);
      if (!read_texts(&record)) return InventoryExit::kDatabase;
      const std::string name = output_file_name(dir, p.codes, p.startdate, kind);
      note_clash(p, name);
      return add_file(name, to_crlf(build_output_text(record, request)));
    });
    return result != InventoryExit::kDone ? result : commit_files();
  }

  InventoryExit add_file(const std::string& name, const std::string& contents) {
    std::string failed;
    const FileStatus written = files_.add(name, contents, &failed);
    return written.ok() ? InventoryExit::kDone : reporter_.output(failed, written);
  }

  InventoryExit commit_files() {
    std::string failed;
    const FileStatus written = files_.commit(&failed);
    return written.ok() ? InventoryExit::kDone : reporter_.output(failed, written);
  }

  InventoryExit export_sacpz(const std::string& output, bool directory) {
    const std::string created = created_time(env_.source_date_epoch);
    DataStream stream(env_.out);
    if (!directory) {
      const FileStatus opened = stream.open(output);
      if (!opened.ok()) return reporter_.output(output, opened);
    }
    const std::string stream_name = output == "-" ? "standard output" : output;
    InventoryExit result = for_each_period(true, [&](const CatalogPeriod& p) {
      if (!p.has_sac) {
        reporter_.period(p, "no SAC text; skipped");
        return InventoryExit::kDone;
      }
      CalibrationRecord& record = record_;
      if (!read_texts(&record)) return InventoryExit::kDatabase;
      PoleZeroResponse& response = response_;
      std::vector<PoleZeroProblem> problems;
      if (!parse_pole_zero(record.sac, &response, &problems)) {
        reporter_.period(p, string_printf("SAC text line %d: %s; skipped", problems[0].line,
                                          problems[0].reason.c_str()));
        return InventoryExit::kDone;
      }
      SacPzPeriod period;
      period.codes = p.codes;
      period.start = p.startdate;
      period.end = p.enddate;
      period.created = created;
      const std::string text = build_sacpz_text(period, response);
      if (directory) {
        const std::string name = sacpz_file_name(output, p);
        note_clash(p, name);
        return add_file(name, text);
      }
      const FileStatus written = stream.write(text);
      return written.ok() ? InventoryExit::kDone : reporter_.output(stream_name, written);
    });
    if (result != InventoryExit::kDone) return result;
    if (directory) return commit_files();
    // Nothing written: no empty file takes the name.
    if (periods_ == 0) return InventoryExit::kDone;
    const FileStatus finished = stream.finish();
    return finished.ok() ? InventoryExit::kDone : reporter_.output(stream_name, finished);
  }

  // One StationXML document of every selected period, written as the rows
  // come: only the current period's texts and response are in memory.
  InventoryExit export_stationxml(const std::string& output) {
    StationPlaces places;
    if (options_.stations) {
      std::ifstream in(*options_.stations, std::ios::binary);
      std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::string why;
      if (!in.good() && !in.eof()) {
        reporter_.error("cannot read the stations file " + *options_.stations);
        return InventoryExit::kUsage;
      }
      if (!parse_station_file(text, &places, &why)) {
        reporter_.error("stations file " + *options_.stations + ": " + why);
        return InventoryExit::kUsage;
      }
    }
    DataStream stream(env_.out);
    const std::string stream_name = output == "-" ? "standard output" : output;
    FileStatus sink_status;
    std::string chunk;  // one buffer for every piece libxml2 hands over
    StationXmlWriter writer([&stream, &sink_status, &chunk](const char* data, std::size_t size) {
      chunk.assign(data, size);
      sink_status = stream.write(chunk);
      return sink_status.ok();
    });
    auto write_failed = [&]() {
      if (sink_status.ok()) {  // the writer itself failed: out of memory
        sink_status.error_number = ENOMEM;
        sink_status.step = "write";
      }
      return reporter_.output(stream_name, sink_status);
    };
    bool begun = false;
    std::string station_key;
    StationPlace place;
    const StationPlace unknown;
    InventoryExit result = for_each_period(true, [&](const CatalogPeriod& p) {
      const bool open = is_open_end(p.enddate);
      if (!is_calendar_time(p.startdate) || (!open && !is_calendar_time(p.enddate))) {
        reporter_.period(p, "a date that is not a calendar time; skipped");
        return InventoryExit::kDone;
      }
      CalibrationRecord record = to_record(p);
      if (!read_texts(&record)) return InventoryExit::kDatabase;
      if (!begun) {
        // The document starts with the first period, so that a selection
        // that matches nothing leaves no file behind.
        const FileStatus opened = stream.open(output);
        if (!opened.ok()) return reporter_.output(output, opened);
        StationXmlDocumentInfo info;
        info.source = "QEV calibration database";
        info.module = std::string(kProgram) + " " + KALVYNEX_VERSION;
        info.created_seconds = created_epoch(env_.source_date_epoch);
        if (!writer.begin(info)) return write_failed();
        begun = true;
      }
      const std::string key = p.codes.network + "." + p.codes.sta;
      if (key != station_key) {
        station_key = key;
        const StationPlace* found = places.find(p.codes.network, p.codes.sta);
        place = found != nullptr ? *found : unknown;
        if (found == nullptr) {
          reporter_.warning("station " + key +
                            (options_.stations ? " is not in the stations file"
                                               : " has no coordinates (see --stations)") +
                            "; written at 0, 0, 0");
        }
      }
      ChannelEpoch epoch;
      epoch.codes = p.codes;
      epoch.start = p.startdate;
      epoch.end = p.enddate;
      epoch.normalization_frequency = p.freq > 0.0 ? p.freq : 1.0;
      PoleZeroResponse pole_zero;
      std::vector<FapTriplet> triplets;
      std::vector<PoleZeroProblem> problems;
      if (!record.sac.empty() && parse_pole_zero(record.sac, &pole_zero, &problems)) {
        epoch.pole_zero = &pole_zero;
      } else {
        scan_fap_lines(normalize_fap_text(record.fap).text, [&triplets](const FapLine& line) {
          if (line.usable()) triplets.push_back({line.frequency, line.amplitude, line.phase});
        });
        if (!triplets.empty()) epoch.fap = &triplets;
        std::string why;
        if (!problems.empty()) {
          why = string_printf("SAC text line %d: %s; ", problems[0].line,
                              problems[0].reason.c_str());
        }
        if (!problems.empty() || triplets.empty()) {
          why += triplets.empty() ? "written without a response" : "response from the FAP text";
          reporter_.period(p, why);
        }
      }
      return writer.add_channel(epoch, place) ? InventoryExit::kDone : write_failed();
    });
    if (result != InventoryExit::kDone || !begun) return result;
    if (!writer.finish()) return write_failed();
    const FileStatus finished = stream.finish();
    return finished.ok() ? InventoryExit::kDone : reporter_.output(stream_name, finished);
  }

  // The findings of every selected period, one line (or JSON object) each.
  // Nothing is written to the database.
  InventoryExit check() {
    DataStream out(env_.out);
    PeriodChecker checker(options_.tolerance_db);
    std::vector<Finding> findings;
    const bool json = options_.check_format == CheckFormat::kJson;
    InventoryExit result = for_each_period(true, [&](const CatalogPeriod& p) {
      CalibrationRecord record = to_record(p);
      if (!read_texts(&record)) return InventoryExit::kDatabase;
      findings.clear();
      checker.check(record, &findings);
      std::string text;
      for (const Finding& f : findings) {
        if (json) {
          text += (findings_ == 0 ? "[\n  " : ",\n  ") + finding_json(f);
        } else {
          text += finding_text(f) + "\n";
        }
        ++findings_;
      }
      const FileStatus written = out.write(text);
      return written.ok() ? InventoryExit::kDone : reporter_.output("standard output", written);
    });
    if (result != InventoryExit::kDone) return result;
    if (json && periods_ > 0) {
      const FileStatus written = out.write(findings_ == 0 ? "[]\n" : "\n]\n");
      if (!written.ok()) return reporter_.output("standard output", written);
    }
    const FileStatus finished = out.finish();
    if (!finished.ok()) return reporter_.output("standard output", finished);
    if (periods_ > 0) {
      reporter_.warning(string_printf("%zu finding%s in %zu period%s", findings_,
                                      findings_ == 1 ? "" : "s", periods_,
                                      periods_ == 1 ? "" : "s"));
    }
    return InventoryExit::kDone;
  }

  static CalibrationRecord to_record(const CatalogPeriod& p) {
    CalibrationRecord record;
    record.codes = p.codes;
    record.startdate = p.startdate;
    record.enddate = p.enddate;
    record.sens = p.sens;
    record.id_sens = p.id_sens;
    record.freq = p.freq;
    record.id_freq = p.id_freq;
    record.lddate = p.lddate;
    return record;
  }

  const InventoryOptions& options_;
  const InventoryEnvironment& env_;
  Reporter reporter_;
  ProgramSettings settings_;
  ConnectionParameters parameters_;
  bool password_ok_ = true;
  CalibrationCatalog catalog_;
  std::vector<ChannelCodes> channels_;
  std::size_t periods_ = 0;
  std::size_t findings_ = 0;  // check
  std::set<std::string> names_;  // files written for the current channel
  BatchFiles files_;
  // Kept from period to period so that their memory is reused.
  CalibrationRecord record_;
  PoleZeroResponse response_;
  Status last_status_;
};

}  // namespace

ConnectionParameters inventory_connection_parameters(const DatabaseSettings& database) {
  ConnectionParameters parameters;
  parameters.data_source = database.odbc;
  parameters.user = database.user;
  parameters.password = database.password;
  return parameters;
}

InventoryExit report_usage_error(std::FILE* err, const std::string& message) {
  std::fprintf(err, "%s: %s\nTry '%s --help' for more information.\n", kProgram, message.c_str(),
               kProgram);
  return InventoryExit::kUsage;
}

InventoryExit run_inventory(const InventoryOptions& options, const InventoryEnvironment& env) {
  if (options.help || options.version) {
    const std::string text = options.help ? inventory_usage_text()
                                          : std::string(kProgram) + " " + KALVYNEX_VERSION + "\n";
    if (std::fputs(text.c_str(), env.out) < 0 || std::fflush(env.out) != 0) {
      return InventoryExit::kOutput;
    }
    return InventoryExit::kDone;
  }
  Session session(options, env);
  return session.run();
}

}  // namespace kalvynex

#include "app/main_flow.h"

#include <optional>
#include <string>
#include <utility>

#include "app/output_file.h"
#include "app/requested_date.h"
#include "config/usage.h"
#include "response/output_text.h"

namespace kalvynex {

namespace {

// DATE= texts shorter than this name no date: the latest record is taken.
constexpr std::size_t kMinDateTextLength = 4;

// The message of a failed database stage, as the run prints it.
std::string failure_message(const Status& status) {
  switch (status.stage()) {
    case Stage::kConnect:
      return "Connection ERROR: " + status.text();
    case Stage::kFindTable:
      return "ERROR (Checking calibration table): " + status.text();
    case Stage::kReadColumns:
      return "ERROR (Checking table CALIBRATION): " + status.text();
    case Stage::kMissingColumns:
      return "ERROR (Checking table CALIBRATION). NOT FOUND column(s): " + status.text();
    case Stage::kLoad:
      return "load_from_db(): " + status.text();
    case Stage::kNone:
      break;
  }
  return "NO_ERROR";
}

ExitCode database_failure(std::FILE* out, const Status& status, ExitCode code) {
  std::fprintf(out, "%s\n\n", failure_message(status).c_str());
  return code;
}

// "NOT FOUND...: STA:CHAN:NETWORK:LOCATION (DATE)" followed by a blank line.
ExitCode not_found(std::FILE* out, const char* what, const RunArguments& arguments,
                   ExitCode code) {
  std::fprintf(out, "NOT FOUND%s: %s (%s)\n\n", what, arguments.channel.selector_text().c_str(),
               arguments.date_text.c_str());
  return code;
}

}  // namespace

ExitCode run(const ArgumentList& args, const SettingsFiles& settings_files,
             CalibrationSource& source, std::FILE* out) {
  RunArguments arguments;
  if (parse_arguments(args, &arguments) == ParseOutcome::kShowUsage) {
    print_usage(out);
    return ExitCode::Success;
  }
  const ChannelCodes& channel = arguments.channel;
  if (!is_complete(channel)) {
    std::fprintf(out, "Incorrect [SELECT=] param\n");
    return ExitCode::BadSelect;
  }

  const ProgramSettings settings = gather_settings(args, settings_files);

  std::fprintf(out, "Connecting to database: %s\n", settings.database.odbc.c_str());
  std::fflush(out);  // a log shows where a run stopped, even a stuck one
  Status status = source.connect(connection_parameters(settings.database));
  if (!status.ok()) return database_failure(out, status, ExitCode::ConnectFailed);

  std::fprintf(out, "OK\nChecking CALIBRATION table\n");
  std::fflush(out);
  status = source.check_table();
  if (!status.ok()) return database_failure(out, status, ExitCode::TableOrLoadFailed);

  std::fprintf(out, "OK\nLoading data (%s) from database\n", channel.selector_text().c_str());
  std::fflush(out);
  std::optional<CalibrationRecord> chosen;
  status = arguments.date_text.size() < kMinDateTextLength
               ? source.load_from_db(channel, true, &chosen)
               : source.load_for_date(channel, parse_requested_date(arguments.date_text),
                                      &chosen);
  // Nothing more is read: the connection ends before the file is made, so
  // that the driver's buffers (as large as the longest text it read) are
  // freed first.
  source.close();
  if (!status.ok()) return database_failure(out, status, ExitCode::TableOrLoadFailed);
  if (!chosen) return not_found(out, "", arguments, ExitCode::NotFound);

  const CalibrationRecord& record = *chosen;
  switch (arguments.response_field) {
    case ResponseField::kSac:
      if (record.sac.empty()) return not_found(out, " SAC data", arguments, ExitCode::NoSacData);
      break;
    case ResponseField::kFap:
      if (record.fap.empty()) return not_found(out, " FAP data", arguments, ExitCode::NoFapData);
      break;
    case ResponseField::kByContent:
      if (record.sac.empty() && record.fap.empty()) {
        return not_found(out, " no FAP nor SAC data", arguments, ExitCode::NoResponseData);
      }
      break;
  }
  std::fprintf(out, "OK\n");
  std::fflush(out);

  // Without a switch the SAC text is written when there is one.
  const bool fap = arguments.response_field == ResponseField::kFap ||
                   (arguments.response_field == ResponseField::kByContent && record.sac.empty());
  const OutputRequest request =
      resolve_output_request(fap ? OutputKind::Fap : OutputKind::Sac, arguments.output_type);
  const std::string file_name =
      output_file_name(settings.output_directory, channel, record.startdate, request.kind);
  std::fprintf(out, "Writing data to file (%s)\n", file_name.c_str());
  std::fflush(out);
  if (!write_output_file(file_name, std::move(*chosen), request)) {
    std::fprintf(out, "Couldn't write to file (%s)\n", file_name.c_str());
    return ExitCode::SaveFailed;
  }
  std::fprintf(out, "OK\n\nOUTPUT FILENAME: %s\n", file_name.c_str());
  return ExitCode::Success;
}

}  // namespace kalvynex

#include "app/main_flow.h"

#include <string>

#include "app/output_file.h"
#include "app/requested_date.h"
#include "config/text_rules.h"
#include "config/usage.h"

namespace kalvynex {

namespace {

// DATE= texts shorter than this name no date: the latest record is taken.
constexpr std::size_t kMinDateTextLength = 4;

ChannelKey channel_key(const ChannelSelector& channel) {
  return ChannelKey{channel.network, channel.location, channel.sta, channel.chan};
}

// "NOT FOUND...: STA:CHAN:NETWORK:LOCATION (DATE)" followed by a blank line.
ExitCode not_found(std::FILE* out, const char* what, const RunArguments& arguments,
                   ExitCode code) {
  const ChannelSelector& c = arguments.channel;
  std::fprintf(out, "NOT FOUND%s: %s:%s:%s:%s (%s)\n\n", what, c.sta.c_str(), c.chan.c_str(),
               c.network.c_str(), c.location.c_str(), arguments.date_text.c_str());
  return code;
}

ExitCode database_failure(std::FILE* out, const CalibrationDb& db, ExitCode code) {
  std::fprintf(out, "%s\n\n", db.get_last_error().c_str());
  return code;
}

}  // namespace

ExitCode run(const ArgumentList& args, ProgramSettings& settings, CalibrationDb& db,
             std::FILE* out) {
  RunArguments arguments;
  if (parse_arguments(args, &arguments) == ParseOutcome::kShowUsage) {
    print_usage(out);
    return ExitCode::Success;
  }
  const ChannelSelector& channel = arguments.channel;
  if (!channel.is_complete()) {
    std::fprintf(out, "Incorrect [SELECT=] param\n");
    return ExitCode::BadSelect;
  }

  const DatabaseSettings database = settings.read_database_settings(args);
  settings.read_output_directory(args);

  std::fprintf(out, "Connecting to database: %s\n", database.odbc.c_str());
  if (!db.connect(database.odbc, database.user, database.password)) {
    return database_failure(out, db, ExitCode::ConnectFailed);
  }

  std::fprintf(out, "OK\nChecking CALIBRATION table\n");
  if (!db.check_table()) return database_failure(out, db, ExitCode::TableCheckFailed);

  std::fprintf(out, "OK\nLoading data (%s:%s:%s:%s) from database\n", channel.sta.c_str(),
               channel.chan.c_str(), channel.network.c_str(), channel.location.c_str());
  const bool loaded =
      arguments.date_text.size() < kMinDateTextLength
          ? db.load_from_db(channel_key(channel), true)
          : db.load_for_date(channel_key(channel), parse_requested_date(arguments.date_text));
  if (!loaded) return database_failure(out, db, ExitCode::TableCheckFailed);

  const CalibrationRecord& record = db.chosen_record();
  if (record.empty()) return not_found(out, "", arguments, ExitCode::NotFound);

  const bool want_sac = equals_ignore_case(arguments.response_field, "SAC");
  const bool want_fap = equals_ignore_case(arguments.response_field, "FAP");
  if (want_sac && record.sac.empty()) {
    return not_found(out, " SAC data", arguments, ExitCode::NoSacData);
  }
  if (want_fap && record.fap.empty()) {
    return not_found(out, " FAP data", arguments, ExitCode::NoFapData);
  }
  if (!want_sac && !want_fap && record.sac.empty() && record.fap.empty()) {
    return not_found(out, " no FAP nor SAC data", arguments, ExitCode::NoResponseData);
  }
  std::fprintf(out, "OK\n");

  // Without a switch the SAC text is written when there is one.
  const OutputKind kind =
      want_fap || (!want_sac && record.sac.empty()) ? OutputKind::Fap : OutputKind::Sac;
  const std::string file_name = output_file_name(settings.get_output_directory(), channel,
                                                 record.startdate, kind);
  std::fprintf(out, "Writing data to file (%s)\n", file_name.c_str());
  if (!write_output_file(file_name, kind, record, arguments.output_type)) {
    std::fprintf(out, "Couldn't write to file (%s)\n", file_name.c_str());
    return ExitCode::SaveFailed;
  }
  std::fprintf(out, "OK\n\nOUTPUT FILENAME: %s\n", file_name.c_str());
  return ExitCode::Success;
}

}  // namespace kalvynex

// The argument list and the settings readers that take it: parse_arguments,
// then gather_settings, with both settings files present.
//
// Input: pieces separated by NUL bytes. The first is the program's own file
// "kalvynex.ini", the second the system file "qev.ini" (missing when there
// is no second piece), every further piece one argument.
#include "config/run_arguments.h"
#include "config/settings.h"
#include "config/settings_file.h"
#include "core/text_rules.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/scratch_files.h"

namespace {

using namespace kalvynex;

bool any_argument_starts_with(const ArgumentList& args, const char* prefix) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (starts_with_ignore_case(args[i], prefix)) return true;
  }
  return false;
}

bool is_help_word(const std::string& arg) {
  for (const char* word : kHelpWords) {
    if (equals_ignore_case(arg, word)) return true;
  }
  return false;
}

void check_code(const std::string& code) {
  FUZZ_CHECK(code.find(':') == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static kalvynex_fuzz::ScratchFiles files;

  const std::vector<std::string> pieces = kalvynex_fuzz::split(data, size, '\0');
  files.write("kalvynex.ini", pieces[0]);
  if (pieces.size() > 1) {
    files.write("qev.ini", pieces[1]);
  } else {
    files.remove("qev.ini");
  }
  ArgumentList args{files.path("kalvynex")};
  for (std::size_t i = 2; i < pieces.size(); ++i) args.push_back(pieces[i]);

  RunArguments arguments;
  const ParseOutcome outcome = parse_arguments(args, &arguments);
  bool help_given = false;
  for (std::size_t i = 1; i < args.size(); ++i) help_given = help_given || is_help_word(args[i]);
  FUZZ_CHECK((outcome == ParseOutcome::kShowUsage) == help_given);
  if (outcome == ParseOutcome::kRun) {
    FUZZ_CHECK(arguments.date_text.size() <= kMaxValueLength);
    FUZZ_CHECK(arguments.output_type.size() <= kMaxValueLength);
    const ChannelCodes& channel = arguments.channel;
    check_code(channel.sta);
    check_code(channel.chan);
    check_code(channel.network);
    check_code(channel.location);
    if (is_complete(channel)) {
      for (const std::string* code : {&channel.sta, &channel.chan, &channel.network,
                                      &channel.location}) {
        FUZZ_CHECK(!code->empty() && code->size() <= kMaxCodeLength);
      }
    }
  }

  SettingsEnvironment env;
  env.program_path = files.path("kalvynex");
  env.qev = files.dir();
  const SettingsFiles settings_files = locate_settings_files(env);
  FUZZ_CHECK(settings_files.program_file == files.path("kalvynex.ini"));
  FUZZ_CHECK(settings_files.system_file == (pieces.size() > 1 ? files.path("qev.ini") : ""));

  const ProgramSettings settings = gather_settings(args, settings_files);
  const DatabaseSettings& database = settings.database;
  const std::string& out_dir = settings.output_directory;

  FUZZ_CHECK(database.data_dir.find('\\') == std::string::npos);
  FUZZ_CHECK(out_dir.find('\\') == std::string::npos);
  // Values that come from a file are cut to the reader's limit.
  if (!any_argument_starts_with(args, "ODBC=")) {
    FUZZ_CHECK(database.odbc.size() <= kMaxSettingsValueLength);
  }
  if (!any_argument_starts_with(args, "OUT_DIR=")) {
    FUZZ_CHECK(out_dir.size() <= kMaxSettingsValueLength);
  }
  if (any_argument_starts_with(args, "-use_tend") || any_argument_starts_with(args, "/use_tend")) {
    FUZZ_CHECK(database.use_tend);
  }

  return 0;
}

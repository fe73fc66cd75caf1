#include "config/settings.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "config/settings_file.h"
#include "core/text_rules.h"

namespace kalvynex {

const char kDefaultOdbc[] = "QEV";
const char kDefaultUser[] = "QEV";
const char kDefaultPassword[] = "QEV";
const char kDefaultDataDir[] = "D:\\DATA";
const char kDefaultOutDir[] = "D:/OUT";
const char kProgramSettingsFileName[] = "kalvynex.ini";

namespace {

constexpr char kSystemFileName[] = "qev.ini";

constexpr char kDatabaseSection[] = "DATABASE";
constexpr char kDataSection[] = "DATA";
constexpr char kOutSection[] = "OUT";

// Value of the DIR key in the program's own file that hands the output
// directory on to the system file (as does a missing key).
constexpr char kOutDirPassOn[] = "0";

std::optional<std::string> environment_value(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

// The target of /proc/self/exe, or empty when it cannot be read.
std::string read_executable_path() {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return std::string();
    if (static_cast<std::size_t>(length) < buffer.size()) {
      return std::string(buffer.data(), static_cast<std::size_t>(length));
    }
    // The target may have been cut: try again with more room.
    buffer.resize(buffer.size() * 2);
  }
}

// `directory` (in "/" form) joined with `name`, without doubling a separator.
std::string join_path(const std::string& directory, const std::string& name) {
  if (!directory.empty() && directory.back() == '/') return directory + name;
  return directory + "/" + name;
}

// qev.ini in the directory named by QEV (only when the file can be opened),
// else in the one named by WINDIR (unchecked); empty when neither is set.
std::string find_system_file(const SettingsEnvironment& env) {
  if (env.qev) {
    const std::string path = join_path(to_slashes(*env.qev), kSystemFileName);
    return is_readable_regular_file(path) ? path : std::string();
  }
  if (env.windir) return join_path(to_slashes(*env.windir), kSystemFileName);
  return std::string();
}

// The directory part of `path` ("/" form), up to and including its last
// separator; empty when there is none.
std::string directory_part(const std::string& path) {
  const std::string slashed = to_slashes(path);
  const std::size_t last = slashed.rfind('/');
  if (last == std::string::npos) return std::string();
  return slashed.substr(0, last + 1);
}

}  // namespace

std::string to_slashes(const std::string& path) {
  std::string result = path;
  for (char& c : result) {
    if (c == '\\') c = '/';
  }
  return result;
}

SettingsEnvironment SettingsEnvironment::from_process(const char* argv0) {
  SettingsEnvironment env;
  env.program_path = argv0 != nullptr ? argv0 : "";
  env.executable_path = read_executable_path();
  env.qev = environment_value("QEV");
  env.windir = environment_value("WINDIR");
  return env;
}

SettingsFiles locate_settings_files(const SettingsEnvironment& env) {
  SettingsFiles files;
  std::string directory = directory_part(env.program_path);
  if (directory.empty()) directory = directory_part(env.executable_path);
  files.program_file = directory + kProgramSettingsFileName;
  files.system_file = find_system_file(env);
  return files;
}

namespace {

// The value of the last argument that begins with `prefix` (case ignored),
// or empty.
std::string last_parameter(const ArgumentList& args, const std::string& prefix) {
  std::string value;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (starts_with_ignore_case(args[i], prefix)) value = args[i].substr(prefix.size());
  }
  return value;
}

DatabaseSettings gather_database_settings(const ArgumentList& args, const SettingsFiles& files) {
  DatabaseSettings settings;
  struct TextParameter {
    const char* prefix;
    std::string* field;
  };
  const TextParameter parameters[] = {
      {"ODBC=", &settings.odbc},
      {"USER=", &settings.user},
      {"PASSWORD=", &settings.password},
      {"DATA=", &settings.data_dir},
  };

  bool use_tend_switch_seen = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool matched = false;
    for (const TextParameter& parameter : parameters) {
      if (starts_with_ignore_case(arg, parameter.prefix)) {
        *parameter.field = arg.substr(std::string(parameter.prefix).size());
        matched = true;
        break;
      }
    }
    if (matched) continue;
    // Any argument beginning with the switch matches, -use_tendency too.
    if (starts_with_ignore_case(arg, "/use_tend") ||
        starts_with_ignore_case(arg, "-use_tend")) {
      use_tend_switch_seen = true;
    }
  }
  settings.use_tend = use_tend_switch_seen;

  // Whatever the command line left empty comes from the program's file, and
  // where that is empty too (an empty value counts as absent) from the
  // system file or its default.
  struct FileKey {
    const char* section;
    const char* key;
    const char* system_default;
    std::string* field;
  };
  const FileKey keys[] = {
      {kDatabaseSection, "ODBC", kDefaultOdbc, &settings.odbc},
      {kDatabaseSection, "USER", kDefaultUser, &settings.user},
      {kDatabaseSection, "PASSWORD", kDefaultPassword, &settings.password},
      {kDataSection, "DIR", kDefaultDataDir, &settings.data_dir},
  };
  for (const FileKey& entry : keys) {
    if (!entry.field->empty()) continue;
    std::string value = read_settings_string(files.program_file, entry.section, entry.key, "");
    if (value.empty()) {
      value = read_settings_string(files.system_file, entry.section, entry.key,
                                   entry.system_default);
    }
    *entry.field = value;
  }

  // Only a missing or negative USE_TEND in the program's file lets the system
  // file decide.
  if (!use_tend_switch_seen) {
    int use_tend = read_settings_int(files.program_file, kDatabaseSection, "USE_TEND", -1);
    if (use_tend < 0) {
      use_tend = read_settings_int(files.system_file, kDatabaseSection, "USE_TEND", 0);
    }
    settings.use_tend = use_tend > 0;
  }

  // The limits follow USE_TEND's rule: a missing or negative value in the
  // program's file lets the system file decide.
  struct TimeoutKey {
    const char* key;
    int system_default;
    int* field;
  };
  const TimeoutKey timeouts[] = {
      {"LOGIN_TIMEOUT", kDefaultLoginTimeout, &settings.login_timeout},
      {"QUERY_TIMEOUT", kDefaultQueryTimeout, &settings.query_timeout},
  };
  for (const TimeoutKey& entry : timeouts) {
    int value = read_settings_int(files.program_file, kDatabaseSection, entry.key, -1);
    if (value < 0) {
      value = read_settings_int(files.system_file, kDatabaseSection, entry.key,
                                entry.system_default);
    }
    *entry.field = value < 0 ? entry.system_default : value;
  }

  settings.data_dir = to_slashes(settings.data_dir);
  return settings;
}

std::string gather_output_directory(const ArgumentList& args, const SettingsFiles& files) {
  std::string out_dir = last_parameter(args, "OUT_DIR=");
  if (out_dir.empty()) {
    // Unlike the database keys, an empty DIR in the program's file is an
    // empty output directory; only "0" or a missing key passes on.
    out_dir = read_settings_string(files.program_file, kOutSection, "DIR", kOutDirPassOn);
    if (out_dir == kOutDirPassOn) {
      out_dir = read_settings_string(files.system_file, kOutSection, "DIR", kDefaultOutDir);
    }
  }
  return to_slashes(out_dir);
}

}  // namespace

ConnectionParameters connection_parameters(const DatabaseSettings& database) {
  ConnectionParameters parameters;
  parameters.data_source = database.odbc;
  parameters.user = database.user;
  parameters.password = database.password;
  parameters.login_timeout = database.login_timeout;
  parameters.query_timeout = database.query_timeout;
  return parameters;
}

ProgramSettings gather_settings(const ArgumentList& args, const SettingsFiles& files) {
  ProgramSettings settings;
  settings.database = gather_database_settings(args, files);
  settings.output_directory = gather_output_directory(args, files);
  return settings;
}

}  // namespace kalvynex

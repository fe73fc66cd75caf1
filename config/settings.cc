#include "config/settings.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "config/settings_file.h"
#include "config/text_rules.h"

namespace kalvynex {

const char kDefaultOdbc[] = "QEV";
const char kDefaultUser[] = "QEV";
const char kDefaultPassword[] = "QEV";
const char kDefaultDataDir[] = "D:\\DATA";
const char kDefaultOutDir[] = "D:/OUT";

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

bool can_open_for_reading(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

// The program's path with its last three characters replaced by "ini"
// (x.exe gives x.ini); a path of fewer than three characters gives "ini".
std::string default_program_file(const std::string& program_path) {
  const std::size_t keep =
      program_path.size() >= 3 ? program_path.size() - 3 : 0;
  return to_slashes(program_path.substr(0, keep) + "ini");
}

// qev.ini in the directory named by QEV (only when the file can be opened),
// else in the one named by WINDIR (unchecked); empty when neither is set.
std::string find_system_file(const SettingsEnvironment& env) {
  if (env.qev) {
    const std::string path = join_path(to_slashes(*env.qev), kSystemFileName);
    return can_open_for_reading(path) ? path : std::string();
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

// ---------------------------------------------------------------------------
// SystemSettings

SystemSettings::SystemSettings(const SettingsEnvironment& env)
    : program_file_(default_program_file(env.program_path)),
      system_file_(find_system_file(env)) {}

SystemSettings::~SystemSettings() = default;

bool SystemSettings::get_value(const std::string& key, std::string* out) const {
  if (equals_ignore_case(key, "odbc")) {
    *out = odbc_;
  } else if (equals_ignore_case(key, "user")) {
    *out = user_;
  } else if (equals_ignore_case(key, "password")) {
    *out = password_;
  } else if (equals_ignore_case(key, "data_dir")) {
    *out = data_dir_;
  } else if (equals_ignore_case(key, "use_tend")) {
    *out = use_tend_ ? "1" : "0";
  } else {
    return false;
  }
  return true;
}

void SystemSettings::set_value(const std::string& key, const std::string& value) {
  if (equals_ignore_case(key, "odbc")) {
    odbc_ = value;
  } else if (equals_ignore_case(key, "user")) {
    user_ = value;
  } else if (equals_ignore_case(key, "password")) {
    password_ = value;
  } else if (equals_ignore_case(key, "data_dir")) {
    data_dir_ = value;
  } else if (equals_ignore_case(key, "use_tend")) {
    use_tend_ = (value != "0");
  }
  data_dir_ = to_slashes(data_dir_);
}

DatabaseSettings SystemSettings::read_database_settings(const ArgumentList& args) {
  gather(args);
  DatabaseSettings settings;
  settings.odbc = odbc_;
  settings.user = user_;
  settings.password = password_;
  settings.data_dir = data_dir_;
  settings.use_tend = use_tend_;
  return settings;
}

void SystemSettings::gather(const ArgumentList& args) {
  // The values of construction are dropped; use_tend is only ever raised.
  odbc_.clear();
  user_.clear();
  password_.clear();
  data_dir_.clear();

  struct TextParameter {
    const char* prefix;
    std::string* field;
  };
  const TextParameter parameters[] = {
      {"ODBC=", &odbc_},
      {"USER=", &user_},
      {"PASSWORD=", &password_},
      {"DATA=", &data_dir_},
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
      use_tend_ = true;
      use_tend_switch_seen = true;
    }
  }

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
      {kDatabaseSection, "ODBC", kDefaultOdbc, &odbc_},
      {kDatabaseSection, "USER", kDefaultUser, &user_},
      {kDatabaseSection, "PASSWORD", kDefaultPassword, &password_},
      {kDataSection, "DIR", kDefaultDataDir, &data_dir_},
  };
  for (const FileKey& entry : keys) {
    if (!entry.field->empty()) continue;
    std::string value =
        read_settings_string(program_file_, entry.section, entry.key, "");
    if (value.empty()) {
      value = read_settings_string(system_file_, entry.section, entry.key,
                                   entry.system_default);
    }
    *entry.field = value;
  }

  // Only a missing or negative USE_TEND in the program's file lets the system
  // file decide; 0 there keeps the flag as it is.
  if (!use_tend_switch_seen) {
    int use_tend = read_settings_int(program_file_, kDatabaseSection, "USE_TEND", -1);
    if (use_tend < 0) {
      use_tend = read_settings_int(system_file_, kDatabaseSection, "USE_TEND", 0);
    }
    if (use_tend > 0) use_tend_ = true;
  }

  data_dir_ = to_slashes(data_dir_);
}

// ---------------------------------------------------------------------------
// ProgramSettings

ProgramSettings::ProgramSettings(const std::string& file_name,
                                 const SettingsEnvironment& env)
    : SystemSettings(env) {
  // The file lies beside the program: in the directory of argument 0 when it
  // has one, else (started through PATH) beside the running executable, and
  // failing that in the current directory.
  std::string directory = directory_part(env.program_path);
  if (directory.empty()) directory = directory_part(env.executable_path);
  program_file_ = directory + file_name;
}

ProgramSettings::~ProgramSettings() = default;

bool ProgramSettings::get_value(const std::string& key, std::string* out) const {
  bool found = false;
  if (equals_ignore_case(key, "OUT_DIR")) {
    *out = out_dir_;
    found = true;
  }
  return SystemSettings::get_value(key, out) || found;
}

void ProgramSettings::set_value(const std::string& key, const std::string& value) {
  if (equals_ignore_case(key, "OUT_DIR")) out_dir_ = value;
  out_dir_ = to_slashes(out_dir_);
  SystemSettings::set_value(key, value);
}

void ProgramSettings::read_output_directory(const ArgumentList& args) {
  out_dir_.clear();
  static constexpr char kPrefix[] = "OUT_DIR=";
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (starts_with_ignore_case(args[i], kPrefix)) {
      out_dir_ = args[i].substr(sizeof kPrefix - 1);
    }
  }
  if (out_dir_.empty()) {
    // Unlike the database keys, an empty DIR in the program's file is an
    // empty output directory; only "0" or a missing key passes on.
    std::string value =
        read_settings_string(program_file_, kOutSection, "DIR", kOutDirPassOn);
    if (value == kOutDirPassOn) {
      value = read_settings_string(system_file_, kOutSection, "DIR", kDefaultOutDir);
    }
    out_dir_ = value;
  }
  out_dir_ = to_slashes(out_dir_);
}

}  // namespace kalvynex

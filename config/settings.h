// The settings of a run that do not come from the channel selection: data
// source, user, password, data directory, use_tend flag and output directory.
//
// Each setting is taken from the first of these that gives it:
//   1. the command line (ODBC=, USER=, PASSWORD=, DATA=, -use_tend, OUT_DIR=);
//   2. the program's own file "kalvynex.ini";
//   3. the system-wide file "qev.ini" in $QEV (or, failing that, $WINDIR);
//   4. a built-in default.
// Settings are only read, never written, and gathered once into a value.
#ifndef KALVYNEX_CONFIG_SETTINGS_H_
#define KALVYNEX_CONFIG_SETTINGS_H_

#include <optional>
#include <string>

#include "config/run_arguments.h"
#include "core/connection_parameters.h"

namespace kalvynex {

// Every backslash of `path` turned into "/".
std::string to_slashes(const std::string& path);

// What the settings classes learn from the process at construction.
struct SettingsEnvironment {
  std::string program_path;     // argument 0, as given
  std::string executable_path;  // the running executable, empty when unknown
  std::optional<std::string> qev;     // environment variable QEV
  std::optional<std::string> windir;  // environment variable WINDIR

  // Reads argument 0, /proc/self/exe and the environment of this process.
  static SettingsEnvironment from_process(const char* argv0);
};

struct DatabaseSettings {
  std::string odbc;
  std::string user;
  std::string password;
  std::string data_dir;
  bool use_tend = false;
  // Seconds, 0 for none: LOGIN_TIMEOUT and QUERY_TIMEOUT of section
  // [DATABASE], the program's file first (a missing or negative value passes
  // on), then the system file, then these defaults.
  int login_timeout = kDefaultLoginTimeout;
  int query_timeout = kDefaultQueryTimeout;
};

// Built-in defaults.
extern const char kDefaultOdbc[];      // "QEV"
extern const char kDefaultUser[];      // "QEV"
extern const char kDefaultPassword[];  // "QEV"
extern const char kDefaultDataDir[];   // "D:\\DATA"
extern const char kDefaultOutDir[];    // "D:/OUT"

// The program's own settings file, "kalvynex.ini".
extern const char kProgramSettingsFileName[];

// Where the two settings files are, "/" form.
struct SettingsFiles {
  // The program's own file beside the program: in the directory of argument
  // 0 when it has one, else (started through PATH) beside the running
  // executable, and failing that in the current directory.
  std::string program_file;
  // qev.ini in $QEV when the file can be opened there, else in $WINDIR
  // (unchecked); empty when neither variable is set.
  std::string system_file;
};

SettingsFiles locate_settings_files(const SettingsEnvironment& env);

// Everything a run takes from the settings, gathered once.
struct ProgramSettings {
  DatabaseSettings database;
  // OUT_DIR=, then section OUT key DIR of the program's file, then of the
  // system file, then "D:/OUT"; forward slashes only.
  std::string output_directory;
};

// The connection part of the database settings.
ConnectionParameters connection_parameters(const DatabaseSettings& database);

// Gathers the settings from the command line `args` and the two files.
ProgramSettings gather_settings(const ArgumentList& args, const SettingsFiles& files);

}  // namespace kalvynex

#endif  // KALVYNEX_CONFIG_SETTINGS_H_

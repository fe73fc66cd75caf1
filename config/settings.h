// The settings of a run that do not come from the channel selection: data
// source, user, password, data directory, use_tend flag and output directory.
//
// Each setting is taken from the first of these that gives it:
//   1. the command line (ODBC=, USER=, PASSWORD=, DATA=, -use_tend, OUT_DIR=);
//   2. the program's own file "kalvynex.ini";
//   3. the system-wide file "qev.ini" in $QEV (or, failing that, $WINDIR);
//   4. a built-in default.
// Settings are only read, never written.
#ifndef KALVYNEX_CONFIG_SETTINGS_H_
#define KALVYNEX_CONFIG_SETTINGS_H_

#include <optional>
#include <string>

#include "config/run_arguments.h"

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
};

// Built-in defaults.
extern const char kDefaultOdbc[];      // "QEV"
extern const char kDefaultUser[];      // "QEV"
extern const char kDefaultPassword[];  // "QEV"
extern const char kDefaultDataDir[];   // "D:\\DATA"
extern const char kDefaultOutDir[];    // "D:/OUT"

// Knows both settings files and gathers the database settings.
class SystemSettings {
 public:
  explicit SystemSettings(const SettingsEnvironment& env);
  virtual ~SystemSettings();

  SystemSettings(const SystemSettings&) = delete;
  SystemSettings& operator=(const SystemSettings&) = delete;

  // Access to single settings by key name ("odbc", "user", "password",
  // "data_dir", "use_tend"; case ignored). An unknown key leaves *out and the
  // settings unchanged and gives false.
  virtual bool get_value(const std::string& key, std::string* out) const;
  virtual void set_value(const std::string& key, const std::string& value);

  // Gathers data source, user, password, data directory and use_tend from
  // the command line, the two files and the defaults, in that order.
  DatabaseSettings read_database_settings(const ArgumentList& args);

  const std::string& program_file() const { return program_file_; }
  const std::string& system_file() const { return system_file_; }

 protected:
  // Path of the program's own file, "/" form. The base class takes argument
  // 0 with its last three characters replaced by "ini" ("ini" alone when it
  // is shorter); ProgramSettings replaces it.
  std::string program_file_;
  // Path of qev.ini, "/" form: in $QEV when the file can be opened there,
  // else in $WINDIR (unchecked); empty when neither variable is set.
  std::string system_file_;

 private:
  void gather(const ArgumentList& args);

  std::string odbc_ = kDefaultOdbc;
  std::string user_ = kDefaultUser;
  std::string password_ = kDefaultPassword;
  std::string data_dir_ = kDefaultDataDir;
  bool use_tend_ = false;
};

// Places the program's own file beside the program and adds the output
// directory. "Beside the program" is the directory of argument 0; when
// argument 0 has none (started through PATH) it is the directory of the
// running executable, and when that is unknown the current directory.
class ProgramSettings : public SystemSettings {
 public:
  // `file_name` is the program's own settings file, "kalvynex.ini".
  ProgramSettings(const std::string& file_name, const SettingsEnvironment& env);
  ~ProgramSettings() override;

  // Adds the key "OUT_DIR"; every other key goes to the base.
  bool get_value(const std::string& key, std::string* out) const override;
  void set_value(const std::string& key, const std::string& value) override;

  // Gathers the output directory from OUT_DIR=, then section OUT key DIR of
  // the program's file, then of the system file, then "D:/OUT".
  void read_output_directory(const ArgumentList& args);

  // The output directory, with forward slashes only.
  const std::string& get_output_directory() const { return out_dir_; }

 private:
  std::string out_dir_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_CONFIG_SETTINGS_H_

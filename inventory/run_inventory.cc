// The run from the options: help and version, else the session's setup from
// the options, the password source and the settings files, over the
// database's catalog.
#include <exception>
#include <new>

#include "config/settings.h"
#include "db/calibration_catalog.h"
#include "inventory/commands.h"
#include "inventory/data_output.h"
#include "inventory/inventory.h"
#include "inventory/password_file.h"
#include "inventory/reporter.h"
#include "inventory/session.h"

namespace kalvynex {

namespace {

// The password of --password-file (its first line) or of the environment;
// false after a reported failure to read the file.
bool read_password(const InventoryOptions& options, const InventoryEnvironment& env,
                   std::optional<std::string>* password) {
  *password = env.password;
  if (!options.password_file) return true;
  std::string line;
  std::string error;
  if (!read_password_file(*options.password_file, &line, &error)) {
    Reporter(env.err, options.quiet, false).error(error);
    return false;
  }
  *password = line;
  return true;
}

}  // namespace

SessionSetup session_setup(const InventoryOptions& options, const InventoryEnvironment& env,
                           const std::optional<std::string>& password) {
  ArgumentList args = {kInventoryProgram};
  if (options.dsn) args.push_back("ODBC=" + *options.dsn);
  if (options.user) args.push_back("USER=" + *options.user);
  if (password) args.push_back("PASSWORD=" + *password);
  const ProgramSettings settings = gather_settings(args, env.settings_files);
  SessionSetup setup;
  setup.parameters = connection_parameters(settings.database);
  setup.data_source = settings.database.odbc;
  setup.output_directory = settings.output_directory;
  return setup;
}

InventoryExit run_guarded(std::FILE* err, const std::function<InventoryExit()>& run) {
  try {
    return run();
  } catch (const std::bad_alloc&) {
    std::fprintf(err, "%s: out of memory\n", kInventoryProgram);
    return InventoryExit::kOutOfMemory;
  } catch (const std::exception& e) {
    std::fprintf(err, "%s: internal error: %s\n", kInventoryProgram, e.what());
  } catch (...) {
    std::fprintf(err, "%s: internal error: unknown exception\n", kInventoryProgram);
  }
  return InventoryExit::kInternal;
}

InventoryExit report_usage_error(std::FILE* err, const std::string& message) {
  std::fprintf(err, "%s: %s\nTry '%s --help' for more information.\n", kInventoryProgram,
               message.c_str(), kInventoryProgram);
  return InventoryExit::kUsage;
}

InventoryExit run_inventory(const InventoryOptions& options, const InventoryEnvironment& env) {
  if (options.help || options.version) {
    const std::string text = options.help
                                 ? inventory_usage_text()
                                 : std::string(kInventoryProgram) + " " + KALVYNEX_VERSION + "\n";
    DataStream out(env.out);
    FileStatus written = out.open("-");
    if (written.ok()) written = out.write(text);
    if (written.ok()) written = out.finish();
    if (!written.ok()) return Reporter(env.err, false, false).output("standard output", written);
    return InventoryExit::kDone;
  }
  std::optional<std::string> password;
  if (!read_password(options, env, &password)) return InventoryExit::kUsage;
  if (options.command == InventoryCommand::kServe) {
    return serve_requests(options, env, session_setup(options, env, password),
                          [] { return std::make_unique<CalibrationCatalog>(); });
  }
  CalibrationCatalog catalog;
  return run_session(options, env, session_setup(options, env, password), catalog);
}

}  // namespace kalvynex

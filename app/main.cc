// kalvynex: exports the response of one seismic channel from the calibration
// database into a ".sac" or ".fap" file. See README.md for usage.
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>

#include "app/main_flow.h"
#include "core/process_guard.h"
#include "db/calibration_db.h"

namespace {

// Overwrites the value of every PASSWORD= argument with "x"s, as database
// clients do, so that other users do not see it in the process list for
// the rest of the run. The arguments have been copied before.
void hide_passwords(int argc, char** argv) {
  static const char kPrefix[] = "PASSWORD=";
  const std::size_t prefix_length = sizeof kPrefix - 1;
  for (int i = 1; i < argc; ++i) {
    if (strncasecmp(argv[i], kPrefix, prefix_length) != 0) continue;
    char* const value = argv[i] + prefix_length;
    std::memset(value, 'x', std::strlen(value));
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kalvynex;
  fill_standard_descriptors();
  handle_ending_signals();
  ExitCode result = ExitCode::UnexpectedFailure;
  // Every failure a stage can explain ends in its own message and code; this
  // guard is for what no stage expects, so that even then the caller gets a
  // documented code and a message on standard output, never a text on
  // standard error from the C++ runtime.
  try {
    const ArgumentList args(argv, argv + argc);
    hide_passwords(argc, argv);
    const SettingsFiles files =
        locate_settings_files(SettingsEnvironment::from_process(argc > 0 ? argv[0] : ""));
    // Owns the connection: it is closed properly when the run is over, so the
    // server sees a client that said goodbye rather than one that vanished.
    const std::unique_ptr<CalibrationSource> db = make_calibration_db();
    result = run(args, files, *db, stdout);
  } catch (const std::bad_alloc&) {
    std::fputs("ERROR: out of memory\n", stdout);
  } catch (const std::exception& e) {
    std::fprintf(stdout, "ERROR: %s\n", e.what());
  } catch (...) {
    std::fputs("ERROR: unexpected failure\n", stdout);
  }
  std::fflush(stdout);
  return static_cast<int>(result);
}

// kalvynex: exports the response of one seismic channel from the calibration
// database into a ".sac" or ".fap" file. See README.md for usage.
#include <cstdio>

#include "app/main_flow.h"

int main(int argc, char** argv) {
  using namespace kalvynex;
  const ArgumentList args(argv, argv + argc);
  ProgramSettings settings("kalvynex.ini",
                           SettingsEnvironment::from_process(argc > 0 ? argv[0] : ""));
  // The connection stays open until the process ends, and the process end
  // closes it: disconnecting explicitly gains nothing for a single run, and
  // with Debian's default psqlODBC driver entry it leaves a communication log
  // file in /tmp behind every run.
  static CalibrationDb& db = *new CalibrationDb;
  const ExitCode result = run(args, settings, db, stdout);
  std::fflush(stdout);
  return static_cast<int>(result);
}

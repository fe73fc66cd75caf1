// kalvynex: exports the response of one seismic channel from the calibration
// database into a ".sac" or ".fap" file. See README.md for usage.
#include <cstdio>

#include "app/main_flow.h"

int main(int argc, char** argv) {
  using namespace kalvynex;
  const ArgumentList args(argv, argv + argc);
  ProgramSettings settings("kalvynex.ini",
                           SettingsEnvironment::from_process(argc > 0 ? argv[0] : ""));
  // Owns the connection: it is closed properly when the run is over, so the
  // server sees a client that said goodbye rather than one that vanished.
  CalibrationDb db;
  const ExitCode result = run(args, settings, db, stdout);
  std::fflush(stdout);
  return static_cast<int>(result);
}

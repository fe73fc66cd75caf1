// One run of the program, from the command line to the written file.
#ifndef KALVYNEX_APP_MAIN_FLOW_H_
#define KALVYNEX_APP_MAIN_FLOW_H_

#include <cstdio>

#include "app/exit_code.h"
#include "config/run_arguments.h"
#include "config/settings.h"
#include "db/calibration_source.h"

namespace kalvynex {

// Runs the stages in order, printing every message on `out`, and returns the
// run's result. Each failing stage ends the run at once with its message.
// The settings are gathered from `args` and the files of `settings_files`
// only once SELECT= has passed.
ExitCode run(const ArgumentList& args, const SettingsFiles& settings_files,
             CalibrationSource& source, std::FILE* out);

}  // namespace kalvynex

#endif  // KALVYNEX_APP_MAIN_FLOW_H_

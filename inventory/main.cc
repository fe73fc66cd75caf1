// kalvynex-inventory: lists and exports the calibrations of a whole network
// in one run. See docs/inventory.md and the man page.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "core/process_guard.h"
#include "inventory/inventory.h"

namespace {

std::optional<std::string> environment_value(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kalvynex;
  const ClosedDescriptors closed = fill_standard_descriptors();
  handle_ending_signals();
  const InventoryExit result = run_guarded(stderr, [argc, argv, closed] {
    InventoryOptions options;
    std::string error;
    if (!parse_inventory_options(argc, argv, &options, &error)) {
      return report_usage_error(stderr, error);
    }
    InventoryEnvironment env;
    if (closed.output) env.out = -1;
    env.settings_files =
        locate_settings_files(SettingsEnvironment::from_process(argc > 0 ? argv[0] : ""));
    env.password = environment_value("KALVYNEX_PASSWORD");
    env.source_date_epoch = environment_value("SOURCE_DATE_EPOCH");
    env.progress = ::isatty(STDERR_FILENO) == 1;
    return run_inventory(options, env);
  });
  return static_cast<int>(result);
}

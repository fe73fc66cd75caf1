// Runs kalvynex-inventory's session over a FakeCatalog, as the program
// would after reading the command line, and captures what it writes.
#ifndef KALVYNEX_TESTS_SUPPORT_INVENTORY_RUN_H_
#define KALVYNEX_TESTS_SUPPORT_INVENTORY_RUN_H_

#include <string>
#include <vector>

#include "tests/support/fake_catalog.h"

namespace kalvynex {

struct SessionRun {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// The streams of a run: standard output a file, one that fails every
// write, or closed when the process started; or the error stream failing
// every write.
enum class Output { kFile, kFailing, kClosed, kFailingErrors };

// `args` after the program's name, e.g. {"export", "-f", "sac", "-o", dir}.
SessionRun run_session_on(FakeCatalog& catalog, const std::vector<std::string>& args,
                          Output output = Output::kFile);

// A pole-zero text that reads, and a FAP text with two usable lines.
extern const char kSoundSac[];
extern const char kSoundFap[];

}  // namespace kalvynex

#endif  // KALVYNEX_TESTS_SUPPORT_INVENTORY_RUN_H_

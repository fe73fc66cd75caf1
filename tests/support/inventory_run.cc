#include "tests/support/inventory_run.h"

#include <cstdio>

#include <gtest/gtest.h>

#include "inventory/options.h"
#include "inventory/session.h"

namespace kalvynex {

const char kSoundSac[] =
    "ZEROS 2|POLES 4|-0.0370 0.0370|-0.0370 -0.0370|-222.1 222.1|-222.1 -222.1|"
    "CONSTANT 5.92e+13|";
// Its phases are those of kSoundSac (6.601 and -0.946 degrees).
const char kSoundFap[] = "0.1 1000 6.601|1 1000 -0.946|";

namespace {

std::string contents(std::FILE* f) {
  std::string text;
  std::rewind(f);
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  std::fclose(f);
  return text;
}

}  // namespace

SessionRun run_session_on(FakeCatalog& catalog, const std::vector<std::string>& args,
                          Output output) {
  const bool failing_output = output == Output::kFailing;
  std::vector<std::string> words = {"kalvynex-inventory"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  InventoryOptions options;
  std::string error;
  SessionRun run;
  if (!parse_inventory_options(static_cast<int>(words.size()), argv.data(), &options, &error)) {
    ADD_FAILURE() << "usage error: " << error;
    return run;
  }
  InventoryEnvironment env;
  env.source_date_epoch = "0";
  // A file open for reading only: every write to it fails (EBADF), with
  // no device needed.
  std::FILE* out =
      failing_output ? std::fopen(KALVYNEX_SOURCE_DIR "/CMakeLists.txt", "r") : std::tmpfile();
  env.out = output == Output::kClosed ? -1 : fileno(out);
  env.err = output == Output::kFailingErrors
                ? std::fopen(KALVYNEX_SOURCE_DIR "/CMakeLists.txt", "r")
                : std::tmpfile();
  SessionSetup setup;
  setup.data_source = "fake";
  setup.output_directory = "/nonexistent-output-directory";
  run.status = static_cast<int>(run_session(options, env, setup, catalog));
  run.out = failing_output ? (std::fclose(out), std::string()) : contents(out);
  run.err = contents(env.err);
  return run;
}

}  // namespace kalvynex

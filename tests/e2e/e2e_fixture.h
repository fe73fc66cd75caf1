// Runs the real kalvynex binary against a scratch database of each backend.
#ifndef KALVYNEX_TESTS_E2E_E2E_FIXTURE_H_
#define KALVYNEX_TESTS_E2E_E2E_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/exit_status.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/scratch_db.h"
#include "tests/support/temp_dir.h"

namespace kalvynex {

// What a run prints before the stage at which it ends, for the given codes.
inline std::string connected_prefix(const std::string& dsn) {
  return "Connecting to database: " + dsn + "\nOK\nChecking CALIBRATION table\nOK\n";
}

class E2eTest : public ::testing::TestWithParam<Backend> {
 protected:
  static constexpr const char* kDsn = "kalvynex_test";

  void SetUp() override {
    database_ = std::make_unique<ScratchDatabase>(GetParam(), dir_.path());
    odbc_ini_ = dir_.write_file("odbc.ini", database_->odbc_ini_section(kDsn));
    out_dir_ = dir_.path() + "/out";
    dir_.write_file("out/.keep", "");
  }

  ScratchDatabase& database() { return *database_; }
  const std::string& out_dir() const { return out_dir_; }
  const TempDir& dir() const { return dir_; }

  // The settings arguments that reach the scratch database and write into
  // out_dir().
  std::vector<std::string> connection_arguments() const {
    return {std::string("ODBC=") + kDsn, "USER=" + database_->user(),
            "PASSWORD=" + database_->password(), "OUT_DIR=" + out_dir_};
  }

  // Runs kalvynex as if installed in dir() (so that dir()/kalvynex.ini is its
  // settings file), with no system settings file unless `options` sets one.
  ProcessResult run(const std::vector<std::string>& arguments, ProcessOptions options = {}) const {
    options.environment.emplace("ODBCINI", odbc_ini_);
    options.environment.emplace("QEV", std::nullopt);
    options.environment.emplace("WINDIR", std::nullopt);
    if (options.argument0.empty()) options.argument0 = dir_.path() + "/kalvynex";
    if (options.working_directory.empty()) options.working_directory = dir_.path();
    return run_process(KALVYNEX_BINARY, arguments, options);
  }

  // Runs kalvynex-inventory as if installed in dir(), with the options that
  // reach the scratch database after `arguments` unless `connected` is
  // false; documents carry the creation time 1700000000.
  ProcessResult run_inventory(std::vector<std::string> arguments, bool connected = true,
                              ProcessOptions options = {}) const {
    if (connected) arguments.insert(arguments.end(), {"--dsn", kDsn, "--user", database_->user()});
    options.environment.emplace("ODBCINI", odbc_ini_);
    options.environment.emplace("QEV", std::nullopt);
    options.environment.emplace("WINDIR", std::nullopt);
    options.environment.emplace("KALVYNEX_PASSWORD", database_->password());
    options.environment.emplace("SOURCE_DATE_EPOCH", "1700000000");
    options.argument0 = dir_.path() + "/kalvynex-inventory";
    options.working_directory = dir_.path();
    return run_process(KALVYNEX_INVENTORY_BINARY, arguments, options);
  }

  // run() with the connection arguments first.
  ProcessResult run_connected(const std::vector<std::string>& arguments,
                              ProcessOptions options = {}) const {
    std::vector<std::string> all = connection_arguments();
    all.insert(all.end(), arguments.begin(), arguments.end());
    return run(all, std::move(options));
  }

 private:
  TempDir dir_;
  std::unique_ptr<ScratchDatabase> database_;
  std::string odbc_ini_;
  std::string out_dir_;
};

inline std::string backend_test_name(const ::testing::TestParamInfo<Backend>& info) {
  return backend_name(info.param);
}

}  // namespace kalvynex

#endif  // KALVYNEX_TESTS_E2E_E2E_FIXTURE_H_

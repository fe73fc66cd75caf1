// Query time limits against a server that stops answering after the login:
// a proxy between the program and the server goes silent when a chosen query
// passes, so neither the query's reply nor a cancel ever arrives. Each stage
// must still end QUERY_TIMEOUT seconds and about one more after it began,
// with the stage's documented message and status.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/e2e/e2e_fixture.h"
#include "tests/support/tcp_proxy.h"

namespace kalvynex {
namespace {

constexpr int kQueryTimeout = 1;
// The cancel's second, the driver's return and the run's own start before the
// stage (the runs took 1.0 to 1.15 s beyond the limit here).
constexpr double kGraceSeconds = 1.5 + 0.5;

bool starts_with(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

class DeadPeerTest : public E2eTest {
 protected:
  void SetUp() override {
    if (GetParam() == Backend::SQLite) GTEST_SKIP() << "needs a database server";
    E2eTest::SetUp();
    database().create_calibration_table();
    dir().write_file("kalvynex.ini",
                     "[DATABASE]\nQUERY_TIMEOUT=" + std::to_string(kQueryTimeout) + "\n");
  }

  // The scratch database as data source "dead", reached through `proxy`.
  std::string odbc_ini_through(const TcpProxy& proxy) {
    std::string section = database().odbc_ini_section("dead");
    const std::string port = "Port = " + database().port() + "\n";
    section.replace(section.find(port), port.size(),
                    "Port = " + std::to_string(proxy.port()) + "\n");
    return dir().write_file("dead-odbc.ini", section);
  }
};

TEST_P(DeadPeerTest, EachStageEndsSoonAfterItsLimit) {
  struct Case {
    const char* what;
    const char* silent_at;  // the query text after which nothing answers
    bool inventory;
    std::vector<std::string> arguments;
    int exit_status;
    std::string out_start;  // kalvynex: standard output; the inventory: its errors
  };
  const std::string connected = "Connecting to database: dead\nOK\nChecking CALIBRATION table\n";
  const Case cases[] = {
      {"kalvynex, table check", "CALIBRATION", false, {"SELECT=ABC:BHZ:XX:00"},
       kTableOrLoadFailed, connected + "ERROR (Checking"},
      {"kalvynex, load", "order by STARTDATE", false, {"SELECT=ABC:BHZ:XX:00"},
       kTableOrLoadFailed,
       connected + "OK\nLoading data (ABC:BHZ:XX:00) from database\nload_from_db(): "},
      {"inventory list, channels", "select distinct", true, {"list"}, 4,
       "kalvynex-inventory: query failed: "},
      {"inventory export, periods", "order by STARTDATE", true,
       {"export", "-f", "sac", "-o", out_dir()}, 4, "kalvynex-inventory: query failed: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TcpProxy proxy(database().host(), std::stoi(database().port()), c.silent_at);
    ProcessOptions options;
    options.environment["ODBCINI"] = odbc_ini_through(proxy);
    options.environment["QEV"] = std::nullopt;
    options.environment["WINDIR"] = std::nullopt;
    options.working_directory = dir().path();
    // A run that ignores its limit cannot hang the test.
    options.before_exec = [] { alarm(30); };
    std::vector<std::string> arguments;
    if (c.inventory) {
      options.argument0 = dir().path() + "/kalvynex-inventory";
      options.environment["KALVYNEX_PASSWORD"] = database().password();
      arguments = c.arguments;
      arguments.insert(arguments.end(), {"--dsn", "dead", "--user", database().user()});
    } else {
      options.argument0 = dir().path() + "/kalvynex";
      arguments = {"ODBC=dead", "USER=" + database().user(),
                   "PASSWORD=" + database().password(), "OUT_DIR=" + out_dir()};
      arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    }

    const auto begun = std::chrono::steady_clock::now();
    const ProcessResult r = run_process(c.inventory ? KALVYNEX_INVENTORY_BINARY : KALVYNEX_BINARY,
                                        arguments, options);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();

    EXPECT_TRUE(proxy.silent()) << "the query never passed the proxy";
    EXPECT_EQ(r.exit_status, c.exit_status) << r.out << r.err;
    const std::string& shown = c.inventory ? r.err : r.out;
    EXPECT_TRUE(starts_with(shown, c.out_start)) << shown;
    EXPECT_GT(shown.size(), c.out_start.size() + 2) << "the driver's text is missing";
    if (!c.inventory) {
      EXPECT_EQ(r.err, "");
    }
    EXPECT_GE(seconds, kQueryTimeout);
    EXPECT_LT(seconds, kQueryTimeout + kGraceSeconds);
  }
  EXPECT_EQ(directory_entries(out_dir()), std::vector<std::string>{".keep"});
}

INSTANTIATE_TEST_SUITE_P(Backends, DeadPeerTest, ::testing::ValuesIn(available_backends()),
                         backend_test_name);

}  // namespace
}  // namespace kalvynex

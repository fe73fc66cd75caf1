// What an attacker or an unlucky user can put in the program's way, end to
// end with the real binary on each backend: stored dates that are no
// calendar time, servers and tables that never answer, settings files that
// are no regular files, closed standard descriptors, signals during a long
// write, and a password on the command line.
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <filesystem>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/e2e_fixture.h"
#include "tests/support/files.h"

namespace kalvynex {
namespace {

// AddressSanitizer reserves terabytes of address space when a program
// starts: under a limit on the address space a sanitized build cannot start
// at all, so the cases that set one run in the regular build only.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSpaceCanBeLimited = false;
#else
constexpr bool kAddressSpaceCanBeLimited = true;
#endif

// The file that the latest period of ABC:BHZ:XX:00 in the demo data gives.
constexpr char kDemoFile[] = "ABC_BHZ_XX_00_20110101.sac";

class HostileInputTest : public E2eTest {
 protected:
  Backend backend() const { return GetParam(); }

  // Stores channel `sta`:BHZ:XX:00 with the given SQL expressions for its
  // dates; `mariadb_mode` is the sql_mode the MariaDB insert runs with.
  void insert_dated(const std::string& sta, const std::string& start, const std::string& end) {
    std::string insert = "INSERT INTO CALIBRATION VALUES ('XX', '00', '" + sta + "', 'BHZ', " +
                         start + ", " + end + ", 1, 1, 1, 1, 'ZEROS 0|CONSTANT 1|', NULL, NULL)";
    // MariaDB keeps a day that its month lacks only when told to.
    if (backend() == Backend::MariaDB) {
      insert = "SET STATEMENT sql_mode='ALLOW_INVALID_DATES' FOR " + insert;
    }
    database().execute(insert);
  }

  // Channel BIG:BHZ:XX:00 with a SAC text of 40 MB: a first line, then 2.5
  // million lines of 16 bytes.
  void insert_big_text() {
    const std::string repeat =
        backend() == Backend::SQLite
            ? "replace(hex(zeroblob(2500000)), '00', '* padding line ' || char(10))"
        : backend() == Backend::MariaDB ? "REPEAT('* padding line \\n', 2500000)"
                                        : "repeat('* padding line ' || chr(10), 2500000)";
    const std::string first_line =
        backend() == Backend::MariaDB
            ? "CONCAT('ZEROS 0\\n', "
            : "('ZEROS 0' || " +
                  std::string(backend() == Backend::SQLite ? "char(10)" : "chr(10)") + " || ";
    database().execute(
        "INSERT INTO CALIBRATION VALUES ('XX', '00', 'BIG', 'BHZ', '2001-01-01 00:00:00', NULL, "
        "1, 1, 1, 1, " + first_line + repeat + "), NULL, NULL)");
  }

  std::string loading(const std::string& sta) const {
    return connected_prefix(kDsn) + "Loading data (" + sta + ":BHZ:XX:00) from database\n";
  }
};

// A date that the driver cannot convert counts as NULL, as the driver says;
// an impossible date that the driver does deliver fails the load with its
// column and value; PostgreSQL's 'infinity' as an end is an open end, as a
// start no valid date.
TEST_P(HostileInputTest, StoredDatesThatAreNoCalendarTime) {
  database().create_calibration_table(false);
  struct Case {
    Backend backend;
    const char* sta;
    const char* start;
    const char* end;
    // Empty: the run succeeds and writes the file named `file_date`, with
    // the header of `like_sta` (a channel with the same meaning stored
    // plainly). Otherwise the text after "load_from_db(): ".
    const char* failure;
    const char* file_date;
    const char* like_start;
    const char* like_end;
  };
  const Case cases[] = {
      // The SQLite driver reports these as NULL: a NULL start is all zero.
      {Backend::SQLite, "S1", "'2016-13-45 99:99:99'", "NULL", "", "00000000", nullptr, nullptr},
      {Backend::SQLite, "S2", "'2016-02-30'", "'2016-02-31'", "", "00000000", nullptr, nullptr},
      {Backend::SQLite, "S3", "'2016-01-01 00:00:00'", "'2016-13-45 99:99:99'", "", "20160101",
       "'2016-01-01 00:00:00'", "NULL"},
      {Backend::PostgreSQL, "P1", "'-infinity'", "NULL",
       "STARTDATE holds no valid date: -9999-01-01 00:00:00", "", nullptr, nullptr},
      {Backend::PostgreSQL, "P4", "'infinity'", "NULL", "STARTDATE holds no valid date: infinity", "",
       nullptr, nullptr},
      {Backend::PostgreSQL, "P2", "'2016-01-01 00:00:00'", "'infinity'", "", "20160101",
       "'2016-01-01 00:00:00'", "NULL"},
      {Backend::PostgreSQL, "P3", "'2016-01-01 00:00:00'", "'-infinity'", "", "20160101",
       "'2016-01-01 00:00:00'", "NULL"},
      {Backend::MariaDB, "M1", "'2016-02-30 00:00:00'", "NULL",
       "STARTDATE holds no valid date: 2016-02-30 00:00:00", "", nullptr, nullptr},
      {Backend::MariaDB, "M2", "'2016-01-01 00:00:00'", "'2016-04-31 12:00:00'",
       "ENDDATE holds no valid date: 2016-04-31 12:00:00", "", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    if (c.backend != backend()) continue;
    SCOPED_TRACE(c.sta);
    insert_dated(c.sta, c.start, c.end);
    const ProcessResult r = run_connected({std::string("SELECT=") + c.sta + ":BHZ:XX:00"});
    EXPECT_EQ(r.err, "");
    if (*c.failure != '\0') {
      EXPECT_EQ(r.out, loading(c.sta) + "load_from_db(): " + c.failure + "\n\n");
      EXPECT_EQ(r.exit_status, kTableOrLoadFailed);
      continue;
    }
    const std::string file =
        out_dir() + "/" + c.sta + "_BHZ_XX_00_" + c.file_date + ".sac";
    EXPECT_EQ(r.out, loading(c.sta) + "OK\nWriting data to file (" + file +
                         ")\nOK\n\nOUTPUT FILENAME: " + file + "\n");
    EXPECT_EQ(r.exit_status, 0);
    if (c.like_start == nullptr) continue;
    // The same channel stored with plain dates writes the same file.
    const std::string written = read_file_bytes(file);
    database().execute("DELETE FROM CALIBRATION WHERE STA = '" + std::string(c.sta) + "'");
    insert_dated(c.sta, c.like_start, c.like_end);
    const ProcessResult plain = run_connected({std::string("SELECT=") + c.sta + ":BHZ:XX:00"});
    EXPECT_EQ(plain.out, r.out);
    EXPECT_EQ(read_file_bytes(file), written);
  }
}

// Running out of memory anywhere in the run, at any limit of the address
// space, ends with a documented status and a message on standard output:
// never an abort, never a text on standard error. A 40 MB text meets the
// limit while the driver holds it, while the program reads it, or while the
// file is written.
TEST_P(HostileInputTest, MemoryRunningOutIsAReportedFailure) {
  if (!kAddressSpaceCanBeLimited) {
    GTEST_SKIP() << "a sanitized build cannot run in a small address space";
  }
  database().create_calibration_table(false);
  insert_big_text();
  int documented_load_failures = 0;
  int successes = 0;
  // Upward until three limits in a row were enough.
  for (int megabytes = 100, in_a_row = 0; megabytes <= 600 && in_a_row < 3; megabytes += 25) {
    SCOPED_TRACE(std::to_string(megabytes) + " MB of address space");
    ProcessOptions options;
    options.before_exec = [megabytes] {
      const rlim_t bytes = static_cast<rlim_t>(megabytes) << 20;
      const rlimit limit{bytes, bytes};
      setrlimit(RLIMIT_AS, &limit);
    };
    const ProcessResult r = run_connected({"SELECT=BIG:BHZ:XX:00"}, options);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.find("ERROR: out of memory"), std::string::npos) << r.out;
    switch (r.exit_status) {
      case 0:
        ++successes;
        ++in_a_row;
        break;
      case kConnectFailed:
        in_a_row = 0;
        EXPECT_NE(r.out.find("Connection ERROR: "), std::string::npos) << r.out;
        break;
      case kTableOrLoadFailed:
        in_a_row = 0;
        EXPECT_EQ(r.out.substr(r.out.size() - 2), "\n\n") << r.out;
        // In the program's words or, where the driver ran out first, in
        // the driver's.
        if (r.out.find("load_from_db(): ") != std::string::npos) ++documented_load_failures;
        break;
      case kSaveFailed:
        in_a_row = 0;
        EXPECT_NE(r.out.find("Couldn't write to file ("), std::string::npos) << r.out;
        break;
      default:
        ADD_FAILURE() << "status " << r.exit_status << "\n" << r.out;
    }
    std::filesystem::remove(out_dir() + "/BIG_BHZ_XX_00_20010101.sac");
  }
  EXPECT_GT(successes, 0) << "no limit was high enough";
  // SQLite holds its own copy of a text in memory first and fails there.
  if (backend() != Backend::SQLite) {
    EXPECT_GT(documented_load_failures, 0);
  }
  EXPECT_EQ(directory_entries(out_dir()), std::vector<std::string>{".keep"});
}

// A signal while the file of a large text is written leaves nothing in the
// output directory: SIGINT, SIGTERM and SIGHUP end the run with 128 +
// signal after removing any named temporary file, and the file is written
// unnamed until complete, so even SIGKILL leaves no part of it.
TEST_P(HostileInputTest, InterruptedWriteLeavesNothing) {
  database().create_calibration_table(false);
  insert_big_text();
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
    SCOPED_TRACE(strsignal(signal_number));
    const std::string target = dir().path() + "/signal" + std::to_string(signal_number);
    dir().write_file("signal" + std::to_string(signal_number) + "/.keep", "");
    // The window is the time the file takes to write; on a busy machine the
    // run may finish before the signal goes out. That run proves nothing, so
    // its file is removed and the run tried again.
    bool signalled = false;
    ProcessResult r;
    for (int attempt = 0; attempt < 5 && !signalled; ++attempt) {
      std::filesystem::remove(target + "/BIG_BHZ_XX_00_20010101.sac");
      std::future<ProcessResult> run_result = std::async(std::launch::async, [&] {
        return run_connected({"SELECT=BIG:BHZ:XX:00", "OUT_DIR=" + target});
      });
      // The signal goes out as soon as the run holds a file in the target
      // directory open, named or not.
      while (!signalled &&
             run_result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        for (const std::string& pid : processes_with("OUT_DIR=" + target)) {
          const std::string fds = "/proc/" + pid + "/fd";
          std::error_code error;
          for (const auto& entry : std::filesystem::directory_iterator(fds, error)) {
            const std::string link = std::filesystem::read_symlink(entry.path(), error).string();
            if (link.rfind(target + "/", 0) == 0 && !signalled) {
              signalled = kill(std::stoi(pid), signal_number) == 0;
            }
          }
        }
      }
      r = run_result.get();
    }
    ASSERT_TRUE(signalled) << "the run ended before its file was written: " << r.out;
    EXPECT_EQ(r.exit_status, 128 + signal_number) << r.out;
    EXPECT_EQ(directory_entries(target), std::vector<std::string>{".keep"});
  }
}

// PASSWORD= is overwritten in the process's arguments as soon as it is
// read: while the run waits for a server, other users see only "x"s.
TEST_P(HostileInputTest, PasswordIsHiddenFromTheProcessList) {
  if (backend() == Backend::SQLite) GTEST_SKIP() << "needs a server that keeps the run waiting";
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string port = std::to_string(ntohs(address.sin_port));
  const std::string dsn = "silent_" + std::to_string(getpid());
  const std::string section =
      backend() == Backend::MariaDB
          ? "[" + dsn + "]\nDriver = MariaDB Unicode\nServer = 127.0.0.1\nPort = " + port + "\n"
          : "[" + dsn + "]\nDriver = PostgreSQL Unicode\nServername = 127.0.0.1\nPort = " + port +
                "\nCommLog = 0\n";
  ProcessOptions options;
  options.environment["ODBCINI"] = dir().write_file("silent-odbc.ini", section);
  options.before_exec = [] { alarm(20); };
  dir().write_file("kalvynex.ini", "[DATABASE]\nLOGIN_TIMEOUT=3\n");
  const std::string secret = "Very-Secret-42";
  std::future<ProcessResult> run_result = std::async(std::launch::async, [&] {
    return run({"ODBC=" + dsn, "PASSWORD=" + secret, "SELECT=ABC:BHZ:XX:00"}, options);
  });
  std::vector<std::string> seen;
  while (run_result.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
    for (const std::string& pid : processes_with("ODBC=" + dsn)) {
      // Read once more: the run may have ended in between (then it is empty).
      const std::string line = command_line_of(pid);
      if (line.find("ODBC=" + dsn) != std::string::npos) seen.push_back(line);
    }
  }
  const ProcessResult r = run_result.get();
  close(listener);
  EXPECT_EQ(r.exit_status, kConnectFailed) << r.out;
  ASSERT_FALSE(seen.empty()) << "the run was never seen";
  // Only the lists read once the run has begun waiting count: the first
  // moments after exec belong to the loader.
  const std::string& last = seen.back();
  EXPECT_EQ(last.find(secret), std::string::npos) << last;
  EXPECT_NE(last.find(std::string("PASSWORD=") + std::string(secret.size(), 'x')),
            std::string::npos)
      << last;
}

// Settings files that are no regular files count as missing: a FIFO would
// block the run, /dev/zero would fill the memory, a directory holds nothing.
// A program started with standard output closed still writes its stage
// lines nowhere but there: the database connection never gets them.
TEST_P(HostileInputTest, SettingsFilesAndStandardDescriptors) {
  database().create_calibration_table();
  const std::string program_file = dir().path() + "/kalvynex.ini";
  const std::string qev = dir().path() + "/qev";
  std::filesystem::create_directories(qev);
  const std::string system_file = qev + "/qev.ini";
  struct Case {
    const char* what;
    std::function<void()> make;
  };
  const Case cases[] = {
      {"FIFO as kalvynex.ini", [&] { ASSERT_EQ(mkfifo(program_file.c_str(), 0600), 0); }},
      {"kalvynex.ini a link to /dev/zero",
       [&] { std::filesystem::create_symlink("/dev/zero", program_file); }},
      {"kalvynex.ini a directory", [&] { std::filesystem::create_directory(program_file); }},
      {"FIFO as qev.ini", [&] { ASSERT_EQ(mkfifo(system_file.c_str(), 0600), 0); }},
      {"qev.ini a link to /dev/zero",
       [&] { std::filesystem::create_symlink("/dev/zero", system_file); }},
  };
  const std::string success_end = "OUTPUT FILENAME: " + out_dir() + "/" + kDemoFile + "\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.make();
    ProcessOptions options;
    options.environment["QEV"] = qev;
    options.before_exec = [] {
      const rlimit limit{512u << 20, 512u << 20};
      if (kAddressSpaceCanBeLimited) setrlimit(RLIMIT_AS, &limit);
      alarm(20);
    };
    const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"}, options);
    EXPECT_EQ(r.exit_status, 0) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), success_end.size())),
              success_end);
    EXPECT_EQ(r.err, "");
    std::filesystem::remove(program_file);
    std::filesystem::remove(system_file);
    std::filesystem::remove(out_dir() + "/" + kDemoFile);
  }

  // A line of 300 MB (a sparse file: no disk is used) before the keys: read
  // through, never held, under a limit far below its size.
  {
    const int fd = open(program_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 300 << 20), 0);
    close(fd);
    std::ofstream(program_file, std::ios::app) << "\n[OUT]\nDIR=" << dir().path() << "/other\n";
    dir().write_file("other/.keep", "");
    ProcessOptions options;
    options.before_exec = [] {
      const rlimit limit{256u << 20, 256u << 20};
      if (kAddressSpaceCanBeLimited) setrlimit(RLIMIT_AS, &limit);
      alarm(60);
    };
    std::vector<std::string> arguments = connection_arguments();
    arguments.pop_back();  // OUT_DIR=: the file decides
    arguments.push_back("SELECT=ABC:BHZ:XX:00");
    const ProcessResult r = run(arguments, options);
    EXPECT_EQ(r.exit_status, 0) << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(std::filesystem::exists(dir().path() + "/other/" + kDemoFile)) << r.out;
    std::filesystem::remove(program_file);
  }

  // Standard input, output and error closed: the run succeeds, the
  // database (for SQLite, the database file itself) untouched by its report.
  for (const int closed : {0, 1, 2}) {
    SCOPED_TRACE("descriptor " + std::to_string(closed) + " closed");
    ProcessOptions options;
    options.before_exec = [closed] {
      close(closed);
      if (closed == 1) close(2);
    };
    const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"}, options);
    EXPECT_EQ(r.exit_status, 0) << r.out;
    EXPECT_TRUE(std::filesystem::exists(out_dir() + "/" + kDemoFile));
    std::filesystem::remove(out_dir() + "/" + kDemoFile);
    // The database still answers as before.
    const ProcessResult again = run_connected({"SELECT=ABC:BHZ:XX:00"});
    EXPECT_EQ(again.exit_status, 0) << again.out;
    std::filesystem::remove(out_dir() + "/" + kDemoFile);
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, HostileInputTest, ::testing::ValuesIn(available_backends()),
                         backend_test_name);

}  // namespace
}  // namespace kalvynex

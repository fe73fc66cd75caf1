// Faults that a calling script must be able to tell apart by the result code
// alone, end to end with the real binary and real database servers: a server
// that is down or refuses the login, a query that the server refuses or that
// loses its connection, an output file that cannot be written, many runs at
// once, and channel codes that must reach the database as plain text.
#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "db/odbc_handle.h"
#include "tests/e2e/e2e_fixture.h"

namespace kalvynex {
namespace {


// The file that the latest period of ABC:BHZ:XX:00 in the demo data gives.
constexpr char kDemoFile[] = "ABC_BHZ_XX_00_20110101.sac";

bool starts_with(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// A TCP port on 127.0.0.1 on which nothing listens (free a moment ago).
int unused_port() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    throw std::runtime_error("bind failed");
  }
  close(fd);
  return ntohs(address.sin_port);
}

// An SQL expression for a text given as raw bytes, so that no byte of it
// (quotes, backslashes, bytes beyond ASCII) passes through a literal.
std::string text_expression(Backend backend, const std::string& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    hex += kHex[static_cast<unsigned char>(c) >> 4];
    hex += kHex[static_cast<unsigned char>(c) & 0xF];
  }
  if (backend == Backend::SQLite) return "CAST(X'" + hex + "' AS TEXT)";
  if (backend == Backend::MariaDB) return "CONVERT(X'" + hex + "' USING utf8mb4)";
  return "convert_from('\\x" + hex + "'::bytea, 'UTF8')";
}

// One open period of channel sta:BHZ:XX:00 whose SAC text carries `mark`
// on a line of its own, so that a written file tells whose data it holds.
void insert_marked_channel(const ScratchDatabase& db, const std::string& sta,
                           const std::string& mark) {
  db.execute("INSERT INTO CALIBRATION VALUES ('XX', '00', " + text_expression(db.backend(), sta) +
             ", 'BHZ', '2001-01-01 00:00:00', NULL, 1, 1, 1, 1, 'ZEROS 0|* " + mark +
             "|CONSTANT 1|', NULL, NULL)");
}

// An ODBC connection that the test keeps open across a run of the binary.
class OpenConnection {
 public:
  explicit OpenConnection(const std::string& connection_string, bool autocommit = true) {
    environment_.allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    SQLSetEnvAttr(environment_.get(), SQL_ATTR_ODBC_VERSION,
                  reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    connection_.allocate(SQL_HANDLE_DBC, environment_.get());
    std::string text = connection_string;
    if (!odbc_succeeded(SQLDriverConnect(connection_.get(), nullptr,
                                         reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS,
                                         nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT))) {
      throw std::runtime_error("connect: " + read_diagnostic(connection_).text);
    }
    if (!autocommit) {
      SQLSetConnectAttr(connection_.get(), SQL_ATTR_AUTOCOMMIT,
                        reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
    }
  }

  // Runs `sql` and gives the first column of its first row as text (empty
  // when there is no row).
  std::string query(const std::string& sql) {
    OdbcHandle statement;
    statement.allocate(SQL_HANDLE_STMT, connection_.get());
    std::string text = sql;
    const SQLRETURN rc =
        SQLExecDirect(statement.get(), reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
    if (!odbc_succeeded(rc) && rc != SQL_NO_DATA) {
      throw std::runtime_error("execute: " + read_diagnostic(statement).text + "\n" + sql);
    }
    SQLSMALLINT columns = 0;
    SQLNumResultCols(statement.get(), &columns);
    if (columns == 0 || SQLFetch(statement.get()) != SQL_SUCCESS) return std::string();
    char value[256] = {0};
    SQLLEN length = 0;
    SQLGetData(statement.get(), 1, SQL_C_CHAR, value, sizeof value, &length);
    return length == SQL_NULL_DATA ? std::string() : std::string(value);
  }

 private:
  OdbcHandle environment_;
  OdbcHandle connection_;
};

class FaultsTest : public E2eTest {
 protected:
  Backend backend() const { return GetParam(); }
  bool on_server() const { return backend() != Backend::SQLite; }

  // An odbc.ini section for the scratch database's server at `port`, with
  // database `database_name`.
  std::string server_section(const std::string& dsn, const std::string& port,
                             const std::string& database_name) {
    if (backend() == Backend::MariaDB) {
      return "[" + dsn + "]\nDriver = MariaDB Unicode\nServer = " + database().host() +
             "\nPort = " + port + "\nDatabase = " + database_name + "\n";
    }
    return "[" + dsn + "]\nDriver = PostgreSQL Unicode\nServername = " + database().host() +
           "\nPort = " + port + "\nDatabase = " + database_name + "\nCommLog = 0\nDebug = 0\n";
  }

  // How the driver begins its connection failure texts. The MariaDB
  // driver's own version follows its tag and is left open.
  std::string connection_error_start() {
    if (backend() == Backend::MariaDB) return "Connection ERROR: [unixODBC][ma-";
    return "Connection ERROR: [unixODBC]connection to server at \"" + database().host() +
           "\", port ";
  }

  // Runs with a DSN of its own, written into a separate odbc.ini.
  ProcessResult run_with_dsn(const std::string& dsn, const std::string& section,
                             const std::vector<std::string>& arguments) const {
    ProcessOptions options;
    options.environment["ODBCINI"] = dir().write_file("other-odbc.ini", section);
    std::vector<std::string> all = {"ODBC=" + dsn, "OUT_DIR=" + out_dir()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return run(all, options);
  }

  // A connection failure: the driver's text after "Connection ERROR: ",
  // beginning as connection_error_start() and holding `phrase`, then a
  // blank line; result -2 and no file.
  void expect_connection_failure(const ProcessResult& r, const std::string& dsn,
                                 const std::string& phrase) {
    const std::string start = "Connecting to database: " + dsn + "\n" + connection_error_start();
    EXPECT_TRUE(starts_with(r.out, start)) << r.out;
    EXPECT_NE(r.out.find(phrase), std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "\n\n") << r.out;
    EXPECT_EQ(r.exit_status, kConnectFailed) << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(out_dir_listing(), std::vector<std::string>{".keep"});
  }

  // What a run prints up to a successful load of ABC:BHZ:XX:00.
  std::string loaded_prefix() const {
    return connected_prefix(kDsn) + "Loading data (ABC:BHZ:XX:00) from database\nOK\n";
  }

  std::vector<std::string> out_dir_listing() const { return directory_entries(out_dir()); }
};

// ---------------------------------------------------------------------------
// Connection faults: result -2 with the driver's own text, and no file.

TEST_P(FaultsTest, ServerDownIsAConnectionFailure) {
  if (!on_server()) GTEST_SKIP() << "needs a database server";
  const std::string port = std::to_string(unused_port());
  const ProcessResult r = run_with_dsn(
      "kalvynex_down", server_section("kalvynex_down", port, database().database_name()),
      {"SELECT=ABC:BHZ:XX:00", "USER=" + database().user(), "PASSWORD=" + database().password()});
  if (backend() == Backend::MariaDB) {
    expect_connection_failure(r, "kalvynex_down", "]Can't connect to server on '127.0.0.1' (");
    return;
  }
  expect_connection_failure(r, "kalvynex_down",
                            port + " failed: Connection refused\n\tIs the server running on that "
                                   "host and accepting TCP/IP connections?\n\n\n");
}

TEST_P(FaultsTest, SqliteDatabaseThatCannotBeOpenedIsAConnectionFailure) {
  if (backend() != Backend::SQLite) GTEST_SKIP() << "SQLite file case";
  const std::string section = "[kalvynex_nodir]\nDriver = SQLite3\nDatabase = " + dir().path() +
                              "/no-such-dir/calibration.sqlite\n";
  const ProcessResult r = run_with_dsn("kalvynex_nodir", section, {"SELECT=ABC:BHZ:XX:00"});
  EXPECT_EQ(r.out, "Connecting to database: kalvynex_nodir\n"
                   "Connection ERROR: [unixODBC][SQLite]connect failed\n\n");
  EXPECT_EQ(r.exit_status, kConnectFailed);
  EXPECT_FALSE(std::filesystem::exists(dir().path() + "/no-such-dir"));
}

TEST_P(FaultsTest, RefusedLoginIsAConnectionFailure) {
  if (!on_server()) GTEST_SKIP() << "SQLite has no login";
  database().create_calibration_table();
  for (const auto& [user, password] :
       {std::pair<std::string, std::string>{database().user(), "wrong-password"},
        {"kvx_no_such_role", database().password()}}) {
    SCOPED_TRACE(user + "/" + password);
    const ProcessResult r = run({"SELECT=ABC:BHZ:XX:00", std::string("ODBC=") + kDsn,
                                 "USER=" + user, "PASSWORD=" + password, "OUT_DIR=" + out_dir()});
    expect_connection_failure(
        r, kDsn,
        backend() == Backend::MariaDB
            ? "]Access denied for user '" + user + "'@'localhost'"
            : database().port() + " failed: FATAL:  password authentication failed for user \"" +
                  user + "\"\n\n\n");
  }
}

TEST_P(FaultsTest, UnknownDatabaseIsAConnectionFailure) {
  if (!on_server()) GTEST_SKIP() << "SQLite creates a missing file";
  const ProcessResult r = run_with_dsn(
      "kalvynex_nodb", server_section("kalvynex_nodb", database().port(), "kvx_no_such_database"),
      {"SELECT=ABC:BHZ:XX:00", "USER=" + database().user(), "PASSWORD=" + database().password()});
  expect_connection_failure(
      r, "kalvynex_nodb",
      backend() == Backend::MariaDB
          ? "]Unknown database 'kvx_no_such_database'\n\n"
          : database().port() + " failed: FATAL:  database \"kvx_no_such_database\" does not "
                                "exist\n\n\n");
}

// ---------------------------------------------------------------------------
// Faults after the connection: -3 with the server's text, and no file.

// The catalog still lists the table, so the check passes; the select is
// refused.
TEST_P(FaultsTest, SelectRefusedByTheServerIsAFailureWithItsText) {
  if (backend() != Backend::PostgreSQL) GTEST_SKIP() << "needs an owner who may revoke";
  database().create_calibration_table();
  database().execute("REVOKE ALL ON CALIBRATION FROM " + database().user());
  const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"});
  EXPECT_EQ(r.out, connected_prefix(kDsn) +
                       "Loading data (ABC:BHZ:XX:00) from database\n"
                       "load_from_db(): ERROR: permission denied for table calibration;\n"
                       "Error while executing the query\n\n");
  EXPECT_EQ(r.exit_status, kTableOrLoadFailed);
  EXPECT_EQ(out_dir_listing(), std::vector<std::string>{".keep"});
}

// The server ends the session while the select waits for a lock that
// another session holds: the run must fail, never report "not found" or
// write a file.
TEST_P(FaultsTest, ConnectionLostDuringTheLoadIsAFailure) {
  if (!on_server()) GTEST_SKIP() << "needs a database server";
  const bool maria = backend() == Backend::MariaDB;
  database().create_calibration_table();
  OpenConnection holder(database().connection_string(), /*autocommit=*/false);
  holder.query(maria ? "LOCK TABLES CALIBRATION WRITE"
                     : "LOCK TABLE CALIBRATION IN ACCESS EXCLUSIVE MODE");

  std::future<ProcessResult> run_result =
      std::async(std::launch::async, [this] { return run_connected({"SELECT=ABC:BHZ:XX:00"}); });

  OpenConnection watcher(database().connection_string());
  const std::string waiting =
      maria ? "SELECT ID FROM information_schema.PROCESSLIST WHERE DB = '" +
                  database().database_name() + "' AND STATE LIKE 'Waiting for table%'"
            : "SELECT pid FROM pg_stat_activity WHERE datname = '" + database().database_name() +
                  "' AND wait_event_type = 'Lock'";
  std::string session;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (session.empty() && std::chrono::steady_clock::now() < deadline &&
         run_result.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
    session = watcher.query(waiting);
  }
  ASSERT_FALSE(session.empty()) << "the run never waited for the lock";
  if (maria) {
    watcher.query("KILL CONNECTION " + session);
  } else {
    EXPECT_EQ(watcher.query("SELECT pg_terminate_backend(" + session + ")"), "1");
  }

  const ProcessResult r = run_result.get();
  const std::string expected_start =
      connected_prefix(kDsn) + "Loading data (ABC:BHZ:XX:00) from database\nload_from_db(): ";
  EXPECT_TRUE(starts_with(r.out, expected_start)) << r.out;
  EXPECT_GT(r.out.size(), expected_start.size() + 2) << "the driver's text is missing";
  EXPECT_EQ(r.out.substr(r.out.size() - 2), "\n\n");
  EXPECT_EQ(r.exit_status, kTableOrLoadFailed) << r.out;
  EXPECT_EQ(out_dir_listing(), std::vector<std::string>{".keep"});
}

// ---------------------------------------------------------------------------
// Time limits: a server that accepts the connection and never answers, and a
// table locked by another session, end the run after LOGIN_TIMEOUT or
// QUERY_TIMEOUT seconds with the driver's text; every stage line is on
// standard output as soon as it is reached.

// A TCP listener on 127.0.0.1 that completes connections (the kernel does)
// and never answers them.
class SilentListener {
 public:
  SilentListener() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd_, 16) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      throw std::runtime_error("cannot listen");
    }
    port_ = ntohs(address.sin_port);
  }
  ~SilentListener() { close(fd_); }
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

class TimeLimitTest : public FaultsTest {
 protected:
  // Limits in the program's settings file, and a kill after `kill_after`
  // seconds so that a run which ignores them cannot hang the test.
  ProcessOptions limited(const std::string& settings, unsigned kill_after) const {
    dir().write_file("kalvynex.ini", "[DATABASE]\n" + settings);
    ProcessOptions options;
    options.before_exec = [kill_after] { alarm(kill_after); };
    return options;
  }
};

TEST_P(TimeLimitTest, ServerThatNeverAnswersEndsTheLogin) {
  if (!on_server()) GTEST_SKIP() << "needs a database server";
  const SilentListener listener;
  const std::string section =
      server_section("silent", std::to_string(listener.port()), database().database_name());
  struct Case {
    const char* settings;
    int exit_status;
  };
  const Case cases[] = {
      {"LOGIN_TIMEOUT=2\n", kConnectFailed},
      // No limit: the run waits until the alarm, its stage line already out.
      {"LOGIN_TIMEOUT=0\n", 128 + SIGALRM},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings);
    ProcessOptions options = limited(c.settings, 8);
    options.environment["ODBCINI"] = dir().write_file("other-odbc.ini", section);
    const ProcessResult r = run({"ODBC=silent", "SELECT=ABC:BHZ:XX:00", "OUT_DIR=" + out_dir()},
                                options);
    EXPECT_EQ(r.exit_status, c.exit_status) << r.out;
    EXPECT_TRUE(starts_with(r.out, "Connecting to database: silent\n")) << r.out;
    if (c.exit_status == kConnectFailed) {
      EXPECT_TRUE(starts_with(r.out, "Connecting to database: silent\n" + connection_error_start()))
          << r.out;
      EXPECT_EQ(r.out.substr(r.out.size() - 2), "\n\n");
    }
    EXPECT_EQ(r.err, "");
  }
}

TEST_P(TimeLimitTest, LockedTableEndsTheLoad) {
  // The SQLite driver waits for a locked file while it connects, for the
  // data source's own Timeout (milliseconds), which no ODBC attribute sets.
  if (!on_server()) GTEST_SKIP() << "SQLite waits by its data source's Timeout";
  database().create_calibration_table();
  const char* lock = backend() == Backend::MariaDB
                         ? "LOCK TABLES CALIBRATION WRITE"
                         : "LOCK TABLE CALIBRATION IN ACCESS EXCLUSIVE MODE";
  OpenConnection holder(database().connection_string(), /*autocommit=*/false);
  holder.query(lock);
  const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"}, limited("QUERY_TIMEOUT=2\n", 30));
  const std::string expected_start =
      connected_prefix(kDsn) + "Loading data (ABC:BHZ:XX:00) from database\nload_from_db(): ";
  EXPECT_TRUE(starts_with(r.out, expected_start)) << r.out;
  EXPECT_GT(r.out.size(), expected_start.size() + 2) << "the driver's text is missing";
  EXPECT_EQ(r.exit_status, kTableOrLoadFailed) << r.out;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(out_dir_listing(), std::vector<std::string>{".keep"});
}

INSTANTIATE_TEST_SUITE_P(Backends, TimeLimitTest, ::testing::ValuesIn(available_backends()),
                         backend_test_name);

TEST_P(FaultsTest, CorruptSqliteFileIsATableFailure) {
  if (backend() != Backend::SQLite) GTEST_SKIP() << "SQLite file case";
  std::string garbage(8192, '\0');
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 131 + 7);
  dir().write_file("calibration.sqlite", garbage);
  const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"});
  EXPECT_EQ(r.exit_status, kTableOrLoadFailed) << r.out;
  EXPECT_TRUE(starts_with(r.out, "Connecting to database: kalvynex_test\nOK\n"
                                 "Checking CALIBRATION table\nERROR ("))
      << r.out;
  EXPECT_EQ(out_dir_listing(), std::vector<std::string>{".keep"});
}

// ---------------------------------------------------------------------------
// Output faults: "Couldn't write to file", -5, an earlier file of the same
// name unchanged byte for byte, and no temporary file left behind.

class OutputFaultsTest : public FaultsTest {
 protected:
  void SetUp() override {
    FaultsTest::SetUp();
    database().create_calibration_table();
  }

  std::string demo_file() const { return out_dir() + "/" + kDemoFile; }

  void expect_save_failure(const ProcessResult& r, const std::string& file) const {
    EXPECT_EQ(r.out, loaded_prefix() + "Writing data to file (" + file +
                         ")\nCouldn't write to file (" + file + ")\n");
    EXPECT_EQ(r.exit_status, kSaveFailed);
    EXPECT_EQ(r.err, "");
  }
};

constexpr char kEarlierFile[] = "an earlier file\r\nof the same name\r\n";

TEST_P(OutputFaultsTest, MissingOutputDirectoryIsNotCreated) {
  const std::string missing = dir().path() + "/missing";
  const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00", "OUT_DIR=" + missing});
  expect_save_failure(r, missing + "/" + kDemoFile);
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_P(OutputFaultsTest, OutputDirectoryThatIsAFileIsLeftAlone) {
  const std::string not_a_dir = dir().write_file("plain-file", kEarlierFile);
  const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00", "OUT_DIR=" + not_a_dir});
  expect_save_failure(r, not_a_dir + "/" + kDemoFile);
  EXPECT_EQ(read_file_bytes(not_a_dir), kEarlierFile);
}

// A small file system of its own, mounted for one test (root only).
class ScopedTmpfs {
 public:
  ScopedTmpfs(const std::string& path, const std::string& options) : path_(path) {
    std::filesystem::create_directories(path);
    mounted_ = mount("tmpfs", path.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~ScopedTmpfs() {
    if (mounted_) umount2(path_.c_str(), MNT_DETACH);
  }
  ScopedTmpfs(const ScopedTmpfs&) = delete;
  ScopedTmpfs& operator=(const ScopedTmpfs&) = delete;

  bool mounted() const { return mounted_; }
  bool make_read_only() {
    return mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  std::string path_;
  bool mounted_ = false;
};

TEST_P(OutputFaultsTest, FullFileSystemKeepsTheEarlierFile) {
  const std::string small = dir().path() + "/small";
  ScopedTmpfs file_system(small, "size=16k,mode=0755");
  if (!file_system.mounted()) GTEST_SKIP() << "cannot mount a file system here";
  const std::string file = small + "/" + kDemoFile;
  dir().write_file(std::string("small/") + kDemoFile, kEarlierFile);
  // Fill every block that is left.
  {
    std::ofstream filler(small + "/filler", std::ios::binary);
    const std::string block(4096, 'x');
    for (int i = 0; i < 16 && filler.write(block.data(), block.size()); ++i) {
    }
  }
  const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00", "OUT_DIR=" + small});
  expect_save_failure(r, file);
  EXPECT_EQ(read_file_bytes(file), kEarlierFile);
  EXPECT_EQ(directory_entries(small), (std::vector<std::string>{kDemoFile, "filler"}));
}

TEST_P(OutputFaultsTest, ReadOnlyFileSystemKeepsTheEarlierFile) {
  const std::string frozen = dir().path() + "/frozen";
  ScopedTmpfs file_system(frozen, "size=64k,mode=0755");
  if (!file_system.mounted()) GTEST_SKIP() << "cannot mount a file system here";
  const std::string file = frozen + "/" + kDemoFile;
  dir().write_file(std::string("frozen/") + kDemoFile, kEarlierFile);
  ASSERT_TRUE(file_system.make_read_only());
  const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00", "OUT_DIR=" + frozen});
  expect_save_failure(r, file);
  EXPECT_EQ(read_file_bytes(file), kEarlierFile);
  EXPECT_EQ(directory_entries(frozen), std::vector<std::string>{kDemoFile});
}

TEST_P(OutputFaultsTest, DirectoryInThePlaceOfTheFileIsLeftAlone) {
  dir().write_file(std::string("out/") + kDemoFile + "/inside", "kept");
  const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"});
  expect_save_failure(r, demo_file());
  EXPECT_TRUE(std::filesystem::is_directory(demo_file()));
  EXPECT_EQ(read_file_bytes(demo_file() + "/inside"), "kept");
  EXPECT_EQ(out_dir_listing(), (std::vector<std::string>{".keep", kDemoFile}));
}

// The system refuses to let the file grow past a few bytes (the limit
// signal ignored, so the write itself fails).
TEST_P(OutputFaultsTest, FailedWriteKeepsTheEarlierFile) {
  dir().write_file(std::string("out/") + kDemoFile, kEarlierFile);
  ProcessOptions options;
  options.before_exec = [] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{16, 16};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(120);
  };
  const ProcessResult r = run_connected({"SELECT=ABC:BHZ:XX:00"}, options);
  expect_save_failure(r, demo_file());
  EXPECT_EQ(read_file_bytes(demo_file()), kEarlierFile);
  EXPECT_EQ(out_dir_listing(), (std::vector<std::string>{".keep", kDemoFile}));
}

constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

// The first of `paths` that user nobody may not use as asked (access(2)
// modes, e.g. R_OK), as a message; empty when it may use them all. A private
// folder on the way (a checkout under a 0700 home, a private TMPDIR) keeps
// the other user out whatever the test sets up.
std::string barred_to_nobody(const std::vector<std::pair<std::string, int>>& paths) {
  for (const auto& [path, mode] : paths) {
    const pid_t pid = fork();
    if (pid < 0) return "cannot fork";
    if (pid == 0) {
      if (setgroups(0, nullptr) != 0 || setgid(kNoGroup) != 0 || setuid(kNobody) != 0) _exit(2);
      _exit(access(path.c_str(), mode) == 0 ? 0 : 1);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 2) {
      return "cannot check as user nobody";
    }
    if (WEXITSTATUS(status) != 0) return "user nobody cannot reach " + path;
  }
  return "";
}

// A user who may read the program, its settings and the database but not
// write into the output directory.
TEST_P(OutputFaultsTest, UnwritableDirectoryKeepsTheEarlierFile) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
  dir().write_file(std::string("out/") + kDemoFile, kEarlierFile);
  // The program is copied beside its settings, so that every directory on
  // its path is open to the other user.
  const std::string program = dir().path() + "/kalvynex";
  std::filesystem::copy_file(KALVYNEX_BINARY, program);
  for (const std::string& path : {dir().path(), program}) {
    ASSERT_EQ(chmod(path.c_str(), 0755), 0) << path;
  }
  // unixODBC reads the DSN's properties from a user DSN file only when it
  // may also open that file for writing; the file is handed over.
  const std::string odbc_ini = dir().path() + "/odbc.ini";
  ASSERT_EQ(chown(odbc_ini.c_str(), kNobody, kNoGroup), 0);
  const std::string sqlite_file = dir().path() + "/calibration.sqlite";
  if (std::filesystem::exists(sqlite_file)) {
    ASSERT_EQ(chmod(sqlite_file.c_str(), 0644), 0);
  }
  ASSERT_EQ(chmod(out_dir().c_str(), 0755), 0);
  // The driver entries the program reads, as unixODBC finds them.
  const char* const odbcsysini = std::getenv("ODBCSYSINI");
  const std::string odbcinst_ini =
      (odbcsysini != nullptr && *odbcsysini != '\0' ? std::string(odbcsysini) : "/etc") +
      "/odbcinst.ini";
  std::vector<std::pair<std::string, int>> needed = {
      {program, X_OK}, {odbc_ini, R_OK}, {odbcinst_ini, R_OK}, {out_dir(), X_OK}};
  if (std::filesystem::exists(sqlite_file)) needed.emplace_back(sqlite_file, R_OK);
  const std::string barred = barred_to_nobody(needed);
  if (!barred.empty()) GTEST_SKIP() << barred;

  ProcessOptions options;
  options.environment["ODBCINI"] = odbc_ini;
  options.environment["QEV"] = std::nullopt;
  options.environment["WINDIR"] = std::nullopt;
  options.environment["HOME"] = dir().path();
  options.working_directory = dir().path();
  options.before_exec = [] {
    if (setgroups(0, nullptr) != 0 || setgid(kNoGroup) != 0 || setuid(kNobody) != 0) _exit(120);
  };
  std::vector<std::string> arguments = connection_arguments();
  arguments.push_back("SELECT=ABC:BHZ:XX:00");
  const ProcessResult r = run_process(program, arguments, options);
  expect_save_failure(r, demo_file());
  EXPECT_EQ(read_file_bytes(demo_file()), kEarlierFile);
  EXPECT_EQ(out_dir_listing(), (std::vector<std::string>{".keep", kDemoFile}));
}

// Many runs on the same channel and directory at once: each succeeds, the
// file is always whole for a reader (never empty or half written), and no
// temporary file is left.
TEST_P(OutputFaultsTest, ManyRunsAtOnceLeaveOneWholeFile) {
  const std::string single = dir().path() + "/single";
  dir().write_file("single/.keep", "");
  const ProcessResult first = run_connected({"SELECT=ABC:BHZ:XX:00", "OUT_DIR=" + single});
  ASSERT_EQ(first.exit_status, 0) << first.out;
  const std::string expected = read_file_bytes(single + "/" + kDemoFile);
  ASSERT_FALSE(expected.empty());
  dir().write_file(std::string("out/") + kDemoFile, expected);

  constexpr int kRuns = 50;
  std::vector<std::future<ProcessResult>> runs;
  for (int i = 0; i < kRuns; ++i) {
    runs.push_back(std::async(std::launch::async,
                              [this] { return run_connected({"SELECT=ABC:BHZ:XX:00"}); }));
  }
  int reads = 0;
  int bad_reads = 0;
  const auto all_done = [&runs] {
    return std::all_of(runs.begin(), runs.end(), [](const std::future<ProcessResult>& f) {
      return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    });
  };
  while (!all_done()) {
    ++reads;
    if (read_file_bytes(demo_file()) != expected) ++bad_reads;
  }
  const std::string success = loaded_prefix() + "Writing data to file (" + demo_file() +
                              ")\nOK\n\nOUTPUT FILENAME: " + demo_file() + "\n";
  for (std::future<ProcessResult>& run_result : runs) {
    const ProcessResult r = run_result.get();
    EXPECT_EQ(r.exit_status, 0) << r.out;
    EXPECT_EQ(r.out, success);
  }
  EXPECT_EQ(bad_reads, 0) << "of " << reads << " reads during the runs";
  EXPECT_EQ(read_file_bytes(demo_file()), expected);
  EXPECT_EQ(out_dir_listing(), (std::vector<std::string>{".keep", kDemoFile}));
}

INSTANTIATE_TEST_SUITE_P(Backends, OutputFaultsTest, ::testing::ValuesIn(available_backends()),
                         backend_test_name);

// ---------------------------------------------------------------------------
// Channel codes reach the database as plain text: no character of a code
// can change the query, act as a pattern or cause a database error, and no
// code finds another channel's data.

class HostileCodesTest : public FaultsTest {
 protected:
  // The result of SELECT=`select`, where `mark` names the channel whose
  // data must be written (empty: nothing may be found).
  void expect_run(const std::string& select, const std::string& mark) {
    SCOPED_TRACE("SELECT=" + select);
    const ProcessResult r = run_connected({"SELECT=" + select});
    const std::string loading = connected_prefix(kDsn) + "Loading data (" + select +
                                ") from database\n";
    EXPECT_EQ(r.err, "");
    if (mark.empty()) {
      EXPECT_EQ(r.out, loading + "NOT FOUND: " + select + " ()\n\n");
      EXPECT_EQ(r.exit_status, 1);
      EXPECT_EQ(out_dir_listing(), std::vector<std::string>{".keep"});
      return;
    }
    std::string name = select;
    std::replace(name.begin(), name.end(), ':', '_');
    const std::string file = out_dir() + "/" + name + "_20010101.sac";
    EXPECT_EQ(r.out, loading + "OK\nWriting data to file (" + file + ")\nOK\n\nOUTPUT FILENAME: " +
                         file + "\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_NE(read_file_bytes(file).find("\r\n* " + mark + "\r\n"), std::string::npos)
        << read_file_bytes(file);
    std::filesystem::remove(file);
  }
};

TEST_P(HostileCodesTest, CodesAreMatchedExactlyAsText) {
  database().create_calibration_table();
  const struct {
    const char* sta;
    const char* mark;
  } stored[] = {
      {"A'C", "apostrophe"}, {"A;C", "semicolon"},    {"A\\C", "backslash"},
      {"A%C", "percent"},    {"A_C", "underscore"},   {"AXC", "plain"},
      {"A\"C", "quote"},     {"A C", "blank"},        {"\xc3\xa9t\xc3\xa9", "utf-8"},
  };
  for (const auto& s : stored) insert_marked_channel(database(), s.sta, s.mark);

  const struct {
    const char* select;
    const char* mark;  // empty: NOT FOUND
  } cases[] = {
      {"A'C:BHZ:XX:00", "apostrophe"},
      {"A;C:BHZ:XX:00", "semicolon"},
      {"A\\C:BHZ:XX:00", "backslash"},
      {"A%C:BHZ:XX:00", "percent"},
      {"A_C:BHZ:XX:00", "underscore"},
      {"A\"C:BHZ:XX:00", "quote"},
      {"A C:BHZ:XX:00", "blank"},
      {"\xc3\xa9t\xc3\xa9:BHZ:XX:00", "utf-8"},
      // Wildcards of LIKE and GLOB match nothing but themselves.
      {"A%:BHZ:XX:00", ""},
      {"%:%:%:%", ""},
      {"A__:BHZ:XX:00", ""},
      {"_BC:BHZ:XX:00", ""},
      {"A*C:BHZ:XX:00", ""},
      {"A?C:BHZ:XX:00", ""},
      {"ABC:BH%:XX:00", ""},
      {"ABC:BHZ:X_:00", ""},
      {"ABC:BHZ:XX:0%", ""},
      // Attempts to close the text and change the statement.
      {"'OR''=':'OR''=':'OR''=':'OR''='", ""},
      {"A';--:BHZ:XX:00", ""},
      {"A\\';--:BHZ:XX:00", ""},
      {"A'||'C:BHZ:XX:00", ""},
      {"ABC:BHZ:XX:00';", ""},
      // Blanks and letter case count.
      {"ABC :BHZ:XX:00", ""},
      {" ABC:BHZ:XX:00", ""},
      {"abc:BHZ:XX:00", ""},
      // Bytes beyond ASCII, valid UTF-8 or not: a code that the database
      // cannot even represent names no channel there.
      {"ete:BHZ:XX:00", ""},
      {"\xc3\xa9t\xc3:BHZ:XX:00", ""},
      {"\xe9t\xe9:BHZ:XX:00", ""},
      {"\xff:BHZ:XX:00", ""},
      {"ABC:\xff\xfe:XX:00", ""},
      {"ABC:BHZ:\xc0\xaf:00", ""},
      {"ABC:BHZ:XX:\x80", ""},
      {"ABC:BHZ:XX:\xed\xa0\x80", ""},  // a UTF-16 surrogate in UTF-8 form
  };
  for (const auto& c : cases) expect_run(c.select, c.mark);
}

// SQLite compares bytes: a code stored with bytes that are no valid UTF-8
// is found by exactly those bytes.
TEST_P(HostileCodesTest, RawByteCodesAreFoundByTheirBytes) {
  if (backend() != Backend::SQLite) GTEST_SKIP() << "a UTF-8 database cannot store such codes";
  database().create_calibration_table();
  insert_marked_channel(database(), "\xff", "byte ff");
  insert_marked_channel(database(), "\xe9t\xe9", "latin-1");
  expect_run("\xff:BHZ:XX:00", "byte ff");
  expect_run("\xe9t\xe9:BHZ:XX:00", "latin-1");
  expect_run("\xfe:BHZ:XX:00", "");
  expect_run("\xc3\xa9t\xc3\xa9:BHZ:XX:00", "");
}

// Codes longer than seven bytes, and codes that would lead the file out of
// the output directory or split a line ("/", control bytes), are refused
// before anything else happens, even when such a channel is stored.
TEST_P(HostileCodesTest, LongCodesAreRefusedBeforeConnecting) {
  database().create_calibration_table();
  for (const char* sta : {"../../x", "/tmp/p", "A\nB", "A\x7f"}) {
    insert_marked_channel(database(), sta, "stored");
  }
  const std::string selects[] = {
      "ABCDEFGH:BHZ:XX:00",
      "ABC:BHZ:XX:00000000",
      "ABC:BHZ:XXXXXXXX:00",
      "ABC:BHZBHZBHZ:XX:00",
      "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9:BHZ:XX:00",  // four letters, eight bytes
      "A' OR '1'='1:BHZ:XX:00",
      "../../x:BHZ:XX:00",
      "/tmp/p:BHZ:XX:00",
      "A\nB:BHZ:XX:00",
      "A\x7f:BHZ:XX:00",
      "ABC:BHZ:XX:0\t",
      "ABC:BHZ:X\rX:00",
      "ABC:B/Z:XX:00",
  };
  for (const std::string& select : selects) {
    SCOPED_TRACE(select);
    const ProcessResult r = run_connected({"SELECT=" + select});
    EXPECT_EQ(r.out, "Incorrect [SELECT=] param\n");
    EXPECT_EQ(r.exit_status, kBadSelect);
  }
  EXPECT_EQ(out_dir_listing(), std::vector<std::string>{".keep"});
  // Seven bytes are still a code.
  expect_run("ABCDEFG:BHZ:XX:00", "");
}

INSTANTIATE_TEST_SUITE_P(Backends, HostileCodesTest, ::testing::ValuesIn(available_backends()),
                         backend_test_name);

INSTANTIATE_TEST_SUITE_P(Backends, FaultsTest, ::testing::ValuesIn(available_backends()),
                         backend_test_name);

}  // namespace
}  // namespace kalvynex

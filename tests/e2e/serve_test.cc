// kalvynex-inventory serve over HTTP against a SQLite scratch database:
// what each kind of request is answered, and that hostile connections
// neither stop other clients nor hold the service.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/scratch_db.h"
#include "tests/support/service_process.h"
#include "tests/support/temp_dir.h"

namespace kalvynex {
namespace {

using Clock = std::chrono::steady_clock;

class ServeTest : public ::testing::Test {
 protected:
  static constexpr const char* kDsn = "kalvynex_serve";

  void SetUp() override {
    database_ = std::make_unique<ScratchDatabase>(Backend::SQLite, dir_.path());
    database_->create_calibration_table();
    dir_.write_file("odbc.ini", database_->odbc_ini_section(kDsn));
  }

  void start(const std::string& workers = "2") {
    ProcessOptions options;
    options.environment.emplace("ODBCINI", dir_.path() + "/odbc.ini");
    options.environment.emplace("QEV", std::nullopt);
    options.environment.emplace("WINDIR", std::nullopt);
    options.environment.emplace("SOURCE_DATE_EPOCH", "1700000000");
    options.argument0 = dir_.path() + "/kalvynex-inventory";
    options.working_directory = dir_.path();
    service_ = std::make_unique<ServiceProcess>(
        std::vector<std::string>{"--dsn", kDsn, "--workers", workers}, options);
  }

  // Stops the service as its unit would: it must end by itself, status 0.
  void TearDown() override {
    if (!service_) return;
    EXPECT_EQ(service_->stop(SIGTERM), 0) << service_->err();
  }

  HttpReply get(const std::string& target) {
    return http_exchange(service_->port(), http_request("GET", target));
  }

  TempDir dir_;
  std::unique_ptr<ScratchDatabase> database_;
  std::unique_ptr<ServiceProcess> service_;
};

struct Exchange {
  const char* name;
  std::string request;
  int status;
  const char* content_type;  // its start; "" for none
  const char* body_start;    // the start of the body's first line
};

const std::string kQuery = "/fdsnws/station/1/query";
const std::string kPeriod = "/viewer/1/period?net=XX&sta=ABC&loc=00&cha=BHZ";

TEST_F(ServeTest, AnswersEachKindOfRequest) {
  start();
  std::string many_parameters = kQuery + "?";
  for (int i = 0; i < 10000; ++i) many_parameters += "n=1&";
  std::string two_thousand = kQuery + "?";
  for (int i = 0; i < 2000; ++i) two_thousand += "n&";
  const std::string long_target = kQuery + "?net=" + std::string(20000, 'A');
  const std::string huge_target = kQuery + "?net=" + std::string(1000000, 'A');
  const std::string error400 = "Error 400: Bad Request";

  const std::vector<Exchange> table = {
      {"xml", http_request("GET", kQuery + "?net=XX"), 200, "application/xml", "<"},
      {"text", http_request("GET", kQuery + "?network=XX&format=text"), 200, "text/plain",
       "#Network"},
      {"head", http_request("HEAD", kQuery + "?net=XX"), 200, "application/xml", ""},
      {"post", http_request("POST", kQuery, "XX * * * 1970-01-01T00:00:00 *\n"), 200,
       "application/xml", "<"},
      {"sacpz", http_request("GET", "/sacpz/1/query?net=XX"), 200, "text/plain", ""},
      {"nothing", http_request("GET", kQuery + "?net=ZZ"), 204, "", ""},
      {"nothing 404", http_request("GET", kQuery + "?net=ZZ&nodata=404"), 404, "", ""},
      {"version", http_request("GET", "/fdsnws/station/1/version"), 200, "text/plain", "1.1.0"},
      {"wadl", http_request("GET", "/fdsnws/station/1/application.wadl"), 200, "application/xml",
       "<?xml"},
      {"unknown", http_request("GET", kQuery + "?bogus=1"), 400, "text/plain", error400.c_str()},
      {"repeated", http_request("GET", kQuery + "?net=XX&net=YY"), 400, "text/plain",
       error400.c_str()},
      {"long and short", http_request("GET", kQuery + "?net=XX&network=YY"), 400, "text/plain",
       error400.c_str()},
      {"malformed value", http_request("GET", kQuery + "?level=everything"), 400, "text/plain",
       error400.c_str()},
      {"percent cut", http_request("GET", kQuery + "?net=X%4"), 400, "text/plain",
       error400.c_str()},
      {"percent not hex", http_request("GET", kQuery + "?net=%G1"), 400, "text/plain",
       error400.c_str()},
      {"not utf-8", http_request("GET", kQuery + "?net=%FF"), 400, "text/plain",
       error400.c_str()},
      {"nul", http_request("GET", kQuery + "?net=X%00X"), 400, "text/plain", error400.c_str()},
      {"sacpz level", http_request("GET", "/sacpz/1/query?net=XX&level=channel"), 400,
       "text/plain", error400.c_str()},
      // Codes are bound as parameters: these match no channel, and change
      // nothing.
      {"injection", http_request("GET", kQuery + "?net=XX'%20OR%201=1--"), 204, "", ""},
      {"injection sta", http_request("GET", kQuery + "?sta=A';DROP%20TABLE%20CALIBRATION;--"),
       204, "", ""},
      {"2,000 parameters", http_request("GET", two_thousand), 400, "text/plain",
       error400.c_str()},
      {"page", http_request("GET", "/"), 200, "text/html", "<!DOCTYPE html>"},
      {"period", http_request("GET", kPeriod + "&start=2001-01-01T00:00:00"), 200,
       "application/json", "{"},
      {"no such period", http_request("GET", kPeriod + "&start=2001-01-02"), 404, "text/plain",
       "Error 404: Not Found"},
      {"period without codes", http_request("GET", "/viewer/1/period"), 400, "text/plain",
       error400.c_str()},
      {"put", http_request("PUT", kQuery, "x"), 405, "text/plain",
       "Error 405: Method Not Allowed"},
      {"delete", http_request("DELETE", kQuery), 405, "text/plain",
       "Error 405: Method Not Allowed"},
      {"post elsewhere", http_request("POST", "/fdsnws/station/1/version", "x"), 405,
       "text/plain", "Error 405: Method Not Allowed"},
      {"traversal", http_request("GET", "/../../etc/passwd"), 404, "text/plain",
       "Error 404: Not Found"},
      {"unknown path", http_request("GET", "/fdsnws/station/2/query"), 404, "text/plain",
       "Error 404: Not Found"},
      {"20 KB target", http_request("GET", long_target), 414, "text/plain",
       "Error 414: URI Too Long"},
      {"10,000 parameters", http_request("GET", many_parameters), 414, "text/plain",
       "Error 414: URI Too Long"},
      // Longer than a connection's memory: the library answers, with a
      // body of its own.
      {"1 MB target", http_request("GET", huge_target), 414, "", ""},
      {"2 MB body", http_request("POST", kQuery, std::string(2 << 20, 'x')), 413, "text/plain",
       "Error 413: Payload Too Large"},
      {"2 MB body, expecting 100-continue",
       "POST " + kQuery + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Length: 2097152" +
           "\r\nExpect: 100-continue\r\n\r\n",
       413, "text/plain", "Error 413: Payload Too Large"},
  };
  for (const Exchange& e : table) {
    SCOPED_TRACE(e.name);
    HttpReply reply = http_exchange(service_->port(), e.request);
    EXPECT_EQ(reply.status, e.status);
    if (e.request.rfind("HEAD", 0) != 0) {
      EXPECT_TRUE(reply.complete);
    }
    if (e.status == 414 && *e.content_type == '\0') continue;
    EXPECT_EQ(reply.headers["access-control-allow-origin"], "*");
    EXPECT_EQ(reply.headers["content-type"].rfind(e.content_type, 0), 0u)
        << reply.headers["content-type"];
    if (e.status == 204 || (e.status == 404 && *e.content_type == '\0')) {
      EXPECT_EQ(reply.body, "");
    }
    EXPECT_EQ(first_line(reply.body).rfind(e.body_start, 0), 0u) << first_line(reply.body);
    // No answer repeats the database's own words.
    EXPECT_EQ(reply.body.find("SQL"), std::string::npos);
  }
  // The injections changed nothing.
  EXPECT_EQ(get(kQuery + "?net=XX").status, 200);

  // One access-log line per request: the path without its control bytes.
  http_exchange(service_->port(), http_request("GET", "/a\x1b[2Jb"));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const std::string log = service_->err();
  EXPECT_NE(log.find(" 127.0.0.1 GET /fdsnws/station/1/version 200 6 "), std::string::npos)
      << log;
  EXPECT_EQ(log.find('\x1b'), std::string::npos);
  EXPECT_NE(log.find("/a\\x1b[2Jb 404"), std::string::npos);
}

// An error document names the request and the service: the whole layout.
TEST_F(ServeTest, ErrorDocumentNamesTheRequest) {
  start();
  const HttpReply reply = get(kQuery + "?bogus=1");
  ASSERT_EQ(reply.status, 400);
  const std::string base = "http://127.0.0.1:" + std::to_string(service_->port()) + "/";
  const std::string expected_start = "Error 400: Bad Request\n\n";
  EXPECT_EQ(reply.body.rfind(expected_start, 0), 0u) << reply.body;
  EXPECT_NE(reply.body.find("\n\nUsage details are available from " + base + "\n\nRequest:\n" +
                            base.substr(0, base.size() - 1) + kQuery +
                            "?bogus=1\n\nRequest Submitted:\n"),
            std::string::npos)
      << reply.body;
  EXPECT_NE(reply.body.find("\n\nService version:\n1.1.0\n"), std::string::npos) << reply.body;
}

// A client that sends a byte a second and fifty that send nothing: the
// others are answered all along, and each of those is cut off with a 408
// once its request has taken 10 seconds.
TEST_F(ServeTest, HostileConnectionsDoNotHoldTheService) {
  start();
  std::vector<int> idle;
  for (int i = 0; i < 50; ++i) {
    const int fd = connect_local(service_->port());
    ASSERT_GE(fd, 0);
    idle.push_back(fd);
  }
  const int slow = connect_local(service_->port());
  ASSERT_GE(slow, 0);
  timeval tick{0, 10000};
  setsockopt(slow, SOL_SOCKET, SO_RCVTIMEO, &tick, sizeof tick);
  const std::string request = http_request("GET", "/fdsnws/station/1/version");
  const auto start = Clock::now();
  std::string answer;
  double cut_after = -1;
  int answered = 0;
  for (std::size_t i = 0; Clock::now() - start < std::chrono::seconds(20); ++i) {
    if (send(slow, request.data() + i % request.size(), 1, MSG_NOSIGNAL) != 1) {
      cut_after = std::chrono::duration<double>(Clock::now() - start).count();
      break;
    }
    char buffer[4096];
    const ssize_t n = recv(slow, buffer, sizeof buffer, 0);
    if (n > 0) answer.append(buffer, static_cast<std::size_t>(n));
    if (n == 0) {
      cut_after = std::chrono::duration<double>(Clock::now() - start).count();
      break;
    }
    // Meanwhile the service answers others at once.
    const auto asked = Clock::now();
    EXPECT_EQ(get(kQuery + "?net=XX").status, 200);
    EXPECT_LT(Clock::now() - asked, std::chrono::seconds(2));
    ++answered;
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
  }
  close(slow);
  EXPECT_GE(cut_after, 10.0);
  EXPECT_LT(cut_after, 12.5);
  EXPECT_EQ(answer.rfind("HTTP/1.1 408 Request Timeout\r\n", 0), 0u) << answer;
  EXPECT_GE(answered, 9);
  // The idle ones were cut off too.
  for (const int fd : idle) {
    char buffer[4096];
    EXPECT_GT(recv(fd, buffer, sizeof buffer, MSG_DONTWAIT), 0);
    close(fd);
  }
}

// A client that leaves in the middle of a long answer frees the only
// database connection at once: the next query is answered, not kept
// waiting for a connection that a blocked document holds.
TEST_F(ServeTest, ClientLeavingFreesItsConnection) {
  database_->execute(
      "INSERT INTO CALIBRATION WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n "
      "WHERE i < 2999) SELECT 'BG', '00', 'S' || (i / 100), 'BHZ', "
      "printf('%04d-01-01 00:00:00', 1000 + i % 100), printf('%04d-12-31 00:00:00', 1000 + i % "
      "100), SENS, ID_SENS, FREQ, ID_FREQ, SAC, FAP, LDDATE FROM n, (SELECT * FROM CALIBRATION "
      "WHERE STA = 'ABC' AND CHAN = 'BHZ' LIMIT 1)");
  start("1");
  const int fd = connect_local(service_->port());
  ASSERT_GE(fd, 0);
  const std::string request = http_request("GET", kQuery + "?net=BG&level=response");
  ASSERT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(request.size()));
  char buffer[1024];
  ASSERT_GT(recv(fd, buffer, sizeof buffer, 0), 0);
  close(fd);
  const auto asked = Clock::now();
  EXPECT_EQ(get(kQuery + "?net=XX").status, 200);
  EXPECT_LT(Clock::now() - asked, std::chrono::seconds(5));
}

// SIGTERM in the middle of an answer: the answer is sent whole, no new
// connection is taken, and the service ends with status 0.
TEST_F(ServeTest, StopsAfterTheAnswersUnderWay) {
  database_->execute(
      "INSERT INTO CALIBRATION WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n "
      "WHERE i < 999) SELECT 'BG', '00', 'S' || (i / 100), 'BHZ', "
      "printf('%04d-01-01 00:00:00', 1000 + i % 100), printf('%04d-12-31 00:00:00', 1000 + i % "
      "100), SENS, ID_SENS, FREQ, ID_FREQ, SAC, FAP, LDDATE FROM n, (SELECT * FROM CALIBRATION "
      "WHERE STA = 'ABC' AND CHAN = 'BHZ' LIMIT 1)");
  start();
  const int fd = connect_local(service_->port());
  ASSERT_GE(fd, 0);
  const std::string request =
      http_request("GET", kQuery + "?net=BG&level=response");
  ASSERT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(request.size()));
  std::string raw;
  char buffer[4096];
  ssize_t n = recv(fd, buffer, sizeof buffer, 0);
  ASSERT_GT(n, 0);
  raw.append(buffer, static_cast<std::size_t>(n));
  service_->signal(SIGTERM);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_LT(connect_local(service_->port()), 0);
  while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) {
    raw.append(buffer, static_cast<std::size_t>(n));
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  close(fd);
  EXPECT_EQ(raw.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  // The chunked body's last chunk came.
  EXPECT_EQ(raw.substr(raw.size() - 5), "0\r\n\r\n");
}

// While the database is away the queries are answered 503 with a line of
// the service's own (the driver's words go to the log only); once it is
// back, the next query is answered without a restart.
TEST_F(ServeTest, ComesBackAfterTheDatabase) {
  const std::string file = database_->database_name();
  ASSERT_EQ(std::rename(file.c_str(), (file + ".away").c_str()), 0);
  start("1");
  const HttpReply away = get(kQuery + "?net=XX");
  EXPECT_EQ(away.status, 503);
  EXPECT_EQ(away.body.substr(0, away.body.find("\n\nUsage")),
            "Error 503: Service Unavailable\n\nDatabase unavailable; try again later");
  EXPECT_NE(service_->err().find("CALIBRATION"), std::string::npos) << service_->err();
  ASSERT_EQ(std::rename((file + ".away").c_str(), file.c_str()), 0);
  EXPECT_EQ(get(kQuery + "?net=XX").status, 200);
}

}  // namespace
}  // namespace kalvynex

// The station service's parts without a database: the error document, the
// query string's decoding, serve's options, the catalog pool, the stream
// between a document's writer and the connection, and what the server
// tells a handler about its client.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "inventory/catalog_pool.h"
#include "inventory/fdsn_error.h"
#include "inventory/http_service.h"
#include "inventory/options.h"
#include "tests/support/fake_catalog.h"
#include "tests/support/service_process.h"

namespace kalvynex {
namespace {

TEST(FdsnErrorTest, Document) {
  FdsnError error;
  error.status = 413;
  error.explanation = "Too long";
  error.base_url = "http://example.org/";
  error.request = "http://example.org/fdsnws/station/1/query";
  error.submitted = 1700000000;
  EXPECT_EQ(fdsn_error_document(error),
            "Error 413: Payload Too Large\n\nToo long\n\n"
            "Usage details are available from http://example.org/\n\n"
            "Request:\nhttp://example.org/fdsnws/station/1/query\n\n"
            "Request Submitted:\n2023-11-14T22:13:20Z\n\n"
            "Service version:\n1.1.0\n");
  // A line break in the explanation or the request cannot start a line.
  error.explanation = "a\nError 200: OK";
  error.request = "/q?x=\r\n";
  const std::string document = fdsn_error_document(error);
  EXPECT_NE(document.find("\n\na\\x0aError 200: OK\n\n"), std::string::npos) << document;
  EXPECT_NE(document.find("Request:\n/q?x=\\x0d\\x0a\n"), std::string::npos) << document;
}

TEST(FdsnErrorTest, OneLineText) {
  const struct {
    std::string text;
    std::size_t limit;
    std::string expected;
  } rows[] = {
      {"abc", 3, "abc"},
      {"abcd", 3, "abc..."},
      {"", 0, ""},
      // A character is never split: "é" is two bytes.
      {"ab\xc3\xa9", 4, "ab\xc3\xa9"},
      {"ab\xc3\xa9z", 3, "ab..."},
      {"ab\xc3\xa9z", 4, "ab\xc3\xa9..."},
      // Controls, C1, bad bytes and the backslash are escaped after the cut.
      {"\x1b[2J", 10, "\\x1b[2J"},
      {"\xc2\x9b" "1", 10, "\\xc2\\x9b1"},
      {"a\xff", 10, "a\\xff"},
      {"a\\b", 10, "a\\\\b"},
      {"\x7f\x7f\x7f", 2, "\\x7f\\x7f..."},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(one_line_text(row.text, row.limit), row.expected) << row.text;
  }
}

TEST(DecodeFormTest, Fields) {
  const struct {
    std::string query;
    std::vector<std::pair<std::string, std::string>> fields;
    std::string error;  // empty: read
  } rows[] = {
      {"", {}, ""},
      {"a=1&b=2", {{"a", "1"}, {"b", "2"}}, ""},
      {"&&a=1&", {{"a", "1"}}, ""},
      {"a", {{"a", ""}}, ""},
      {"a=b=c", {{"a", "b=c"}}, ""},
      {"a+b=%41%2c%2C+", {{"a b", "A,, "}}, ""},
      {"net=%C3%A9", {{"net", "\xc3\xa9"}}, ""},
      {"net=%4", {}, "Malformed percent-encoding in the query: %4"},
      {"net=%4&x=1", {}, "Malformed percent-encoding in the query: %4"},
      {"net=%", {}, "Malformed percent-encoding in the query: %"},
      {"net=%G1", {}, "Malformed percent-encoding in the query: %G1"},
      {"n%ZZ=1", {}, "Malformed percent-encoding in the query: %ZZ"},
      {"net=%FF", {}, "A parameter that is not UTF-8: \xff"},
      {"net=%C3", {}, "A parameter that is not UTF-8: \xc3"},
      {"net=X%00", {}, std::string("A control character in a parameter: X\0", 38)},
      {"net=%1F", {}, "A control character in a parameter: \x1f"},
      {"net=%7F", {}, "A control character in a parameter: \x7f"},
      {"net=%20", {{"net", " "}}, ""},
  };
  for (const auto& row : rows) {
    std::vector<FormField> fields;
    std::string error;
    EXPECT_EQ(decode_form(row.query, &fields, &error), row.error.empty()) << row.query;
    EXPECT_EQ(error, row.error) << row.query;
    if (!row.error.empty()) continue;
    ASSERT_EQ(fields.size(), row.fields.size()) << row.query;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      EXPECT_EQ(fields[i].name, row.fields[i].first) << row.query;
      EXPECT_EQ(fields[i].value, row.fields[i].second) << row.query;
    }
  }
}

TEST(ServeOptionsTest, CommandLine) {
  const std::string bad_listen =
      "serve: invalid listen address '%s' (ADDRESS:PORT with a numeric address, e.g. "
      "127.0.0.1:8080 or [::1]:8080)";
  auto listen_error = [&](const std::string& address) {
    std::string text = bad_listen;
    return text.replace(text.find("%s"), 2, address);
  };
  const struct {
    std::vector<std::string> args;
    std::string error;  // empty: accepted
    std::string listen;
    int workers;
  } rows[] = {
      {{"serve"}, "", "127.0.0.1:8080", 4},
      {{"serve", "--listen", "[::1]:8081", "--workers", "1"}, "", "[::1]:8081", 1},
      {{"serve", "--listen=0.0.0.0:65535", "--workers=64"}, "", "0.0.0.0:65535", 64},
      {{"serve", "--listen", "127.0.0.1:0", "--stations", "s.csv", "--base-url", "http://x/"},
       "", "127.0.0.1:0", 4},
      {{"serve", "--workers", "0"}, "serve: invalid --workers '0' (a number from 1 to 64)", "", 0},
      {{"serve", "--workers", "65"}, "serve: invalid --workers '65' (a number from 1 to 64)", "",
       0},
      {{"serve", "--workers", "4x"}, "serve: invalid --workers '4x' (a number from 1 to 64)", "",
       0},
      {{"serve", "--workers", ""}, "serve: invalid --workers '' (a number from 1 to 64)", "", 0},
      {{"serve", "--workers", "004"}, "serve: invalid --workers '004' (a number from 1 to 64)",
       "", 0},
      {{"serve", "--listen", "127.0.0.1:65536"}, listen_error("127.0.0.1:65536"), "", 0},
      {{"serve", "--listen", "localhost:80"}, listen_error("localhost:80"), "", 0},
      {{"serve", "--listen", "::1:80"}, listen_error("::1:80"), "", 0},
      {{"serve", "--listen", "127.0.0.1"}, listen_error("127.0.0.1"), "", 0},
      {{"serve", "--listen", "127.0.0.1:-1"}, listen_error("127.0.0.1:-1"), "", 0},
      {{"serve", "--listen", "[127.0.0.1]:80"}, listen_error("[127.0.0.1]:80"), "", 0},
      {{"-n", "XX", "serve"},
       "serve: the requests select; -n, -s, -l, -c, --time, --start and --end belong to list, "
       "export and check",
       "", 0},
      {{"--time", "2020-01-01", "serve"},
       "serve: the requests select; -n, -s, -l, -c, --time, --start and --end belong to list, "
       "export and check",
       "", 0},
      {{"-f", "text", "serve"},
       "serve: --format, --output and --type-out belong to list, export and check", "", 0},
      {{"--listen", "127.0.0.1:80", "list"}, "--listen belongs to serve", "", 0},
      {{"--workers", "2", "export", "-f", "sacpz"}, "--workers belongs to serve", "", 0},
      {{"--base-url", "http://x/", "check"}, "--base-url belongs to serve", "", 0},
      {{"--stations", "s.csv", "list"},
       "--stations belongs to export --format sacpz or stationxml, and to serve", "", 0},
  };
  for (const auto& row : rows) {
    std::vector<std::string> words = {"kalvynex-inventory"};
    words.insert(words.end(), row.args.begin(), row.args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    InventoryOptions options;
    std::string error;
    const bool read = parse_inventory_options(static_cast<int>(words.size()), argv.data(),
                                              &options, &error);
    const std::string where = row.args.size() > 2 ? row.args[1] + " " + row.args[2] : row.args[0];
    EXPECT_EQ(read, row.error.empty()) << where;
    EXPECT_EQ(error, row.error) << where;
    if (!row.error.empty()) continue;
    EXPECT_EQ(options.command, InventoryCommand::kServe) << where;
    EXPECT_EQ(options.listen, row.listen) << where;
    EXPECT_EQ(options.workers, row.workers) << where;
  }
}

TEST(ListenAddressTest, Parts) {
  ListenAddress address;
  std::string error;
  ASSERT_TRUE(parse_listen_address("[::1]:8080", &address, &error));
  EXPECT_EQ(address.host, "::1");
  EXPECT_TRUE(address.ipv6);
  EXPECT_EQ(listen_url(address), "http://[::1]:8080/");
  ASSERT_TRUE(parse_listen_address("10.0.0.2:0", &address, &error));
  EXPECT_FALSE(address.ipv6);
  EXPECT_EQ(listen_url(address), "http://10.0.0.2:0/");
}

// Catalogs that fail to connect while `down` says so.
struct CatalogMaker {
  bool down = false;
  int made = 0;
  std::unique_ptr<PeriodCatalog> operator()() {
    ++made;
    auto catalog = std::make_unique<FakeCatalog>(std::vector<FakePeriod>());
    if (down) catalog->fail(CatalogCall::kConnect, Status::failure(Stage::kConnect, "refused"));
    return catalog;
  }
};

TEST(CatalogPoolTest, LendsEachCatalogOnceAndWaitsForIt) {
  CatalogMaker maker;
  CatalogPool pool(2, ConnectionParameters(), [&maker] { return maker(); });
  CatalogPool::Lease a = pool.acquire(std::chrono::milliseconds(0));
  CatalogPool::Lease b = pool.acquire(std::chrono::milliseconds(0));
  ASSERT_TRUE(a && b);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(pool.acquire(std::chrono::milliseconds(100)));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  // One given back while another waits: the waiter has it.
  std::thread giver([&a] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    a = CatalogPool::Lease();
  });
  EXPECT_TRUE(pool.acquire(std::chrono::seconds(10)));
  giver.join();
}

TEST(CatalogPoolTest, ConnectsAgainAfterAFailure) {
  CatalogMaker maker;
  CatalogPool pool(1, ConnectionParameters(), [&maker] { return maker(); });
  maker.down = true;
  {
    CatalogPool::Lease lease = pool.acquire(std::chrono::milliseconds(0));
    EXPECT_EQ(lease.ready().stage(), Stage::kConnect);
  }
  maker.down = false;
  {
    CatalogPool::Lease lease = pool.acquire(std::chrono::milliseconds(0));
    EXPECT_TRUE(lease.ready().ok());
    EXPECT_TRUE(lease.ready().ok());  // connected once only
    EXPECT_EQ(maker.made, 2);
    lease.discard();  // a call failed
  }
  CatalogPool::Lease lease = pool.acquire(std::chrono::milliseconds(0));
  EXPECT_TRUE(lease.ready().ok());
  EXPECT_EQ(maker.made, 3);
}

// Requests are served in the order they asked: a catalog given back goes to
// the oldest waiter, not to whoever asks at that moment; a waiter that
// abandons leaves the queue without taking the next catalog with it.
TEST(CatalogPoolTest, ServesWaitersInOrderAndLetsThemLeave) {
  using std::chrono::milliseconds;
  CatalogMaker maker;
  CatalogPool pool(1, ConnectionParameters(), [&maker] { return maker(); });
  CatalogPool::Lease held = pool.acquire(milliseconds(0));
  ASSERT_TRUE(held);
  std::atomic<bool> leave{false};
  std::atomic<int> leaver_got{-1};
  std::atomic<long long> leaver_ms{-1};
  std::vector<int> order;
  std::mutex order_mutex;
  auto waiter = [&](int id) {
    CatalogPool::Lease lease = pool.acquire(std::chrono::seconds(10));
    std::lock_guard<std::mutex> lock(order_mutex);
    order.push_back(lease ? id : -id);
  };
  // The first in the queue gives up; the two behind it are served in turn.
  std::thread leaver([&] {
    const auto start = std::chrono::steady_clock::now();
    CatalogPool::Lease lease = pool.acquire(std::chrono::seconds(10), [&] { return leave.load(); });
    leaver_got = lease ? 1 : 0;
    leaver_ms = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start)
                    .count();
  });
  std::this_thread::sleep_for(milliseconds(50));
  std::thread first(waiter, 1);
  std::this_thread::sleep_for(milliseconds(50));
  std::thread second(waiter, 2);
  std::this_thread::sleep_for(milliseconds(50));
  leave = true;
  leaver.join();
  EXPECT_EQ(leaver_got, 0);
  EXPECT_LT(leaver_ms, 1000);
  held = CatalogPool::Lease();
  // Handed to the first waiter: a newcomer finds none free.
  EXPECT_FALSE(pool.acquire(milliseconds(0)));
  first.join();
  second.join();
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_TRUE(pool.acquire(milliseconds(0)));
}

TEST(BodyStreamTest, BoundedBetweenWriterAndReader) {
  BodyStream stream(4);
  std::thread writer([&stream] {
    stream.open();
    EXPECT_TRUE(stream.write("0123456789"));
    stream.finish(true);
  });
  EXPECT_TRUE(stream.wait_opened());
  std::string read;
  char buffer[16];
  for (;;) {
    const long n = stream.read(buffer, sizeof buffer, std::chrono::seconds(10));
    if (n < 0) {
      EXPECT_EQ(n, -1);
      break;
    }
    // Never more than the capacity waits.
    EXPECT_LE(n, 4);
    read.append(buffer, static_cast<std::size_t>(n));
  }
  writer.join();
  EXPECT_EQ(read, "0123456789");
  EXPECT_EQ(stream.bytes_read(), 10u);
}

TEST(BodyStreamTest, EndsForBothSides) {
  {
    // The reader gone: the writer's waiting write fails, and so do later ones.
    BodyStream stream(4);
    std::thread writer([&stream] { EXPECT_FALSE(stream.write("0123456789")); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stream.cancel();
    writer.join();
    EXPECT_FALSE(stream.write("x"));
  }
  {
    // Finished unopened, or broken after some bytes.
    BodyStream stream;
    stream.finish(true);
    EXPECT_FALSE(stream.wait_opened());
    BodyStream broken;
    broken.open();
    EXPECT_TRUE(broken.write("ab"));
    broken.finish(false);
    char buffer[8];
    EXPECT_EQ(broken.read(buffer, sizeof buffer, std::chrono::milliseconds(0)), 2);
    EXPECT_EQ(broken.read(buffer, sizeof buffer, std::chrono::milliseconds(0)), -2);
    BodyStream waiting;
    EXPECT_EQ(waiting.read(buffer, sizeof buffer, std::chrono::milliseconds(1)), 0);
  }
}

// A handler waiting for a database connection learns when its client has
// left: not while the client waits (its request sent whole), at once after
// it closed the connection.
TEST(HttpServiceTest, TellsTheHandlerThatItsClientHasGone) {
  struct Waiting : HttpHandler {
    std::atomic<bool> entered{false};
    std::atomic<bool> closed{false};
    std::atomic<int> while_there{-1};
    std::atomic<long long> noticed_ms{-1};
    HttpAnswer answer(const HttpRequest& request) override {
      while_there = request.client_gone && request.client_gone() ? 1 : 0;
      entered = true;
      while (!closed) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      const auto start = std::chrono::steady_clock::now();
      while (!request.client_gone() &&
             std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      if (request.client_gone()) {
        noticed_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - start)
                         .count();
      }
      return HttpAnswer();
    }
    HttpAnswer error(const HttpRequest&, int status, const std::string&) override {
      HttpAnswer answer;
      answer.status = status;
      return answer;
    }
  } handler;
  std::FILE* log = std::tmpfile();
  ASSERT_NE(log, nullptr);
  {
    HttpService service(handler, HttpLimits(), log);
    ListenAddress address;
    std::string error;
    ASSERT_TRUE(parse_listen_address("127.0.0.1:0", &address, &error));
    ASSERT_TRUE(service.start(address, &error)) << error;
    const int fd = connect_local(service.port());
    ASSERT_GE(fd, 0);
    const std::string request = http_request("GET", "/wait");
    ASSERT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    while (!handler.entered) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    close(fd);
    handler.closed = true;
    service.stop(std::chrono::seconds(10));
  }
  std::fclose(log);
  EXPECT_EQ(handler.while_there, 0);
  EXPECT_GE(handler.noticed_ms, 0);
  EXPECT_LT(handler.noticed_ms, 1000);
}

}  // namespace
}  // namespace kalvynex

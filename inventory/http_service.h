// The HTTP server of the station service, a thin owner of a libmicrohttpd
// daemon with the limits that keep one client from starving the others:
//
// - each connection has a thread of its own, and at most `connections`
//   connections (`connections_per_client` from one address) are open;
// - a request target (path and query) longer than `max_target` is answered
//   414; the request line and the headers must fit in `connection_memory`,
//   or libmicrohttpd answers 414 (431 for the headers) itself, with a short
//   HTML body of its own;
// - a body longer than `max_body` is read to its end and thrown away, then
//   answered 413 (at once, before the body is sent, when the client asks
//   "Expect: 100-continue");
// - a whole request must arrive within `request_seconds` of the connection's
//   start (or of the previous answer on a kept-alive connection): a client
//   sending a byte now and then is cut off then, the first request of a
//   connection with a 408 answer, a later one without;
// - a connection on which nothing moves for `idle_seconds` is closed, also
//   while an answer waits for the client to read it.
//
// An answer's body is either known whole or written by another thread into
// a BodyStream while it is sent (chunked): the stream holds at most its
// capacity, so the memory of an answer stays flat however large it is. One
// line per request goes to the access log.
#ifndef KALVYNEX_INVENTORY_HTTP_SERVICE_H_
#define KALVYNEX_INVENTORY_HTTP_SERVICE_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

struct MHD_Daemon;

namespace kalvynex {

// An address to listen on: "ADDR:PORT", the address numeric, IPv6 in
// brackets ("[::1]:8080"); port 0 takes any free port.
struct ListenAddress {
  std::string host;  // without brackets
  int port = 0;
  bool ipv6 = false;
};

// False with the reason for anything else.
bool parse_listen_address(const std::string& text, ListenAddress* out, std::string* error);

// "http://HOST:PORT/" (brackets around an IPv6 address).
std::string listen_url(const ListenAddress& address);

// One name=value pair of a query string or a form body.
struct FormField {
  std::string name;
  std::string value;
};

// Splits "a=1&b=2" into its fields ("+" a blank, "%HH" a byte; an empty
// piece is passed over, a piece without "=" has the empty value). False
// with the reason for a "%" not followed by two hex digits, a name or value
// that is not UTF-8, or one that holds a control character.
bool decode_form(const std::string& text, std::vector<FormField>* out, std::string* error);

struct HttpLimits {
  unsigned connections = 256;
  unsigned connections_per_client = 64;
  std::size_t max_target = std::size_t{16} * 1024;
  std::size_t connection_memory = std::size_t{64} * 1024;
  std::size_t max_body = std::size_t{1024} * 1024;
  unsigned request_seconds = 10;
  unsigned idle_seconds = 30;
};

// A request as it came. The target is kept as sent (percent-encoded).
struct HttpRequest {
  std::string method;  // "GET", "HEAD", "POST", ...
  std::string target;  // path and query
  std::string path;    // the target before "?"
  std::string query;   // the target after "?", empty without one
  std::string body;    // at most HttpLimits::max_body bytes
  std::string client;  // the peer's address, e.g. "127.0.0.1"
  std::time_t received = 0;
  // Whether the client has closed the connection (or its sending side):
  // a handler that waits may give up, as no one reads the answer. Set by
  // the service for the handler's call; empty otherwise.
  std::function<bool()> client_gone;
};

// A body written by one thread while another sends it: at most `capacity`
// bytes wait in between. The writer opens the stream before its first byte
// (which makes the answer's status a success) or finishes without opening
// it (the answer is decided otherwise). When the reader has gone, writes
// fail, so the writer stops.
class BodyStream {
 public:
  explicit BodyStream(std::size_t capacity = std::size_t{64} * 1024) : capacity_(capacity) {}
  BodyStream(const BodyStream&) = delete;
  BodyStream& operator=(const BodyStream&) = delete;

  // The writer's side.
  void open();
  // Waits while the buffer is full; false once the reader has gone.
  bool write(std::string_view bytes);
  // The body is whole (`complete`) or broken off: the reader ends with it.
  void finish(bool complete);

  // The reader's side.
  // Waits for open or finish; whether the stream was opened.
  bool wait_opened();
  // Up to `size` bytes into `buffer`, waiting at most `wait` for some: the
  // count; 0 when nothing came within `wait`; -1 at the end of a whole body;
  // -2 at the end of a broken one.
  long read(char* buffer, std::size_t size, std::chrono::milliseconds wait);
  // The reader has gone: every write from now on fails.
  void cancel();
  std::uint64_t bytes_read() const;

 private:
  const std::size_t capacity_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string buffer_;  // bytes written, not yet read
  bool opened_ = false;
  bool finished_ = false;
  bool complete_ = false;
  bool cancelled_ = false;
  std::uint64_t bytes_read_ = 0;
};

struct HttpAnswer {
  int status = 200;
  std::string content_type;  // empty: no Content-Type
  std::string body;          // unless `stream`
  std::shared_ptr<BodyStream> stream;  // the body, sent chunked as written
  std::vector<std::pair<std::string, std::string>> headers;
};

// What the server asks of the program: the answer to a request, and the
// answer of an error the server finds itself (408, 413).
class HttpHandler {
 public:
  virtual ~HttpHandler() = default;
  // Runs on the connection's thread; may wait.
  virtual HttpAnswer answer(const HttpRequest& request) = 0;
  virtual HttpAnswer error(const HttpRequest& request, int status,
                           const std::string& explanation) = 0;
};

class HttpService {
 public:
  // `log` takes the access log and the server's own messages.
  HttpService(HttpHandler& handler, const HttpLimits& limits, std::FILE* log);
  ~HttpService();
  HttpService(const HttpService&) = delete;
  HttpService& operator=(const HttpService&) = delete;

  // Listens and serves; false with the reason when the address cannot be
  // taken.
  bool start(const ListenAddress& address, std::string* error);
  // The port listened on (the one chosen when port 0 was asked).
  int port() const { return port_; }

  // Takes no more connections, lets the requests being answered finish
  // (for at most `drain`; the answers still running are then broken off)
  // and closes every connection.
  void stop(std::chrono::seconds drain);

  // One line on the log, whole, among the other threads' lines.
  void log(const std::string& line);

 private:
  struct Watch;
  struct Exchange;
  class Callbacks;
  friend class Callbacks;

  void watch_requests();

  HttpHandler& handler_;
  const HttpLimits limits_;
  std::FILE* log_;
  std::mutex log_mutex_;
  MHD_Daemon* daemon_ = nullptr;
  int port_ = 0;
  int listen_socket_ = -1;

  // The connections, for the deadline of their requests.
  std::mutex watch_mutex_;
  std::condition_variable watch_changed_;
  std::map<Watch*, std::unique_ptr<Watch>> watches_;
  std::size_t answering_ = 0;  // requests read and not yet done
  bool stopping_ = false;
  std::atomic<bool> breaking_{false};  // running answers are broken off
  std::thread watcher_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_HTTP_SERVICE_H_

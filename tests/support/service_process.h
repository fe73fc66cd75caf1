// kalvynex-inventory serve as a child process for the tests, and a plain
// HTTP client that sends exactly the bytes it is given.
#ifndef KALVYNEX_TESTS_SUPPORT_SERVICE_PROCESS_H_
#define KALVYNEX_TESTS_SUPPORT_SERVICE_PROCESS_H_

#include <sys/types.h>

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process.h"

namespace kalvynex {

// Starts `serve` with `arguments` after it and "--listen 127.0.0.1:0", and
// waits until it says where it listens. Throws when it does not within 30
// seconds.
class ServiceProcess {
 public:
  ServiceProcess(const std::vector<std::string>& arguments, const ProcessOptions& options);
  ~ServiceProcess();  // kills the service if it still runs
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  int port() const { return port_; }

  // Sends `signal_number` and returns.
  void signal(int signal_number);

  // Sends `signal_number` and waits at most 60 seconds for the end: the
  // exit status (128 + signal when a signal ended it), -1 when it runs on.
  int stop(int signal_number);

  // Everything on its error stream so far.
  std::string err() const;

 private:
  void end();

  pid_t pid_ = -1;
  int port_ = 0;
  int err_fd_ = -1;
  mutable std::mutex mutex_;
  std::string err_;
  std::thread reader_;
};

struct HttpReply {
  int status = 0;  // 0: the connection ended before a status line
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;  // chunks joined
  bool complete = false;  // the whole body came (the last chunk, or the length)
};

// Sends `request` to 127.0.0.1:port while reading, and reads until the
// server closes the connection or `timeout` passes.
HttpReply http_exchange(int port, const std::string& request,
                        std::chrono::milliseconds timeout = std::chrono::seconds(30));

// "METHOD TARGET HTTP/1.1" with Host, Connection: close and, with a body,
// its Content-Length.
std::string http_request(const std::string& method, const std::string& target,
                         const std::string& body = std::string());

// A TCP connection to 127.0.0.1:port, or -1.
int connect_local(int port);

// The first line of a text.
std::string first_line(const std::string& text);

}  // namespace kalvynex

#endif  // KALVYNEX_TESTS_SUPPORT_SERVICE_PROCESS_H_

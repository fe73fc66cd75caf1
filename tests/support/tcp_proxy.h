// A TCP proxy on 127.0.0.1 that forwards each connection to a real server
// until it is told to go silent: from then on it forwards nothing in either
// direction and leaves new connections waiting in the kernel's backlog, as a
// server or network that stopped answering would. Nothing is closed until
// the proxy goes.
#ifndef KALVYNEX_TESTS_SUPPORT_TCP_PROXY_H_
#define KALVYNEX_TESTS_SUPPORT_TCP_PROXY_H_

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace kalvynex {

class TcpProxy {
 public:
  // Forwards to host:port. With a non-empty `silent_at`, the proxy goes
  // silent when a piece of data from a client holds that text; the piece
  // itself is not forwarded.
  TcpProxy(const std::string& host, int port, std::string silent_at = std::string());
  ~TcpProxy();
  TcpProxy(const TcpProxy&) = delete;
  TcpProxy& operator=(const TcpProxy&) = delete;

  int port() const { return port_; }

  // Goes silent now.
  void go_silent() { silent_ = true; }
  bool silent() const { return silent_; }

 private:
  void run();

  std::string host_;
  int target_port_;
  std::string silent_at_;
  int listener_ = -1;
  int port_ = 0;
  int wake_[2] = {-1, -1};  // a byte here ends run()
  std::atomic<bool> silent_{false};
  std::vector<int> sockets_;  // every socket opened, closed when the proxy goes
  std::thread thread_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_TESTS_SUPPORT_TCP_PROXY_H_

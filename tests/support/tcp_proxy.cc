#include "tests/support/tcp_proxy.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace kalvynex {

namespace {

int connect_to(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd >= 0 && connect(fd, found->ai_addr, found->ai_addrlen) != 0) {
    close(fd);
    freeaddrinfo(found);
    return -1;
  }
  freeaddrinfo(found);
  return fd;
}

// Writes all of `data`; false when the peer is gone.
bool write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

TcpProxy::TcpProxy(const std::string& host, int port, std::string silent_at)
    : host_(host), target_port_(port), silent_at_(std::move(silent_at)) {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 16) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      pipe(wake_) != 0) {
    throw std::runtime_error("the proxy cannot listen");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { run(); });
}

TcpProxy::~TcpProxy() {
  const char byte = 0;
  (void)!write(wake_[1], &byte, 1);
  thread_.join();
  for (const int fd : sockets_) close(fd);
  close(listener_);
  close(wake_[0]);
  close(wake_[1]);
}

void TcpProxy::run() {
  // Pairs of client and server sockets; a pair whose side ended is dropped
  // from the loop (its sockets stay open until the proxy goes).
  std::vector<std::pair<int, int>> pairs;
  char buffer[65536];
  for (;;) {
    std::vector<pollfd> polls = {{wake_[0], POLLIN, 0}};
    if (!silent_) {
      polls.push_back({listener_, POLLIN, 0});
      for (const auto& [client, server] : pairs) {
        polls.push_back({client, POLLIN, 0});
        polls.push_back({server, POLLIN, 0});
      }
    }
    // A short wait, so that go_silent() takes effect at once.
    if (poll(polls.data(), polls.size(), 20) < 0 && errno != EINTR) return;
    if (polls[0].revents != 0) return;
    if (silent_) continue;
    // The pairs that were polled; one accepted now waits for the next round.
    const std::size_t polled = pairs.size();
    if (polls[1].revents != 0) {
      const int client = accept(listener_, nullptr, nullptr);
      if (client >= 0) {
        sockets_.push_back(client);
        const int server = connect_to(host_, target_port_);
        if (server >= 0) {
          sockets_.push_back(server);
          pairs.emplace_back(client, server);
        }
      }
    }
    std::vector<std::pair<int, int>> kept(pairs.begin() + static_cast<std::ptrdiff_t>(polled),
                                          pairs.end());
    for (std::size_t i = 0; i < polled; ++i) {
      const auto [client, server] = pairs[i];
      bool open = true;
      for (const bool from_client : {true, false}) {
        const pollfd& p = polls[2 + 2 * i + (from_client ? 0 : 1)];
        if (!open || p.revents == 0 || silent_) continue;
        const ssize_t n = read(p.fd, buffer, sizeof buffer);
        if (n <= 0) {
          open = false;
          shutdown(from_client ? server : client, SHUT_WR);
          continue;
        }
        const auto size = static_cast<std::size_t>(n);
        if (from_client && !silent_at_.empty() &&
            std::string(buffer, size).find(silent_at_) != std::string::npos) {
          silent_ = true;
          continue;
        }
        if (!write_all(from_client ? server : client, buffer, size)) open = false;
      }
      if (open) kept.emplace_back(client, server);
    }
    pairs = std::move(kept);
  }
}

}  // namespace kalvynex

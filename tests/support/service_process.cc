#include "tests/support/service_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace kalvynex {

using Clock = std::chrono::steady_clock;

ServiceProcess::ServiceProcess(const std::vector<std::string>& arguments,
                               const ProcessOptions& options) {
  int err_pipe[2];
  if (pipe2(err_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  std::vector<std::string> argv_text = {options.argument0.empty() ? KALVYNEX_INVENTORY_BINARY
                                                                  : options.argument0,
                                        "serve", "--listen", "127.0.0.1:0"};
  argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    dup2(err_pipe[1], STDERR_FILENO);
    for (const auto& [name, value] : options.environment) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
    if (!options.working_directory.empty() && chdir(options.working_directory.c_str()) != 0) {
      _exit(126);
    }
    execv(KALVYNEX_INVENTORY_BINARY, argv.data());
    _exit(127);
  }
  close(err_pipe[1]);
  err_fd_ = err_pipe[0];
  reader_ = std::thread([this] {
    char buffer[4096];
    for (;;) {
      const ssize_t n = read(err_fd_, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      std::lock_guard<std::mutex> lock(mutex_);
      err_.append(buffer, static_cast<std::size_t>(n));
    }
  });
  const std::string mark = "listening on http://127.0.0.1:";
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (Clock::now() < deadline) {
    const std::string text = err();
    const std::size_t at = text.find(mark);
    if (at != std::string::npos && text.find('/', at + mark.size()) != std::string::npos) {
      port_ = std::atoi(text.c_str() + at + mark.size());
      return;
    }
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const std::string text = err();
  end();
  throw std::runtime_error("the service did not start: " + text);
}

ServiceProcess::~ServiceProcess() { end(); }

void ServiceProcess::end() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  if (reader_.joinable()) reader_.join();
  if (err_fd_ >= 0) close(err_fd_);
  err_fd_ = -1;
}

void ServiceProcess::signal(int signal_number) {
  if (pid_ > 0) kill(pid_, signal_number);
}

int ServiceProcess::stop(int signal_number) {
  if (pid_ <= 0) return -1;
  kill(pid_, signal_number);
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  int status = 0;
  while (Clock::now() < deadline) {
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      pid_ = -1;
      if (reader_.joinable()) reader_.join();
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return -1;
}

std::string ServiceProcess::err() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return err_;
}

int connect_local(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

namespace {

// The body after the headers: chunks joined; whether it was whole.
bool read_body(const std::string& raw, const std::map<std::string, std::string>& headers,
               std::string* body) {
  const auto encoding = headers.find("transfer-encoding");
  if (encoding == headers.end() || encoding->second != "chunked") {
    *body = raw;
    const auto length = headers.find("content-length");
    return length == headers.end() || raw.size() == std::stoul(length->second);
  }
  std::size_t pos = 0;
  for (;;) {
    const std::size_t line_end = raw.find("\r\n", pos);
    if (line_end == std::string::npos) return false;
    const std::size_t size = std::strtoul(raw.c_str() + pos, nullptr, 16);
    pos = line_end + 2;
    if (size == 0) return true;
    if (pos + size > raw.size()) {
      body->append(raw, pos, std::string::npos);
      return false;
    }
    body->append(raw, pos, size);
    pos += size + 2;
  }
}

}  // namespace

HttpReply http_exchange(int port, const std::string& request, std::chrono::milliseconds timeout) {
  HttpReply reply;
  const int fd = connect_local(port);
  if (fd < 0) return reply;
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  std::string raw;
  std::size_t sent = 0;
  const auto deadline = Clock::now() + timeout;
  bool sending = true;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd watched{fd, static_cast<short>(POLLIN | (sending ? POLLOUT : 0)), 0};
    if (poll(&watched, 1, static_cast<int>(left)) <= 0) continue;
    if (sending && (watched.revents & POLLOUT) != 0) {
      const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
      if (n > 0) sent += static_cast<std::size_t>(n);
      if (n < 0 && errno != EAGAIN && errno != EINTR) sending = false;
      if (sent == request.size()) sending = false;
    }
    if ((watched.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      char buffer[65536];
      const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
      if (n > 0) {
        raw.append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        break;
      }
    }
  }
  close(fd);
  const std::size_t header_end = raw.find("\r\n\r\n");
  if (raw.compare(0, 9, "HTTP/1.1 ") != 0 || header_end == std::string::npos) return reply;
  reply.status = std::atoi(raw.c_str() + 9);
  std::size_t pos = raw.find("\r\n") + 2;
  while (pos < header_end) {
    const std::size_t end = raw.find("\r\n", pos);
    const std::string line = raw.substr(pos, end - pos);
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos) {
      std::string name = line.substr(0, colon);
      std::transform(name.begin(), name.end(), name.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      reply.headers[name] = line.substr(line.find_first_not_of(' ', colon + 1));
    }
    pos = end + 2;
  }
  reply.complete = read_body(raw.substr(header_end + 4), reply.headers, &reply.body);
  return reply;
}

std::string http_request(const std::string& method, const std::string& target,
                         const std::string& body) {
  std::string request =
      method + " " + target + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n";
  if (!body.empty() || method == "POST" || method == "PUT") {
    request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  }
  return request + "\r\n" + body;
}

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n')); }

}  // namespace kalvynex

#include "core/process_guard.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "core/pending_files.h"

namespace kalvynex {

namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The pipe of stop_signal_descriptor; -1 until it is made.
int stop_pipe[2] = {-1, -1};
volatile sig_atomic_t stop_signals = 0;

void end_on_signal(int signal_number) {
  remove_pending_files();
  // Raised with the default action and blocked while the handler runs: it
  // ends the process as soon as the handler returns.
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
  raise(signal_number);
}

void stop_on_signal(int signal_number) {
  if (stop_signals++ > 0) end_on_signal(signal_number);
  const int saved_errno = errno;
  const char byte = static_cast<char>(signal_number);
  // The pipe holds many bytes; one is enough to wake the reader.
  [[maybe_unused]] const ssize_t written = write(stop_pipe[1], &byte, 1);
  errno = saved_errno;
}

void set_handler(void (*handler)(int)) {
  for (const int signal_number : kEndingSignals) {
    struct sigaction action {};
    if (sigaction(signal_number, nullptr, &action) == 0 && action.sa_handler == SIG_IGN) continue;
    action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
  }
}

}  // namespace

ClosedDescriptors fill_standard_descriptors() {
  bool closed[3] = {false, false, false};
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) continue;
    closed[fd] = true;
    const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
  ClosedDescriptors result;
  result.input = closed[0];
  result.output = closed[1];
  result.error = closed[2];
  return result;
}

void handle_ending_signals() { set_handler(end_on_signal); }

int stop_signal_descriptor() {
  if (stop_pipe[0] < 0 && pipe2(stop_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    stop_pipe[0] = stop_pipe[1] = -1;
    return -1;
  }
  set_handler(stop_on_signal);
  return stop_pipe[0];
}

void ignore_broken_pipe() {
  struct sigaction action {};
  action.sa_handler = SIG_IGN;
  sigemptyset(&action.sa_mask);
  sigaction(SIGPIPE, &action, nullptr);
}

}  // namespace kalvynex

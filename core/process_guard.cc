#include "core/process_guard.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

#include "core/pending_files.h"

namespace kalvynex {

namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

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

void handle_ending_signals() {
  for (const int signal_number : kEndingSignals) {
    struct sigaction action {};
    if (sigaction(signal_number, nullptr, &action) == 0 && action.sa_handler == SIG_IGN) continue;
    action = {};
    action.sa_handler = end_on_signal;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
  }
}

}  // namespace kalvynex

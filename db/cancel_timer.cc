#include "db/cancel_timer.h"

#include <sqlext.h>

#include <set>
#include <utility>

#include "db/process_sockets.h"

namespace kalvynex {

CancelTimer::CancelTimer(int seconds, std::function<void()> on_expiry, bool started)
    : limit_(seconds > 0 ? seconds : 0), on_expiry_(std::move(on_expiry)) {
  if (seconds <= 0) return;
  if (started) {
    armed_ = true;
    deadline_ = std::chrono::steady_clock::now() + limit_;
  }
  thread_ = std::thread([this] { run(); });
}

CancelTimer::~CancelTimer() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (cancel_thread_.joinable()) cancel_thread_.join();
}

void CancelTimer::start() {
  if (!thread_.joinable()) return;
  bool wake = false;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (expired_) return;
    armed_ = true;
    deadline_ = std::chrono::steady_clock::now() + limit_;
    wake = idle_;
  }
  if (wake) changed_.notify_all();
}

void CancelTimer::stop() {
  // The thread sees it when it wakes at the deadline; no need to wake it.
  const std::lock_guard<std::mutex> lock(mutex_);
  armed_ = false;
}

void CancelTimer::watch(SQLHSTMT statement) {
  const std::lock_guard<std::mutex> lock(cancel_mutex_);
  statement_ = statement;
}

void CancelTimer::cancel() {
  const std::lock_guard<std::mutex> lock(cancel_mutex_);
  // What SQLCancel returns changes nothing: the blocked call reports the
  // outcome.
  if (statement_ != SQL_NULL_HSTMT) (void)SQLCancel(statement_);
}

void CancelTimer::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    idle_ = true;
    changed_.wait(lock, [this] { return quit_ || armed_; });
    idle_ = false;
    // Until the deadline, which a start meanwhile moves later.
    while (!quit_ && armed_ && std::chrono::steady_clock::now() < deadline_) {
      changed_.wait_until(lock, deadline_);
    }
    if (quit_) return;
    if (!armed_) continue;

    expired_ = true;
    const std::set<int> before_cancel = open_sockets();
    cancel_thread_ = std::thread([this] { cancel(); });
    const auto shutdown_at = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!quit_ && armed_ && std::chrono::steady_clock::now() < shutdown_at) {
      changed_.wait_until(lock, shutdown_at);
    }
    if (!quit_ && armed_) {
      if (on_expiry_) on_expiry_();
      shut_down_sockets(sockets_opened_since(before_cancel));
    }
    // Expired for good: wait for the end.
    changed_.wait(lock, [this] { return quit_; });
    return;
  }
}

}  // namespace kalvynex

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
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (expired_) return;
    armed_ = true;
    deadline_ = std::chrono::steady_clock::now() + limit_;
  }
  changed_.notify_all();
}

void CancelTimer::stop() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    armed_ = false;
  }
  changed_.notify_all();
}

void CancelTimer::watch(SQLHSTMT statement) {
  const std::lock_guard<std::mutex> lock(cancel_mutex_);
  statement_ = statement;
}

bool CancelTimer::expired() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return expired_;
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
    changed_.wait(lock, [this] { return quit_ || armed_; });
    if (quit_) return;
    const auto deadline = deadline_;
    if (changed_.wait_until(lock, deadline,
                            [this, deadline] { return quit_ || !armed_ || deadline_ != deadline; })) {
      continue;
    }
    expired_ = true;
    const std::set<int> before_cancel = open_sockets();
    cancel_thread_ = std::thread([this] { cancel(); });
    const auto shutdown_at = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    if (!changed_.wait_until(lock, shutdown_at, [this] { return quit_ || !armed_; })) {
      if (on_expiry_) on_expiry_();
      shut_down_sockets(sockets_opened_since(before_cancel));
    }
    // Expired for good: wait for the end.
    changed_.wait(lock, [this] { return quit_; });
    return;
  }
}

}  // namespace kalvynex

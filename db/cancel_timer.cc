#include "db/cancel_timer.h"

#include <sqlext.h>

#include <utility>

namespace kalvynex {

CancelTimer::CancelTimer(int seconds, std::function<void()> on_expiry)
    : on_expiry_(std::move(on_expiry)) {
  if (seconds <= 0) return;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  thread_ = std::thread([this, deadline] { run(deadline); });
}

CancelTimer::~CancelTimer() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  stopped_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void CancelTimer::watch(SQLHSTMT statement) {
  const std::lock_guard<std::mutex> lock(mutex_);
  statement_ = statement;
}

bool CancelTimer::expired() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return expired_;
}

void CancelTimer::run(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (stopped_.wait_until(lock, deadline, [this] { return stop_; })) return;
  expired_ = true;
  // Cancelled under the lock, so the statement cannot be unwatched and freed
  // while SQLCancel runs. What SQLCancel returns changes nothing: the
  // blocked call reports the outcome.
  if (statement_ != SQL_NULL_HSTMT) (void)SQLCancel(statement_);
  if (on_expiry_) on_expiry_();
}

}  // namespace kalvynex

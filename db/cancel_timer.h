// A limit on the time that a stage's ODBC calls may take. Drivers honour
// SQL_ATTR_QUERY_TIMEOUT where they can; where one ignores it (or waits in a
// place the attribute does not cover, such as a lock), this timer calls
// SQLCancel, ODBC's own means of stopping a statement from another thread,
// on the statement being watched once the time is up. The blocked call then
// returns its failure with the driver's text.
#ifndef KALVYNEX_DB_CANCEL_TIMER_H_
#define KALVYNEX_DB_CANCEL_TIMER_H_

#include <sql.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace kalvynex {

class CancelTimer {
 public:
  // Starts the timer; `seconds` of 0 or below means no limit (no thread).
  // `on_expiry`, when given, runs on the timer's thread once the time is up,
  // after the watched statement (if any) was cancelled.
  explicit CancelTimer(int seconds, std::function<void()> on_expiry = nullptr);
  // Stops the timer; a cancel that has begun is waited for.
  ~CancelTimer();

  CancelTimer(const CancelTimer&) = delete;
  CancelTimer& operator=(const CancelTimer&) = delete;

  // The statement to cancel when the time is up (SQL_NULL_HSTMT: none). A
  // statement must be unwatched before it is freed.
  void watch(SQLHSTMT statement);

  // True once the time was up and the watched statement was cancelled.
  bool expired() const;

 private:
  void run(std::chrono::steady_clock::time_point deadline);

  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  bool stop_ = false;
  bool expired_ = false;
  SQLHSTMT statement_ = SQL_NULL_HSTMT;
  std::function<void()> on_expiry_;
  std::thread thread_;
};

// Watches a statement for as long as the object lives. Declare it after the
// statement's handle, so that it stops watching before the handle is freed.
class WatchedStatement {
 public:
  WatchedStatement(CancelTimer* timer, SQLHSTMT statement) : timer_(timer) {
    if (timer_ != nullptr) timer_->watch(statement);
  }
  ~WatchedStatement() {
    if (timer_ != nullptr) timer_->watch(SQL_NULL_HSTMT);
  }
  WatchedStatement(const WatchedStatement&) = delete;
  WatchedStatement& operator=(const WatchedStatement&) = delete;

 private:
  CancelTimer* timer_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_DB_CANCEL_TIMER_H_

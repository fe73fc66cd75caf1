// A limit on the time that a stage's ODBC calls may take, which holds even
// when the peer stops answering. Drivers honour SQL_ATTR_QUERY_TIMEOUT where
// they can; where one ignores it (or waits in a place the attribute does not
// cover, such as a lock), this timer calls SQLCancel, ODBC's own means of
// stopping a statement from another thread, on the statement being watched
// once the time is up. The blocked call then returns its failure with the
// driver's text.
//
// A cancel travels to the server, and a server or network that no longer
// answers never sends the cancelled call its reply. So one second after the
// time was up, if the timed part has not ended by then, `on_expiry` runs
// (it shuts down the connection's sockets) and the sockets that the cancel
// itself opened are shut down: the blocked call and the cancel both end
// with their driver's text. The cancel runs on a thread of its own, so that
// a cancel that blocks cannot hold up that second step.
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
  // A timer of `seconds` (0 or below: no limit, no thread), started at once
  // unless `started` is false.
  CancelTimer(int seconds, std::function<void()> on_expiry, bool started = true);
  // Stops the timer; a cancel that has begun is waited for.
  ~CancelTimer();

  CancelTimer(const CancelTimer&) = delete;
  CancelTimer& operator=(const CancelTimer&) = delete;

  // Begins a new period of `seconds` from now. After an expiry the
  // connection is taken as lost and the timer stays expired: nothing. Cheap
  // enough for every call: the thread is woken only when it was idle.
  void start();
  // The timed part ended: no cancel, and no shutdown, until the next start.
  void stop();

  // The statement to cancel when the time is up (SQL_NULL_HSTMT: none). A
  // statement must be unwatched before it is freed.
  void watch(SQLHSTMT statement);

 private:
  void run();
  void cancel();

  const std::chrono::seconds limit_;
  std::function<void()> on_expiry_;

  std::mutex mutex_;  // guards the members below up to deadline_
  std::condition_variable changed_;
  bool quit_ = false;
  bool idle_ = false;  // the thread waits for a start
  bool armed_ = false;
  bool expired_ = false;
  std::chrono::steady_clock::time_point deadline_;

  // Held while SQLCancel runs, so that the statement cannot be unwatched and
  // freed meanwhile.
  std::mutex cancel_mutex_;
  SQLHSTMT statement_ = SQL_NULL_HSTMT;

  std::thread cancel_thread_;
  std::thread thread_;
};

// Times one call: starts the timer (if any) and stops it when it goes.
class TimedCall {
 public:
  explicit TimedCall(CancelTimer* timer) : timer_(timer) {
    if (timer_ != nullptr) timer_->start();
  }
  ~TimedCall() {
    if (timer_ != nullptr) timer_->stop();
  }
  TimedCall(const TimedCall&) = delete;
  TimedCall& operator=(const TimedCall&) = delete;

 private:
  CancelTimer* timer_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_DB_CANCEL_TIMER_H_

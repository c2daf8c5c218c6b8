#pragma once
// A bound on libssh's blocking calls, which in libssh 0.10 may wait on a silent server for ever
// (a channel write waits for window space without a limit): while a call is armed and its time
// runs out, the connection is shut down from a thread of its own, which ends the call with an
// error. The session is lost then, as after an FTP timeout.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/inet/transport/Deadline.h"

namespace skyhaul::inet::detail {

class SftpWatchdog {
 public:
  explicit SftpWatchdog(int fd);
  ~SftpWatchdog();
  SftpWatchdog(const SftpWatchdog&) = delete;
  SftpWatchdog& operator=(const SftpWatchdog&) = delete;

  void arm(std::chrono::milliseconds limit);
  void disarm();
  // Whether the connection was shut down because a call ran out of time.
  bool fired() const;

 private:
  void watch();

  int fd_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<Deadline> deadline_;
  bool armed_ = false;
  bool fired_ = false;
  bool stopping_ = false;
  std::thread thread_;  // last: it starts once the rest is there
};

// While it lives, the watchdog is armed with `limit`: one blocking libssh call (or a run of
// them) is bounded. Nothing is watched without a watchdog (null).
class [[nodiscard]] BoundedCall {
 public:
  BoundedCall(SftpWatchdog* watchdog, std::chrono::milliseconds limit) : watchdog_(watchdog) {
    if (watchdog_ != nullptr) watchdog_->arm(limit);
  }
  ~BoundedCall() {
    if (watchdog_ != nullptr) watchdog_->disarm();
  }
  BoundedCall(const BoundedCall&) = delete;
  BoundedCall& operator=(const BoundedCall&) = delete;

 private:
  SftpWatchdog* watchdog_;
};

}  // namespace skyhaul::inet::detail

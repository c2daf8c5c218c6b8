#include "platform/inet/sftp/SftpWatchdog.h"

#include <sys/socket.h>

namespace skyhaul::inet::detail {

SftpWatchdog::SftpWatchdog(int fd) : fd_(fd), thread_([this] { watch(); }) {}

SftpWatchdog::~SftpWatchdog() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_one();
  thread_.join();
}

// Arming and disarming happen once or twice per SFTP packet: the thread is woken only when it
// must wait for an earlier time than it does now (a futex call per packet showed in profiles).
// A deadline that was disarmed stays until the thread wakes for it and finds nothing armed.
void SftpWatchdog::arm(std::chrono::milliseconds limit) {
  const Deadline next(limit);
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    wake = !deadline_ || next < *deadline_;
    deadline_ = next;
    armed_ = true;
  }
  if (wake) changed_.notify_one();
}

void SftpWatchdog::disarm() {
  std::lock_guard lock(mutex_);
  armed_ = false;
}

bool SftpWatchdog::fired() const {
  std::lock_guard lock(mutex_);
  return fired_;
}

void SftpWatchdog::watch() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (deadline_ && !armed_) deadline_.reset();
    if (!deadline_) {
      changed_.wait(lock);
    } else if (deadline_->passed()) {
      // The descriptor stays open (libssh owns it); only the connection ends.
      shutdown(fd_, SHUT_RDWR);
      fired_ = true;
      deadline_.reset();
      armed_ = false;
    } else {
      changed_.wait_until(lock, deadline_->at());
    }
  }
}

}  // namespace skyhaul::inet::detail

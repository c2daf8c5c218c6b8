#include "platform/inet/SftpWatchdog.h"

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

void SftpWatchdog::arm(std::chrono::milliseconds limit) {
  {
    std::lock_guard lock(mutex_);
    deadline_ = std::chrono::steady_clock::now() + limit;
  }
  changed_.notify_one();
}

void SftpWatchdog::disarm() {
  std::lock_guard lock(mutex_);
  deadline_.reset();
}

bool SftpWatchdog::fired() const {
  std::lock_guard lock(mutex_);
  return fired_;
}

void SftpWatchdog::watch() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (!deadline_) {
      changed_.wait(lock);
    } else if (std::chrono::steady_clock::now() >= *deadline_) {
      // The descriptor stays open (libssh owns it); only the connection ends.
      shutdown(fd_, SHUT_RDWR);
      fired_ = true;
      deadline_.reset();
    } else {
      changed_.wait_until(lock, *deadline_);
    }
  }
}

}  // namespace skyhaul::inet::detail

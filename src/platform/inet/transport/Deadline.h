#pragma once
// Bounds on waiting. A Deadline (platform/Deadline.h) bounds one step (a reply, a handshake, a
// connect) by the clock.
// A ProgressFloor bounds a data transfer as a whole: fewer than kProgressFloor bytes moved
// within one time limit is a stall, however the bytes trickle. Only time spent waiting on the
// network counts against the floor, not the program's own pauses between reads and writes.

#include <algorithm>
#include <chrono>
#include <cstddef>

#include "platform/Deadline.h"

namespace skyhaul::inet::detail {

using platform::Deadline;
using platform::SteadyClock;

class ProgressFloor {
 public:
  static constexpr std::size_t kProgressFloor = 1024;

  explicit ProgressFloor(std::chrono::milliseconds limit) : limit_(limit) {}

  // How long the next wait may be; 0 once the transfer has stalled.
  std::chrono::milliseconds remaining() const {
    return std::max(limit_ - waited_, std::chrono::milliseconds(0));
  }
  bool expired() const { return remaining().count() <= 0; }

  // Makes one wait of the transfer: `wait` is given the time it may take (remaining(), at most
  // `most`) and leaves in `moved` the bytes it moved; the time it took counts.
  template <typename Wait>
  auto measure(std::size_t& moved, Wait wait,
               std::chrono::milliseconds most = std::chrono::milliseconds::max()) {
    const auto started = SteadyClock::now();
    auto outcome = wait(std::min(remaining(), most));
    account(started, moved);
    return outcome;
  }

 private:
  void account(SteadyClock::time_point started, std::size_t bytes) {
    waited_ += std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - started);
    moved_ += bytes;
    if (moved_ >= kProgressFloor) {
      waited_ = std::chrono::milliseconds(0);
      moved_ = 0;
    }
  }

  std::chrono::milliseconds limit_;
  std::chrono::milliseconds waited_{0};  // waiting since the floor was last moved
  std::size_t moved_ = 0;                // bytes since then
};

}  // namespace skyhaul::inet::detail

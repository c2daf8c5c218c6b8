#pragma once
// The bound on a data transfer as a whole: fewer than kProgressFloor bytes moved within one time
// limit is a stall, however the bytes trickle. Only time spent waiting on the network counts,
// not the program's own pauses between reads and writes.

#include <chrono>
#include <cstddef>

namespace skyhaul::inet::detail {

class ProgressFloor {
 public:
  static constexpr std::size_t kProgressFloor = 1024;

  explicit ProgressFloor(std::chrono::milliseconds limit) : limit_(limit) {}

  // How long the next wait may be; 0 or less: the transfer has stalled.
  std::chrono::milliseconds allowance() const { return limit_ - waited_; }
  // Counts one wait that began at `started` and moved `bytes`.
  void account(std::chrono::steady_clock::time_point started, std::size_t bytes) {
    waited_ += std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    moved_ += bytes;
    if (moved_ >= kProgressFloor) {
      waited_ = std::chrono::milliseconds(0);
      moved_ = 0;
    }
  }

 private:
  std::chrono::milliseconds limit_;
  std::chrono::milliseconds waited_{0};  // waiting since the floor was last moved
  std::size_t moved_ = 0;                // bytes since then
};

}  // namespace skyhaul::inet::detail

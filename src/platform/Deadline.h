#pragma once
// A moment by the steady clock that a step must end by: the one place where "now plus a time
// limit" and "how long is left" are worked out. A limit too long for the clock (such as
// milliseconds::max(), "no limit") is a deadline that never comes.

#include <algorithm>
#include <chrono>
#include <compare>

namespace skyhaul::platform {

using SteadyClock = std::chrono::steady_clock;

class Deadline {
 public:
  explicit Deadline(std::chrono::milliseconds timeout) : at_(later(SteadyClock::now(), timeout)) {}

  // How long a wait may still be; never below 0.
  std::chrono::milliseconds remaining() const {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(at_ - SteadyClock::now());
    return std::max(left, std::chrono::milliseconds(0));
  }
  bool expired() const { return remaining().count() <= 0; }
  // Whether the moment itself has come (to the clock's tick, where expired() is to the
  // millisecond).
  bool passed() const { return SteadyClock::now() >= at_; }
  // The moment, for waits that take one.
  SteadyClock::time_point at() const { return at_; }

  // The earlier deadline is the smaller.
  auto operator<=>(const Deadline&) const = default;

 private:
  static SteadyClock::time_point later(SteadyClock::time_point from,
                                       std::chrono::milliseconds timeout) {
    const auto most = std::chrono::duration_cast<std::chrono::milliseconds>(
        SteadyClock::time_point::max() - from);
    return timeout >= most ? SteadyClock::time_point::max() : from + timeout;
  }

  SteadyClock::time_point at_;
};

}  // namespace skyhaul::platform

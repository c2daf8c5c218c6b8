#pragma once
// Time as the job sees it: the time of day, the calendar time for the log, and blocking waits.
// Tests replace it so that waits cost nothing and the clock is under their control.

#include <chrono>
#include <ctime>

namespace skyhaul::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since local midnight, with fraction.
  virtual float secondsSinceMidnight() = 0;
  // The current calendar time.
  virtual std::chrono::system_clock::time_point now() = 0;
  // Blocks the calling thread; no window events are processed meanwhile.
  virtual void sleep(std::chrono::milliseconds duration) = 0;
};

// The real clock of the machine.
class SystemClock final : public Clock {
 public:
  float secondsSinceMidnight() override;
  std::chrono::system_clock::time_point now() override;
  void sleep(std::chrono::milliseconds duration) override;

 private:
  std::time_t cachedSecond_ = 0;  // the second whose local time of day is cached
  int cachedSecondOfDay_ = 0;
  bool cacheFilled_ = false;
};

}  // namespace skyhaul::platform

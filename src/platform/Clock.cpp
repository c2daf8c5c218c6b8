#include "platform/Clock.h"

#include <ctime>
#include <thread>

namespace skyhaul::platform {

// The progress display reads the clock after every chunk, so it reads the system's coarse clock
// (a few milliseconds, finer than a Single holds the time of day in the afternoon) and works
// out the local time of day once per second.
float SystemClock::secondsSinceMidnight() {
  timespec coarse{};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &coarse);
  const auto current = std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::seconds(coarse.tv_sec) + std::chrono::nanoseconds(coarse.tv_nsec)));
  const std::time_t seconds = std::chrono::system_clock::to_time_t(current);
  if (seconds != cachedSecond_ || !cacheFilled_) {
    std::tm local{};
    localtime_r(&seconds, &local);
    cachedSecondOfDay_ = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    cachedSecond_ = seconds;
    cacheFilled_ = true;
  }
  const auto fraction =
      std::chrono::duration<double>(current - std::chrono::system_clock::from_time_t(seconds));
  return static_cast<float>(cachedSecondOfDay_ + fraction.count());
}

std::chrono::system_clock::time_point SystemClock::now() {
  return std::chrono::system_clock::now();
}

void SystemClock::sleep(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

}  // namespace skyhaul::platform

#include "platform/Clock.h"

#include <sys/prctl.h>

#include <ctime>
#include <thread>

#include "platform/Deadline.h"

namespace skyhaul::platform {

// The progress display reads the clock after every chunk, so it reads the system's coarse clock
// (a few milliseconds, finer than a Single holds the time of day in the afternoon) and works
// out the local time of day once per second. The fraction is the nanoseconds of the second in
// seconds, as a duration<double> of them gives it.
float SystemClock::secondsSinceMidnight() {
  timespec coarse{};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &coarse);
  const std::time_t seconds = coarse.tv_sec;
  if (seconds != cachedSecond_ || !cacheFilled_) {
    std::tm local{};
    localtime_r(&seconds, &local);
    cachedSecondOfDay_ = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    cachedSecond_ = seconds;
    cacheFilled_ = true;
  }
  constexpr double kNanosecondsPerSecond = 1e9;
  const double fraction = static_cast<double>(coarse.tv_nsec) / kNanosecondsPerSecond;
  return static_cast<float>(cachedSecondOfDay_ + fraction);
}

std::chrono::system_clock::time_point SystemClock::now() {
  return std::chrono::system_clock::now();
}

// A sleeping thread wakes up a little late (by the timer slack, 50 us by default, and by the
// scheduler, about a tenth of a millisecond on a virtual machine); the job sleeps 100 ms before
// every file, and the lateness adds up over many files. So the thread sleeps until a moment
// short of the end and spends the rest watching the clock. A wait is never shorter than asked.
void SystemClock::sleep(std::chrono::milliseconds duration) {
  constexpr auto kWatchedPart = std::chrono::microseconds(250);
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  const Deadline end(duration);
  if (duration > kWatchedPart) std::this_thread::sleep_until(end.at() - kWatchedPart);
  while (!end.passed()) std::this_thread::yield();
}

}  // namespace skyhaul::platform

#include "platform/Clock.h"

#include <ctime>
#include <thread>

namespace skyhaul::platform {

float SystemClock::secondsSinceMidnight() {
  const auto current = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(current);
  std::tm local{};
  localtime_r(&seconds, &local);
  const auto fraction = std::chrono::duration<double>(
      current - std::chrono::system_clock::from_time_t(seconds));
  return static_cast<float>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec +
                            fraction.count());
}

std::chrono::system_clock::time_point SystemClock::now() {
  return std::chrono::system_clock::now();
}

void SystemClock::sleep(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

}  // namespace skyhaul::platform

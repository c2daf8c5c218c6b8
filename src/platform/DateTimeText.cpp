#include "platform/DateTimeText.h"

#include <array>
#include <ctime>

namespace skyhaul::platform {

std::string defaultDateTimeText(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&seconds, &local);
  const bool midnight = local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0;
  std::array<char, 128> text{};
  const std::size_t length =
      std::strftime(text.data(), text.size(), midnight ? "%x" : "%x %X", &local);
  return std::string(text.data(), length);
}

}  // namespace skyhaul::platform

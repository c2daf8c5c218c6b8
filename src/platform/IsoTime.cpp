#include "platform/IsoTime.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace skyhaul::platform {

namespace {

struct Split {
  std::time_t seconds;
  int milliseconds;
};

Split split(std::chrono::system_clock::time_point when) {
  const auto since = std::chrono::floor<std::chrono::milliseconds>(when.time_since_epoch());
  const auto whole = std::chrono::floor<std::chrono::seconds>(since);
  return {static_cast<std::time_t>(whole.count()), static_cast<int>((since - whole).count())};
}

std::string dateAndTime(const std::tm& parts, int milliseconds) {
  std::array<char, 64> text{};
  const std::size_t length = std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%S", &parts);
  std::array<char, 8> fraction{};
  std::snprintf(fraction.data(), fraction.size(), ".%03d", milliseconds);
  return std::string(text.data(), length) + fraction.data();
}

}  // namespace

std::string isoUtcText(std::chrono::system_clock::time_point when) {
  const Split at = split(when);
  std::tm parts{};
  gmtime_r(&at.seconds, &parts);
  return dateAndTime(parts, at.milliseconds) + "Z";
}

std::string isoLocalText(std::chrono::system_clock::time_point when) {
  const Split at = split(when);
  std::tm parts{};
  localtime_r(&at.seconds, &parts);
  // Offsets stay within a day: hours and minutes fit in two digits each.
  const int minutes = static_cast<int>(std::labs(parts.tm_gmtoff) / 60 % (24 * 60));
  std::array<char, 32> zone{};
  std::snprintf(zone.data(), zone.size(), "%c%02d:%02d", parts.tm_gmtoff < 0 ? '-' : '+',
                minutes / 60, minutes % 60);
  return dateAndTime(parts, at.milliseconds) + zone.data();
}

}  // namespace skyhaul::platform

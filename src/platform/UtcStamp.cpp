#include "platform/UtcStamp.h"

#include <algorithm>
#include <charconv>

#include "platform/Ascii.h"

namespace skyhaul::platform {
namespace {

constexpr std::size_t kStampDigits = 14;

int numberAt(std::string_view text, std::size_t at, std::size_t length) {
  int value = 0;
  std::from_chars(text.data() + at, text.data() + at + length, value);
  return value;
}

}  // namespace

std::optional<std::chrono::system_clock::time_point> timeOfUtcStamp(std::string_view stamp) {
  if (stamp.size() > kStampDigits && stamp[kStampDigits] == '.')
    stamp = stamp.substr(0, kStampDigits);
  if (stamp.size() != kStampDigits || !std::all_of(stamp.begin(), stamp.end(), isAsciiDigit)) {
    return std::nullopt;
  }
  using namespace std::chrono;
  const year_month_day date{year(numberAt(stamp, 0, 4)),
                            month(static_cast<unsigned>(numberAt(stamp, 4, 2))),
                            day(static_cast<unsigned>(numberAt(stamp, 6, 2)))};
  const int hour = numberAt(stamp, 8, 2);
  const int minute = numberAt(stamp, 10, 2);
  const int second = numberAt(stamp, 12, 2);
  // 60 is a leap second, which some servers do write.
  if (!date.ok() || hour > 23 || minute > 59 || second > 60) return std::nullopt;
  return system_clock::time_point(sys_days(date).time_since_epoch() + hours(hour) +
                                  minutes(minute) + seconds(second));
}

}  // namespace skyhaul::platform

#include "window/ConvertTime.h"

#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>

#include "window/NumberText.h"

namespace skyhaul::window {

namespace {

// One part of a time of day: digits only, below `limit`.
std::optional<int> timePart(std::string_view text, int limit) {
  int value = 0;
  const auto read = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || text.front() == '-' || read.ec != std::errc() ||
      read.ptr != text.data() + text.size() || value >= limit) {
    return std::nullopt;
  }
  return value;
}

void appendTwoDigits(std::string& text, int value) {
  text += static_cast<char>('0' + value / 10);
  text += static_cast<char>('0' + value % 10);
}

// Reads "h:m:s" as a time of day and writes it as "HH:MM:SS"; nullopt when it is none.
std::optional<std::string> asTimeOfDay(std::string_view text) {
  const std::size_t first = text.find(':');
  const std::size_t second = text.find(':', first == std::string_view::npos ? first : first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  const auto hours = timePart(text.substr(0, first), 24);
  const auto minutes = timePart(text.substr(first + 1, second - first - 1), 60);
  const auto seconds = timePart(text.substr(second + 1), 60);
  if (!hours || !minutes || !seconds) return std::nullopt;
  std::string clock;
  clock.reserve(8);
  appendTwoDigits(clock, *hours);
  clock += ':';
  appendTwoDigits(clock, *minutes);
  clock += ':';
  appendTwoDigits(clock, *seconds);
  return clock;
}

}  // namespace

std::string ConvertTime(float TheTime) { return ConvertTime(TheTime, decimalSeparator()); }

std::string ConvertTime(float TheTime, std::string_view separator) {
  std::string built;
  if (TheTime >= 60.0F) {
    float minutes = std::floor(TheTime / 60.0F);
    const float seconds = TheTime - 60.0F * minutes;
    const float hours = std::floor(minutes / 60.0F);
    minutes -= 60.0F * hours;
    built = generalText(hours, separator) + ":" + generalText(minutes, separator) + ":" +
            generalText(seconds, separator);
  } else {
    // The leading zeros make a count under a minute read as a time of day.
    built = "00:00:" + generalText(TheTime, separator);
  }
  return asTimeOfDay(built).value_or(built);
}

}  // namespace skyhaul::window

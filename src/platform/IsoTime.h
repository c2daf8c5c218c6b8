#pragma once
// Calendar times as ISO 8601 texts, to the millisecond, for records that programs read.

#include <chrono>
#include <string>

namespace skyhaul::platform {

// "2026-12-09T07:40:39.123Z".
std::string isoUtcText(std::chrono::system_clock::time_point when);
// The same moment in local time with its offset: "2026-12-09T08:40:39.123+01:00".
std::string isoLocalText(std::chrono::system_clock::time_point when);

}  // namespace skyhaul::platform

#pragma once
#include <chrono>
#include <string>

namespace skyhaul::platform {

// The local date and time in the user's default form: the short date, a blank and the long
// time of the LC_TIME locale; exactly midnight gives the date alone.
std::string defaultDateTimeText(std::chrono::system_clock::time_point when);

}  // namespace skyhaul::platform

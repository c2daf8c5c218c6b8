#pragma once
// Seconds as the clock text of the time-left label.

#include <string>
#include <string_view>

namespace skyhaul::window {

// Writes a number of seconds as "HH:MM:SS" (7 gives "00:00:07", 3600 gives "01:00:00").
// A count that is no time of day (a day or more, negative, or with a fraction) comes back as
// the unpadded text hours:minutes:seconds, or "00:00:" and the count below one minute.
std::string ConvertTime(float TheTime);
// The same, with the decimal separator already read from the locale.
std::string ConvertTime(float TheTime, std::string_view separator);

}  // namespace skyhaul::window

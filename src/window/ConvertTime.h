#pragma once
// Seconds as the clock text of the time-left label.

#include <string>

namespace skyhaul::window {

// Writes a number of seconds as "HH:MM:SS" (7 gives "00:00:07", 3600 gives "01:00:00").
// A count that is no time of day (a day or more, negative, or with a fraction) comes back as
// the unpadded text hours:minutes:seconds, or "00:00:" and the count below one minute.
std::string ConvertTime(float TheTime);

}  // namespace skyhaul::window

#pragma once
// A server's modification time as it writes it over FTP (MDTM, MLST's modify fact) and as the
// SFTP layer gives it: YYYYMMDDHHMMSS in UTC, perhaps with a fraction of a second.

#include <chrono>
#include <optional>
#include <string_view>

namespace skyhaul::platform {

// The moment `stamp` names, to the second (a fraction is dropped); nothing when it is not of
// that form or names no real date.
std::optional<std::chrono::system_clock::time_point> timeOfUtcStamp(std::string_view stamp);

}  // namespace skyhaul::platform

#pragma once
// Waiting, within a bound, for a child process of the test to end.

#include <sys/types.h>

#include <chrono>
#include <optional>

namespace skyhaul::test {

// Polls until the child `pid` has ended, for at most `limit`: its exit code (-1 when a signal
// ended it or it cannot be waited for), or none when it still runs at the limit.
std::optional<int> waitForExit(pid_t pid, std::chrono::milliseconds limit);

}  // namespace skyhaul::test

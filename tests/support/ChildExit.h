#pragma once
// The test's servers as child processes: started so that they die with the test program, and
// waited for within a bound.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace skyhaul::test {

// Where a started server's output goes: its standard output to `output` when that is a
// descriptor (>= 0), else to `log`; its errors to `log`; without a `log`, what the test has.
struct ServerOutput {
  std::filesystem::path log;
  int output = -1;
};

// Starts `program` with `args` (the first is its name) as a child that gets SIGTERM when the
// test program ends, its input /dev/null; throws std::runtime_error when it cannot fork.
pid_t startServer(const std::string& program, std::vector<std::string> args,
                  const ServerOutput& where);

// Polls until the child `pid` has ended, for at most `limit`: its exit code (-1 when a signal
// ended it or it cannot be waited for), or none when it still runs at the limit.
std::optional<int> waitForExit(pid_t pid, std::chrono::milliseconds limit);

// Ends a server child: SIGTERM, then SIGKILL if it has not gone within `limit`; reaped either way.
void stopServer(pid_t pid, std::chrono::milliseconds limit);

}  // namespace skyhaul::test

#pragma once
// The options in front of the job command: --help (-h), --version, --settings FILE, --dry-run,
// --verbose, --json FILE, --metrics FILE, and "--", which ends them. From the first other
// argument on, everything is the job command.

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/ProgramEnd.h"

namespace skyhaul::job {

enum class StartAction { Run, Help, Version, UsageError };

struct StartRequest {
  StartAction action = StartAction::Run;
  std::optional<std::string> settingsPath;   // --settings FILE, as given
  bool dryRun = false;                       // --dry-run: list what would move, move nothing
  bool verbose = false;                      // --verbose: every status line, and how the run goes
  std::string commandLine;                   // the job command's arguments joined with blanks
  std::string message;                       // for a usage error: what was wrong, in Slovenian
  std::optional<std::string> jsonPath{};     // --json FILE: the run's record
  std::optional<std::string> metricsPath{};  // --metrics FILE: the metrics for the node exporter
};

// Reads main's argc and argv (argv[0], the program's name, is skipped). Touches nothing outside:
// a wrong option gives the action UsageError with its message; --help and --version decide at once.
StartRequest parseCommandLine(int argc, const char* const* argv);

// Answers a request that runs no job: the help or "skyhaul <version>" on `out` (status
// Completed), a usage error as one line on `errors` (status UsageError).
// The bound of every wait on the server from SKYHAUL_TIMEOUT's text: seconds with "." as the
// decimal point whatever the locale, 1 to 86400. Nothing for any other text: a value out of
// range would make the waits endless or instant.
std::optional<std::chrono::milliseconds> parseTimeout(std::string_view text);

platform::ExitStatus answerWithoutRunning(const StartRequest& request, std::string_view version,
                                          std::ostream& out, std::ostream& errors);

}  // namespace skyhaul::job

#pragma once
// Ending the program at once, with an exit status a scheduler can read.

#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

namespace skyhaul::platform {

enum class ExitStatus {
  Completed = 0,         // the job ran to its end
  FileFailed = 1,        // a file failed its third attempt
  UnhandledError = 2,    // an error the job does not handle ended it
  ClosedByUser = 3,      // "Zapri" or the window closed through its frame
  ConnectionFailed = 4,  // the connection could not be opened at the start of the job
  AlreadyRunning = 5,    // another run of the same job is under way; nothing was done
  ListingFailed = 6,     // the job ran to its end, but a remote listing failed
  UsageError = 64,       // an unknown option or one without its value (EX_USAGE)
};

class ProgramEnd {
 public:
  virtual ~ProgramEnd() = default;
  // Ends the process now: no further step of the job runs, only the steps added with atEnd.
  [[noreturn]] void endProgram(ExitStatus status) {
    runEndSteps(status);
    end(status);
    std::abort();  // an implementation that returned would let the job run on
  }
  // Adds a step that runs once, whatever ends the program, right before it ends; in the order
  // added. A step that throws is passed over: the end must come.
  void atEnd(std::function<void(ExitStatus)> step) { endSteps_.push_back(std::move(step)); }

 private:
  void runEndSteps(ExitStatus status) noexcept {
    // Taken out first: a step that ends the program itself does not run again.
    const auto steps = std::exchange(endSteps_, {});
    for (const auto& step : steps) {
      try {
        step(status);
      } catch (...) {
      }
    }
  }
  std::vector<std::function<void(ExitStatus)>> endSteps_;

  // Must not return: the process ends, or (in tests) an exception leaves the job.
  virtual void end(ExitStatus status) = 0;
};

// Flushes the standard streams and ends the process without running any further code.
class ProcessEnd final : public ProgramEnd {
 private:
  void end(ExitStatus status) override;
};

}  // namespace skyhaul::platform

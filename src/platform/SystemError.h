#pragma once
// The one exception type of the program: a failure the job does not handle (a log that cannot
// be written, a local file that cannot be deleted, a follow-up program that cannot be started).
// main catches it, reports it in Slovenian and ends with ExitStatus::UnhandledError.

#include <stdexcept>
#include <string>

namespace skyhaul::platform {

class SystemError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The cause of errno `errorNumber` as the program's errors give it (Slovenian where known).
std::string systemErrorText(int errorNumber);

// Builds a SystemError from what was tried and errno: "<what>: <strerror text>".
[[noreturn]] void throwSystemError(const std::string& what, int errorNumber);

}  // namespace skyhaul::platform

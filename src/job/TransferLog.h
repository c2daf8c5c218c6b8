#pragma once
// The transfer log "SKYHAUL.log" in the working directory: one line per finished file,
// appended and closed at once, ending in CR LF. Throws SystemError when it cannot be written.

#include <string>

#include "platform/Clock.h"

namespace skyhaul::job {

inline constexpr const char* kTransferLogName = "SKYHAUL.log";

class TransferLog {
 public:
  explicit TransferLog(platform::Clock& clock, std::string path = kTransferLogName);

  // "<now> <source>-----><target>"
  void appendSuccess(const std::string& source, const std::string& target);
  // "NAPAKA<now> <source>-----><target> <error>", the error text unchanged.
  void appendFailure(const std::string& source, const std::string& target,
                     const std::string& error);
  // The log file, as the program opens it (relative to the working directory).
  const std::string& path() const { return path_; }

 private:
  void appendLine(const std::string& line);

  platform::Clock& clock_;
  std::string path_;
};

}  // namespace skyhaul::job

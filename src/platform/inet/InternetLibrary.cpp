// The library's process-wide state, the default timeouts, and what every session can do with
// the calls it already has.
#include <mutex>
#include <string>

#include "platform/inet/InternetSession.h"
#include "platform/inet/RemoteSession.h"

namespace skyhaul::inet {
namespace {

std::mutex gDefaultsMutex;
Timeouts gDefaults;

}  // namespace

Status RemoteSession::findFile(const std::string& remote, FindData& entry) {
  std::optional<std::int64_t> size;
  if (Status sized = reportStoredSize(remote, size); !sized) return sized;
  if (!size) return ErrorCode::StoredSizeUnknown;
  entry = FindData{.fileName = bareName(remote), .fileSize = *size};
  return {};
}

void setDefaultTimeouts(const Timeouts& timeouts) {
  std::lock_guard lock(gDefaultsMutex);
  gDefaults = timeouts;
}

Timeouts defaultTimeouts() {
  std::lock_guard lock(gDefaultsMutex);
  return gDefaults;
}

}  // namespace skyhaul::inet

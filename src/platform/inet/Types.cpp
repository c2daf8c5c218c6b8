// The library's one process-wide state: the timeouts new sessions start with.
#include <mutex>

#include "platform/inet/Types.h"

namespace skyhaul::inet {
namespace {

std::mutex gDefaultsMutex;
Timeouts gDefaults;

}  // namespace

void setDefaultTimeouts(const Timeouts& timeouts) {
  std::lock_guard lock(gDefaultsMutex);
  gDefaults = timeouts;
}

Timeouts defaultTimeouts() {
  std::lock_guard lock(gDefaultsMutex);
  return gDefaults;
}

}  // namespace skyhaul::inet

#include <mutex>

#include "platform/InternetLibrary.h"

namespace skyhaul::platform {
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

}  // namespace skyhaul::platform

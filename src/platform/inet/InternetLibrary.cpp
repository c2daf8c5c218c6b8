// The library's process-wide and per-thread state: the default timeouts and the outcome of the
// last call.
#include <mutex>
#include <string>

#include "platform/inet/InternetLibrary.h"
#include "platform/inet/Report.h"

namespace skyhaul::inet {
namespace {

std::mutex gDefaultsMutex;
Timeouts gDefaults;
thread_local std::string tLastResponse;

}  // namespace

std::string lastResponseInfo() { return tLastResponse; }

bool report(Status status) {
  if (!status) platform::setLastError(status.code());
  return status.ok();
}

bool report(Status status, const Connection& connection) {
  tLastResponse = connection.control().lastReply().text;
  return report(status);
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

// The library's process-wide and per-thread state: the default timeouts and the outcome of the
// last call.
#include <mutex>
#include <string>

#include "platform/inet/InternetSession.h"
#include "platform/inet/RemoteSession.h"
#include "platform/inet/Report.h"

namespace skyhaul::inet {
namespace {

std::mutex gDefaultsMutex;
Timeouts gDefaults;
thread_local std::string tLastResponse;
thread_local std::string tLastDetail;

}  // namespace

std::string lastResponseInfo() { return tLastResponse; }

std::string lastErrorDetail() { return tLastDetail; }

namespace detail {

bool report(const Status& status) {
  if (status) return true;
  platform::setLastError(status.code());
  tLastDetail = status.reason();
  return false;
}

bool report(const Status& status, Connection& connection) {
  tLastResponse = connection.control().lastReply().text;
  return report(status);
}

}  // namespace detail

bool RemoteSession::findFile(const std::string& remote, FindData& entry) {
  std::int64_t size = 0;
  const SizeReport sized = reportStoredSize(remote, size);
  if (sized == SizeReport::NotOffered) return detail::report(ErrorCode::StoredSizeUnknown);
  if (sized == SizeReport::Refused) return false;
  entry = FindData{.fileName = bareName(remote), .fileSize = size};
  return true;
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

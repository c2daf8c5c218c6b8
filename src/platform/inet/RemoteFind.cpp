#include <utility>

#include "platform/inet/RemoteSession.h"
#include "platform/inet/Report.h"

namespace skyhaul::inet {

using namespace detail;  // the public calls are made of the library's inner steps

RemoteFind::RemoteFind(std::vector<FindData> entries) : entries_(std::move(entries)) {}

RemoteFind::~RemoteFind() = default;

bool RemoteFind::findNextFile(FindData& next) {
  if (next_ >= entries_.size()) return report(ErrorCode::NoMoreFiles);
  next = entries_[next_++];
  return true;
}

}  // namespace skyhaul::inet

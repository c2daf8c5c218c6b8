#include <utility>

#include "platform/inet/RemoteSession.h"

namespace skyhaul::inet {

RemoteFind::RemoteFind(std::vector<FindData> entries) : entries_(std::move(entries)) {}

RemoteFind::~RemoteFind() = default;

Status RemoteFind::findNextFile(FindData& next) {
  if (next_ >= entries_.size()) return ErrorCode::NoMoreFiles;
  next = entries_[next_++];
  return {};
}

}  // namespace skyhaul::inet

#include <utility>

#include "platform/inet/InternetLibrary.h"
#include "platform/inet/Report.h"

namespace skyhaul::inet {

using namespace detail;  // the public calls are made of the library's inner steps

FtpFind::FtpFind(std::vector<FindData> entries) : entries_(std::move(entries)) {}

FtpFind::~FtpFind() = default;

bool FtpFind::findNextFile(FindData& next) {
  if (next_ >= entries_.size()) return report(ErrorCode::NoMoreFiles);
  next = entries_[next_++];
  return true;
}

}  // namespace skyhaul::inet

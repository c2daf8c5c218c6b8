// Remote listings: the directory part of a mask is listed (MLSD or LIST, never with the mask
// itself, which many servers do not expand) and the last component is matched here.

#include <array>
#include <utility>
#include <vector>

#include "platform/FtpConnectionImpl.h"
#include "platform/FtpListing.h"
#include "platform/FtpWildcard.h"
#include "platform/InternetLastError.h"

namespace skyhaul::platform {
namespace {

// Replies that mean "no such directory" to a listing command.
bool isMissingDirectory(int code, bool mlsd) {
  return code == 450 || code == 550 || (mlsd && code == 501);
}

// No folder this program is meant for lists more; a listing beyond either bound is a server
// gone wrong (or hostile), and reading on would only fill the memory.
constexpr std::size_t kMaxListingBytes = 32 * 1024 * 1024;
constexpr std::size_t kMaxListingEntries = 250000;

bool matches(const std::string& pattern, const std::string& name) {
  if (pattern.empty()) return true;
  return hasWildcards(pattern) ? matchesWildcard(pattern, name) : pattern == name;
}

}  // namespace

class FtpFind::Impl {
 public:
  explicit Impl(std::vector<FindData> entries) : entries_(std::move(entries)) {}

  bool next(FindData& entry) {
    if (next_ >= entries_.size()) return fail(kErrorNoMoreFiles);
    entry = entries_[next_++];
    return true;
  }

 private:
  std::vector<FindData> entries_;
  std::size_t next_ = 0;
};

bool FtpConnection::Impl::readListing(FtpDataStream& stream, bool mlsd,
                                      std::vector<FindData>& entries) {
  std::string pending;
  std::string line;
  std::array<char, 16384> chunk;
  int code = kErrorSuccess;
  std::size_t total = 0;
  while (true) {
    std::size_t got = 0;
    code = stream.read(chunk.data(), chunk.size(), got);
    total += got;
    if (total > kMaxListingBytes || entries.size() > kMaxListingEntries) {
      entries.clear();
      return fail(kErrorFtpListingTooLong);
    }
    pending.append(chunk.data(), got);  // bytes that came before a failure count too
    while (takeLine(pending, line)) {
      auto entry = mlsd ? parseMlsdLine(line) : parseListLine(line);
      if (entry) entries.push_back(std::move(*entry));
    }
    if (code != kErrorSuccess || got == 0) break;
  }
  // A last line without its line end counts only when the data ended properly.
  if (code == kErrorSuccess && !pending.empty()) {
    auto entry = mlsd ? parseMlsdLine(pending) : parseListLine(pending);
    if (entry) entries.push_back(std::move(*entry));
  }
  return code == kErrorSuccess || fail(code);
}

// One plain name costs a listing of its whole folder over a data connection; MLST asks for just
// that entry on the control connection, and SIZE, where the server has no MLST, for the size of
// just that file (a folder, or a server that will not tell in the current type, gives 550).
// Only a clear answer naming exactly that entry is taken: a refusal, whatever its reason, is
// left to the listing, so the result stays what the listing gives.
FtpConnection::Impl::SingleLookup FtpConnection::Impl::lookUpSingleName(const std::string& path,
                                                                        const std::string& name,
                                                                        FindData& entry) {
  if (name.empty() || hasWildcards(name) || name == "." || name == "..") {
    return SingleLookup::Unanswered;
  }
  if (features_.mlst) return lookUpWithMlst(path, name, entry);
  if (features_.size) return lookUpWithSize(path, name, entry);
  return SingleLookup::Unanswered;
}

FtpConnection::Impl::SingleLookup FtpConnection::Impl::lookUpWithMlst(const std::string& path,
                                                                      const std::string& name,
                                                                      FindData& entry) {
  FtpReply reply;
  if (!control_.command("MLST " + path, reply)) return SingleLookup::Failed;
  if (!reply.isCompletion()) return SingleLookup::Unanswered;
  auto found = parseMlstReply(reply.text);
  if (!found) return SingleLookup::Unanswered;
  found->fileName = bareName(found->fileName);
  if (found->fileName != name) return SingleLookup::Unanswered;
  entry = std::move(*found);
  return SingleLookup::Found;
}

FtpConnection::Impl::SingleLookup FtpConnection::Impl::lookUpWithSize(const std::string& path,
                                                                      const std::string& name,
                                                                      FindData& entry) {
  FtpReply reply;
  if (!control_.command("SIZE " + path, reply)) return SingleLookup::Failed;
  const auto size = parseSizeReply(reply.text);
  if (reply.code != 213 || !size) return SingleLookup::Unanswered;
  entry = FindData{.fileName = name, .fileSize = *size, .isDirectory = false};
  return SingleLookup::Found;
}

FtpConnection::SizeReport FtpConnection::Impl::reportStoredSize(const std::string& path,
                                                                std::int64_t& size) {
  const std::string name = bareName(path);
  bool offered = false;
  FindData entry;
  SingleLookup answer = SingleLookup::Unanswered;
  if (features_.size && typeSent_ == 'I') {
    offered = true;
    answer = lookUpWithSize(path, name, entry);
  }
  if (answer == SingleLookup::Unanswered && features_.mlst) {
    offered = true;
    answer = lookUpWithMlst(path, name, entry);
    if (answer == SingleLookup::Found && entry.isDirectory) answer = SingleLookup::Unanswered;
  }
  if (answer == SingleLookup::Found) {
    size = entry.fileSize;
    return FtpConnection::SizeReport::Reported;
  }
  if (!offered) return FtpConnection::SizeReport::NotOffered;
  if (answer == SingleLookup::Unanswered) fail(kErrorFtpStoredSizeUnknown);
  return FtpConnection::SizeReport::Refused;
}

bool FtpConnection::Impl::fetchListing(const std::string& directory,
                                       std::vector<FindData>& entries) {
  const bool mlsd = features_.mlst;
  std::string command = mlsd ? "MLSD" : "LIST";
  if (!directory.empty()) command += " " + directory;
  std::optional<FtpDataStream> stream;
  if (!startTransfer(command, stream)) {
    if (lastError() == kErrorInternetExtendedError &&
        isMissingDirectory(control_.lastReplyCode(), mlsd)) {
      return fail(kErrorNoMoreFiles);
    }
    return false;
  }
  const bool complete = readListing(*stream, mlsd, entries);
  const int dataError = complete ? kErrorSuccess : lastError();
  stream->finish();
  // Where the server stands is unknown after either; one that never stops sending may not
  // even answer.
  if (dataError == kErrorInternetTimeout || dataError == kErrorFtpListingTooLong) control_.drop();
  if (dataError == kErrorFtpListingTooLong) return fail(dataError);
  // The final reply keeps the connection in step; the entries read stand whatever it says.
  finishTransfer();
  if (!complete && entries.empty()) return fail(dataError);
  return true;
}

std::unique_ptr<FtpFind> FtpConnection::findFirstFile(const std::string& mask, FindData& first) {
  if (!impl_->checkReady()) return nullptr;
  const MaskParts parts = splitMask(mask);
  switch (impl_->lookUpSingleName(mask, parts.pattern, first)) {
    case Impl::SingleLookup::Found:
      return std::make_unique<FtpFind>(std::make_unique<FtpFind::Impl>(std::vector<FindData>{}));
    case Impl::SingleLookup::Failed:
      return nullptr;
    case Impl::SingleLookup::Unanswered:
      break;
  }
  std::vector<FindData> listed;
  if (!impl_->fetchListing(parts.directory, listed)) return nullptr;
  std::vector<FindData> found;
  for (auto& entry : listed) {
    entry.fileName = bareName(entry.fileName);
    if (matches(parts.pattern, entry.fileName)) found.push_back(std::move(entry));
  }
  if (found.empty()) {
    fail(kErrorNoMoreFiles);
    return nullptr;
  }
  first = found.front();
  found.erase(found.begin());
  return std::make_unique<FtpFind>(std::make_unique<FtpFind::Impl>(std::move(found)));
}

FtpConnection::SizeReport FtpConnection::reportStoredSize(const std::string& remote,
                                                          std::int64_t& size) {
  if (!impl_->checkReady()) return SizeReport::Refused;
  return impl_->reportStoredSize(remote, size);
}

FtpFind::FtpFind(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

FtpFind::~FtpFind() = default;

bool FtpFind::findNextFile(FindData& next) {
  return impl_ ? impl_->next(next) : fail(kErrorInvalidHandle);
}

}  // namespace skyhaul::platform

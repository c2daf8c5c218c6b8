// Taking a download up again where an earlier attempt or run left it, and checking finished
// transfers against a digest the server computes of its copy.
#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

#include "ftp/cFTP.h"
#include "platform/FileInfo.h"
#include "platform/PartFile.h"
#include "platform/PathParts.h"

namespace skyhaul::ftp {

namespace {

// A server hashes at disk speed or better; this leaves room for a slow one.
constexpr std::int64_t kDigestBytesPerSecond = 16 * 1024 * 1024;

// Feeds the first `upTo` bytes that `read(offset, data, size, got)` gives into `digest`, a large
// block at a time; false when they cannot all be read.
template <typename Read>
bool digestBlocks(platform::BackgroundDigest& digest, std::int64_t upTo, Read read) {
  std::vector<char> block(256 * 1024);
  for (std::int64_t at = 0; at < upTo;) {
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(block.size(), upTo - at));
    std::size_t got = 0;
    if (!read(at, block.data(), want, got) || got != want) return false;
    digest.update(block.data(), got);
    at += static_cast<std::int64_t>(got);
  }
  return true;
}

}  // namespace

void cFTP::SetDigestChecks(bool bOn) { digestChecks_ = bOn; }

// ASCII type changes the bytes on the way, and without REST nothing can be asked for part-way.
bool cFTP::resumable() const {
  return lTransferType == kTransferTypeBinary && connected() && hConnection->canRestart();
}

// What a temporary must record to be taken up again: the same server, remote file, size and
// modification time, and the same local file. "" when a part could not be proved to belong to
// this file (ASCII type changes the bytes; no modification time, or no REST).
std::string cFTP::resumeOrigin(const std::string& sLocal, const std::string& sRemote,
                               std::int64_t total, const std::string& stamp) {
  if (!resumable() || stamp.empty()) return {};
  return "skyhaul 1\n" + server_ + "\n" + sRemote + "\n" + std::to_string(total) + "\n" + stamp +
         "\n" + platform::realPath(sLocal);
}

// The bytes of a kept temporary of this very file that `local` now goes on writing after; 0
// when there is none (or it is no use), and the download starts from the beginning.
std::int64_t cFTP::takeUpKeptPart(platform::LocalTarget& local, const std::string& sLocal,
                                  const std::string& origin, std::int64_t total) {
  if (origin.empty()) return 0;
  const std::string folder = platform::folderPrefixOf(sLocal);
  if (searchedFolders_.insert(folder).second) {
    for (const auto& part : platform::keptPartFiles(folder)) {
      keptParts_.emplace(part.origin, part.path);
    }
  }
  const auto kept = keptParts_.find(origin);
  if (kept == keptParts_.end()) {
    discardOtherParts(sLocal);
    return 0;
  }
  const std::string part = kept->second;
  keptParts_.erase(kept);
  if (!local.resumeWriting(sLocal, part)) return 0;
  const std::int64_t offset = local.written();
  if (offset > 0 && offset < total) return offset;
  local.discard();
  return 0;
}

// A part kept of an earlier state of the file (another size or modification time) is of no
// use to anyone now: it goes.
void cFTP::discardOtherParts(const std::string& sLocal) {
  std::string target(1, '\n');  // appended: GCC 12's -Wrestrict misreads "\n" + ... at -O3
  target += platform::realPath(sLocal);
  for (auto part = keptParts_.begin(); part != keptParts_.end();) {
    if (part->first.ends_with(target)) {
      platform::LocalTarget stale;
      if (stale.resumeWriting(sLocal, part->second)) stale.discard();
      part = keptParts_.erase(part);
    } else {
      ++part;
    }
  }
}

// A download that failed part-way leaves what it got for the next attempt, unless the local
// side failed (a full disk is no place to keep it) or nothing proves what it is part of.
void cFTP::keepForLater(platform::LocalTarget& local, const std::string& origin) {
  if (origin.empty() || local.error() != platform::ErrorCode::Success || local.written() == 0) {
    local.discard();
    return;
  }
  const std::string part = local.keep(origin);
  if (!part.empty()) keptParts_[origin] = part;
}

void cFTP::startDigest() {
  digest_.reset();
  if (!digestChecks_ || lTransferType != kTransferTypeBinary || !connected()) return;
  if (const auto algorithm = hConnection->strongestDigest()) digest_.emplace(*algorithm);
}

// A file taken up again is checked whole: the part kept is read back into the digest first.
bool cFTP::digestWritten(platform::LocalTarget& local, std::int64_t upTo) {
  return digestBlocks(*digest_, upTo,
                      [&](std::int64_t at, char* data, std::size_t size, std::size_t& got) {
                        return local.readWritten(at, data, size, got);
                      });
}

// The copy counts only when the server's digest of what it holds is ours of what moved.
bool cFTP::verifyDigest(const std::string& sRemote, std::int64_t total) {
  if (!digest_) return true;
  const std::string name(platform::digestName(digest_->algorithm()));
  const auto timeout = inet::defaultTimeouts().reply +
                       std::chrono::milliseconds(total / kDigestBytesPerSecond * 1000);
  std::string theirs;
  if (!succeeded(hConnection->digest(sRemote, digest_->algorithm(), timeout, theirs),
                 "VerifyDigest")) {
    return false;
  }
  if (theirs != digest_->hex()) {
    RecordErrorMessage(platform::ErrorCode::FtpDigestMismatch, "VerifyDigest", " (" + name + ")");
    return false;
  }
  transferNote_ +=
      std::string(transferNote_.empty() ? "" : "; ") + "preverjeno s " + name + " strežnika";
  facts_.digest = name;
  return true;
}

// Where an upload into our own temporary goes on: after the bytes the server holds of it, when
// the last attempt sent it part of this very version of the source. Never for a real name.
std::int64_t cFTP::uploadResumePoint(platform::LocalSource& local, const std::string& sRemote) {
  const auto kept = std::exchange(keptUpload_, std::nullopt);
  if (!kept || kept->remote != sRemote || !(kept->source == local.version()) || !connected() ||
      lTransferType != kTransferTypeBinary || !hConnection->canRestart()) {
    return 0;
  }
  std::optional<std::int64_t> stored;
  if (!hConnection->reportStoredSize(sRemote, stored) || !stored) return 0;
  return *stored > 0 && *stored < local.size() ? *stored : 0;
}

// Only an upload into one of our temporaries is ever taken up again: nobody takes that name for
// the file, and the source must still be the version it was sending.
bool cFTP::keepUploadForLater(const platform::LocalSource& local, const std::string& sRemote) {
  if (!platform::isPartFileName(inet::bareName(sRemote)) ||
      local.error() != platform::ErrorCode::Success) {
    return false;
  }
  keptUpload_ = KeptUpload{sRemote, local.version()};
  return true;
}

// The bytes the server already holds are not sent again; a digest still takes them in.
bool cFTP::skipSent(platform::LocalSource& local, std::int64_t offset) {
  if (offset == 0) return true;
  if (!digest_) return local.seek(offset);
  return digestBlocks(*digest_, offset,
                      [&](std::int64_t, char* data, std::size_t size, std::size_t& got) {
                        return local.read(data, size, got);
                      });
}

void cFTP::noteResumedAt(std::int64_t offset, const char* proof) {
  transferNote_ = "nadaljevano od bajta " + std::to_string(offset) + " (" + proof + ")";
  facts_.resumedFrom = offset;
}

}  // namespace skyhaul::ftp

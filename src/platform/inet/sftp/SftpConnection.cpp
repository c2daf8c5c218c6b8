#include "platform/inet/sftp/SftpConnection.h"

#include <algorithm>
#include <ctime>
#include <utility>

#include "platform/LastError.h"
#include "platform/LocalFile.h"
#include "platform/Wildcard.h"

namespace skyhaul::inet {
namespace {

// A file transfer and what it reads from or writes to, adapted to the stream every transfer is.
class SftpStream final : public RemoteStream {
 public:
  explicit SftpStream(std::unique_ptr<SftpFile> file) : file_(std::move(file)) {}
  bool write(const void* data, std::size_t size) override { return file_->write(data, size); }
  bool read(void* data, std::size_t size, std::size_t& bytesRead) override {
    return file_->read(data, size, bytesRead);
  }
  bool close() override { return file_->close(); }

 private:
  std::unique_ptr<SftpFile> file_;
};

bool fail(ErrorCode code) {
  platform::setLastError(code);
  return false;
}

std::string stampOf(std::int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm utc{};
  char text[16] = {};
  if (::gmtime_r(&time, &utc) == nullptr ||
      std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &utc) == 0) {
    return {};
  }
  return text;
}

bool matches(const std::string& pattern, const std::string& name) {
  if (pattern.empty()) return true;
  return platform::hasWildcards(pattern) ? platform::matchesWildcard(pattern, name)
                                         : pattern == name;
}

}  // namespace

SftpConnection::SftpConnection(std::unique_ptr<SftpSession> session)
    : session_(std::move(session)) {}

std::unique_ptr<RemoteStream> SftpConnection::openStream(const std::string& remote,
                                                         FileAccess access, TransferType /*type*/,
                                                         std::int64_t restartAt) {
  // SFTP moves bytes as they are: there is no ASCII type.
  auto file =
      access == FileAccess::Read
          ? session_->openRead(remote, restartAt)
          : session_->openWrite(remote, restartAt > 0 ? std::optional(restartAt) : std::nullopt);
  if (!file) return nullptr;
  return std::make_unique<SftpStream>(std::move(file));
}

bool SftpConnection::modificationTime(const std::string& remote, std::string& stamp) {
  SftpStat info;
  stamp.clear();
  if (!session_->stat(remote, info)) return false;
  if (!info.isDirectory) stamp = stampOf(info.modified);
  return true;
}

bool SftpConnection::digest(const std::string&, platform::DigestAlgorithm,
                            std::chrono::milliseconds, std::string&) {
  return fail(ErrorCode::FtpDigestNotOffered);
}

bool SftpConnection::findSingle(const std::string& path, const std::string& name, FindData& entry) {
  SftpStat info;
  if (!session_->stat(path, info) || info.isDirectory) return false;
  entry = FindData{.fileName = name, .fileSize = info.size, .isDirectory = false};
  return true;
}

std::unique_ptr<RemoteFind> SftpConnection::findFirstFile(const std::string& mask, FindData& first) {
  const platform::MaskParts parts = platform::splitMask(mask);
  if (!parts.pattern.empty() && !platform::hasWildcards(parts.pattern) &&
      findSingle(mask, parts.pattern, first)) {
    return std::make_unique<RemoteFind>(std::vector<FindData>{});
  }
  std::vector<FindData> listed;
  if (!session_->list(parts.directory.empty() ? "." : parts.directory, listed)) return nullptr;
  std::vector<FindData> found;
  for (auto& entry : listed) {
    if (matches(parts.pattern, entry.fileName)) found.push_back(std::move(entry));
  }
  // A listed name asked for again is itself, not a pattern: "x?.csv" is the file of that name
  // before "x1.csv", whatever the server's order.
  std::stable_partition(found.begin(), found.end(),
                        [&](const FindData& entry) { return entry.fileName == parts.pattern; });
  if (found.empty()) {
    fail(ErrorCode::NoMoreFiles);
    return nullptr;
  }
  first = std::move(found.front());
  found.erase(found.begin());
  return std::make_unique<RemoteFind>(std::move(found));
}

RemoteSession::SizeReport SftpConnection::reportStoredSize(const std::string& remote,
                                                           std::int64_t& size) {
  SftpStat info;
  if (!session_->stat(remote, info)) return SizeReport::Refused;
  if (info.isDirectory) {
    fail(ErrorCode::FtpStoredSizeUnknown);
    return SizeReport::Refused;
  }
  size = info.size;
  return SizeReport::Reported;
}

// Named by the server, so that the name leads back here from any other folder.
bool SftpConnection::getCurrentDirectory(std::string& directory) {
  return session_->absolutePath(".", directory);
}

bool SftpConnection::setCurrentDirectory(const std::string& directory) {
  return session_->setCurrentFolder(directory);
}

bool SftpConnection::deleteFile(const std::string& remote) { return session_->remove(remote); }

bool SftpConnection::renameFile(const std::string& existing, const std::string& newName) {
  return session_->rename(existing, newName);
}

bool SftpConnection::createDirectory(const std::string& directory) {
  return session_->createDirectory(directory);
}

bool SftpConnection::removeDirectory(const std::string& directory) {
  return session_->removeDirectory(directory);
}

bool SftpConnection::putFile(const std::string& local, const std::string& remote,
                             TransferType type) {
  platform::LocalFile source;
  if (!source.openForReading(local)) return fail(source.error());
  auto target = openStream(remote, FileAccess::Write, type, 0);
  if (!target) return false;
  std::vector<char> block(256 * 1024);
  for (;;) {
    std::size_t got = 0;
    if (!source.read(block.data(), block.size(), got)) return fail(source.error());
    if (got == 0) return target->close();
    if (!target->write(block.data(), got)) return false;
  }
}

bool SftpConnection::getFile(const std::string& remote, const std::string& local,
                             TransferType type) {
  auto source = openStream(remote, FileAccess::Read, type, 0);
  if (!source) return false;
  platform::LocalFile target;
  if (!target.openForWriting(local)) return fail(target.error());
  std::vector<char> block(256 * 1024);
  for (;;) {
    std::size_t got = 0;
    if (!source->read(block.data(), block.size(), got)) return false;
    if (got == 0) break;
    if (!target.write(block.data(), got)) return fail(target.error());
  }
  if (!source->close()) return false;
  return target.close() || fail(target.error());
}

}  // namespace skyhaul::inet

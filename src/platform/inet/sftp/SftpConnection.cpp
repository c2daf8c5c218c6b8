#include "platform/inet/sftp/SftpConnection.h"

#include <algorithm>
#include <ctime>
#include <utility>

#include "platform/Wildcard.h"

namespace skyhaul::inet {
namespace {

// A file transfer and what it reads from or writes to, adapted to the stream every transfer is.
class SftpStream final : public RemoteStream {
 public:
  explicit SftpStream(std::unique_ptr<SftpFile> file) : file_(std::move(file)) {}
  Status write(const void* data, std::size_t size) override { return file_->write(data, size); }
  Status read(void* data, std::size_t size, std::size_t& bytesRead) override {
    return file_->read(data, size, bytesRead);
  }
  Status close() override { return file_->close(); }

 private:
  std::unique_ptr<SftpFile> file_;
};

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

Status SftpConnection::openStream(const std::string& remote, FileAccess access,
                                  TransferType /*type*/, std::int64_t restartAt,
                                  std::unique_ptr<RemoteStream>& stream) {
  // SFTP moves bytes as they are: there is no ASCII type.
  std::unique_ptr<SftpFile> file;
  const Status opened =
      access == FileAccess::Read
          ? session_->openRead(remote, restartAt, file)
          : session_->openWrite(remote, restartAt > 0 ? std::optional(restartAt) : std::nullopt,
                                file);
  if (!opened) return opened;
  stream = std::make_unique<SftpStream>(std::move(file));
  return {};
}

Status SftpConnection::modificationTime(const std::string& remote, std::string& stamp) {
  SftpStat info;
  stamp.clear();
  if (Status found = session_->stat(remote, info); !found) return found;
  if (!info.isDirectory) stamp = stampOf(info.modified);
  return {};
}

Status SftpConnection::digest(const std::string&, platform::DigestAlgorithm,
                              std::chrono::milliseconds, std::string&) {
  return ErrorCode::DigestNotOffered;
}

bool SftpConnection::findSingle(const std::string& path, const std::string& name, FindData& entry) {
  SftpStat info;
  if (!session_->stat(path, info) || info.isDirectory) return false;
  entry = FindData{.fileName = name, .fileSize = info.size, .isDirectory = false};
  return true;
}

Status SftpConnection::findFirstFile(const std::string& mask, FindData& first,
                                     std::unique_ptr<RemoteFind>& find) {
  const platform::MaskParts parts = platform::splitMask(mask);
  if (!parts.pattern.empty() && !platform::hasWildcards(parts.pattern) &&
      findSingle(mask, parts.pattern, first)) {
    find = std::make_unique<RemoteFind>(std::vector<FindData>{});
    return {};
  }
  std::vector<FindData> listed;
  if (Status read = session_->list(parts.directory.empty() ? "." : parts.directory, listed);
      !read) {
    return read;
  }
  std::vector<FindData> found;
  for (auto& entry : listed) {
    if (matches(parts.pattern, entry.fileName)) found.push_back(std::move(entry));
  }
  // A listed name asked for again is itself, not a pattern: "x?.csv" is the file of that name
  // before "x1.csv", whatever the server's order.
  std::stable_partition(found.begin(), found.end(),
                        [&](const FindData& entry) { return entry.fileName == parts.pattern; });
  if (found.empty()) return ErrorCode::NoMoreFiles;
  first = std::move(found.front());
  found.erase(found.begin());
  find = std::make_unique<RemoteFind>(std::move(found));
  return {};
}

Status SftpConnection::reportStoredSize(const std::string& remote,
                                        std::optional<std::int64_t>& size) {
  SftpStat info;
  if (Status found = session_->stat(remote, info); !found) return found;
  if (info.isDirectory) return ErrorCode::StoredSizeUnknown;
  size = info.size;
  return {};
}

// Named by the server, so that the name leads back here from any other folder.
Status SftpConnection::getCurrentDirectory(std::string& directory) {
  return session_->absolutePath(".", directory);
}

Status SftpConnection::setCurrentDirectory(const std::string& directory) {
  return session_->setCurrentFolder(directory);
}

Status SftpConnection::deleteFile(const std::string& remote) { return session_->remove(remote); }

Status SftpConnection::renameFile(const std::string& existing, const std::string& newName) {
  return session_->rename(existing, newName);
}

Status SftpConnection::createDirectory(const std::string& directory) {
  return session_->createDirectory(directory);
}

Status SftpConnection::removeDirectory(const std::string& directory) {
  return session_->removeDirectory(directory);
}

}  // namespace skyhaul::inet

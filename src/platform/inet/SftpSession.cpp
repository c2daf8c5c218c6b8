#include "platform/inet/SftpSession.h"

#include <fcntl.h>

#include "platform/inet/Listing.h"
#include "platform/inet/Report.h"
#include "platform/inet/SftpLink.h"

namespace skyhaul::inet {

using namespace detail;
namespace {

constexpr int kNewFileMode = 0644;

// One entry of a listing; a link is followed, so a link to a file lists as that file.
FindData entryOf(SftpLink& link, const std::string& folder, const sftp_attributes_struct& entry) {
  FindData data;
  data.fileName = entry.name;
  data.fileSize = static_cast<std::int64_t>(entry.size);
  data.isDirectory = entry.type == SSH_FILEXFER_TYPE_DIRECTORY;
  data.isLink = entry.type == SSH_FILEXFER_TYPE_SYMLINK;
  if (!data.isLink) return data;
  const std::string path = resolveSftpPath(folder.empty() ? "." : folder, data.fileName);
  const SftpAttributesHandle target(sftp_stat(link.sftp.get(), path.c_str()));
  if (!target) return data;  // a link that leads nowhere stays a link
  data.isLink = false;
  data.isDirectory = target->type == SSH_FILEXFER_TYPE_DIRECTORY;
  data.fileSize = static_cast<std::int64_t>(target->size);
  return data;
}

bool isDotEntry(const char* name) {
  const std::string_view text(name);
  return text == "." || text == "..";
}

// Reads the open folder to its end, within the listing bounds.
Status readFolder(SftpLink& link, sftp_dir dir, const std::string& folder,
                  std::vector<FindData>& entries, std::string& detail) {
  std::size_t bytes = 0;
  while (true) {
    const auto call = link.begin();
    const SftpAttributesHandle entry(sftp_readdir(link.sftp.get(), dir));
    if (!entry) break;
    if (entry->name == nullptr || isDotEntry(entry->name)) continue;
    bytes += std::string_view(entry->name).size() + 1;
    if (entries.size() >= kMaxListingEntries || bytes > kMaxListingBytes) {
      entries.clear();
      return ErrorCode::FtpListingTooLong;
    }
    entries.push_back(entryOf(link, folder, *entry));
  }
  if (sftp_dir_eof(dir) != 0) return {};
  return link.failure(detail);
}

}  // namespace

void SftpFileCloser::operator()(sftp_file_struct* file) const { sftp_close(file); }

std::string resolveSftpPath(const std::string& folder, const std::string& path) {
  if (folder.empty() || (!path.empty() && path.front() == '/')) return path;
  if (path.empty()) return folder;
  return folder.back() == '/' ? folder + path : folder + "/" + path;
}

SftpSession::SftpSession(std::shared_ptr<SftpLink> link) : link_(std::move(link)) {}

SftpSession::~SftpSession() = default;

std::string SftpSession::resolve(const std::string& path) const {
  const std::string resolved = resolveSftpPath(current_, path);
  return resolved.empty() ? "." : resolved;
}

bool SftpSession::setCurrentFolder(const std::string& folder) {
  const std::string path = resolve(folder);
  SftpStat info;
  if (!statResolved(path, info)) return false;
  if (!info.isDirectory) return report(ErrorCode::SftpNoSuchPath, path);
  current_ = path;
  return true;
}

bool SftpSession::list(const std::string& folder, std::vector<FindData>& entries) {
  entries.clear();
  const std::string path = resolve(folder);
  SftpDirHandle dir;
  {
    const auto call = link_->begin();
    dir.reset(sftp_opendir(link_->sftp.get(), path.c_str()));
    if (!dir) return reportFailure(*link_);
  }
  std::string detail;
  return report(readFolder(*link_, dir.get(), path, entries, detail), detail);
}

bool SftpSession::stat(const std::string& path, SftpStat& info) {
  return statResolved(resolve(path), info);
}

bool SftpSession::statResolved(const std::string& path, SftpStat& info) {
  const auto call = link_->begin();
  const SftpAttributesHandle attributes(sftp_stat(link_->sftp.get(), path.c_str()));
  if (!attributes) return reportFailure(*link_);
  info.size = static_cast<std::int64_t>(attributes->size);
  // SFTP version 3 carries 32-bit times, which libssh may leave in `mtime` alone.
  const std::uint64_t modified = attributes->mtime64 != 0 ? attributes->mtime64 : attributes->mtime;
  info.modified = static_cast<std::int64_t>(modified);
  info.isDirectory = attributes->type == SSH_FILEXFER_TYPE_DIRECTORY;
  return true;
}

std::unique_ptr<SftpFile> SftpSession::openRead(const std::string& path, std::int64_t offset) {
  const std::string resolved = resolve(path);
  const auto call = link_->begin();
  sftp_file file = sftp_open(link_->sftp.get(), resolved.c_str(), O_RDONLY, 0);
  if (file == nullptr) {
    reportFailure(*link_);
    return nullptr;
  }
  auto opened = std::make_unique<SftpFile>(link_, file, resolved, false, offset);
  if (sftp_seek64(file, static_cast<std::uint64_t>(offset)) != 0) {
    report(ErrorCode::InvalidParameter);
    return nullptr;
  }
  return opened;
}

std::unique_ptr<SftpFile> SftpSession::openWrite(const std::string& path,
                                                 std::optional<std::int64_t> resumeAt) {
  const std::string resolved = resolve(path);
  const int flags = resumeAt ? O_WRONLY : O_WRONLY | O_CREAT | O_TRUNC;
  const auto call = link_->begin();
  sftp_file file = sftp_open(link_->sftp.get(), resolved.c_str(), flags, kNewFileMode);
  if (file == nullptr) {
    reportFailure(*link_);
    return nullptr;
  }
  const std::int64_t offset = resumeAt.value_or(0);
  auto opened = std::make_unique<SftpFile>(link_, file, resolved, true, offset);
  if (sftp_seek64(file, static_cast<std::uint64_t>(offset)) != 0) {
    report(ErrorCode::InvalidParameter);
    return nullptr;
  }
  return opened;
}

bool SftpSession::rename(const std::string& existing, const std::string& newName) {
  const std::string from = resolve(existing);
  const std::string to = resolve(newName);
  if (renameResolved(from, to)) return true;
  // A plain rename refuses an existing target (libssh 0.10 has no call for the server's
  // posix-rename): remove the target file, then rename once more.
  std::string detail;
  const Status refused = link_->failure(detail);
  SftpStat target;
  if (!statResolved(to, target) || target.isDirectory) return report(refused, detail);
  {
    const auto call = link_->begin();
    if (sftp_unlink(link_->sftp.get(), to.c_str()) != 0) return reportFailure(*link_);
  }
  return renameResolved(from, to) || reportFailure(*link_);
}

bool SftpSession::renameResolved(const std::string& from, const std::string& to) {
  const auto call = link_->begin();
  return sftp_rename(link_->sftp.get(), from.c_str(), to.c_str()) == 0;
}

bool SftpSession::remove(const std::string& path) {
  const auto call = link_->begin();
  return sftp_unlink(link_->sftp.get(), resolve(path).c_str()) == 0 || reportFailure(*link_);
}

bool SftpSession::createDirectory(const std::string& path) {
  const auto call = link_->begin();
  return sftp_mkdir(link_->sftp.get(), resolve(path).c_str(), 0755) == 0 || reportFailure(*link_);
}

bool SftpSession::removeDirectory(const std::string& path) {
  const auto call = link_->begin();
  return sftp_rmdir(link_->sftp.get(), resolve(path).c_str()) == 0 || reportFailure(*link_);
}

bool SftpSession::offersPosixRename() const { return link_->posixRename; }

}  // namespace skyhaul::inet

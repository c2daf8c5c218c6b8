#include "platform/inet/SftpSession.h"

#include "platform/inet/Listing.h"
#include "platform/inet/Report.h"
#include "platform/inet/SftpLink.h"

namespace skyhaul::inet {

using namespace detail;
namespace {

constexpr std::uint32_t kNewFileMode = 0644;
constexpr std::uint32_t kNewFolderMode = 0755;
constexpr const char* kPosixRename = "posix-rename@openssh.com";

bool isDotEntry(std::string_view name) { return name == "." || name == ".."; }

// A request that names one path.
std::string pathPacket(sftp::Type type, std::uint32_t id, const std::string& path) {
  return sftp::PacketWriter(type, id).string(path).finish();
}

// The handle an OPEN or OPENDIR answer carries.
Status handleOf(SftpChannel& channel, const std::string& request, std::uint32_t id,
                std::string& handle) {
  SftpReply reply;
  Status status = channel.call(id, request, reply);
  if (status) status = expect(reply, sftp::Type::Handle);
  if (!status) return status;
  const auto decoded = sftp::decodeHandle(reply.body());
  if (!decoded) return ErrorCode::SshProtocolFailure;
  handle.assign(*decoded);
  return {};
}

// An open folder; closed when it goes (the answer is not waited for: nothing depends on it).
class FolderHandle {
 public:
  explicit FolderHandle(SftpChannel& channel) : channel_(channel) {}
  ~FolderHandle() {
    if (handle_.empty()) return;
    const std::uint32_t id = channel_.nextId();
    if (channel_.send(id, sftp::PacketWriter(sftp::Type::Close, id).string(handle_).finish())) {
      channel_.abandon(id);
    }
  }
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;

  Status open(const std::string& path) {
    const std::uint32_t id = channel_.nextId();
    return handleOf(channel_, pathPacket(sftp::Type::Opendir, id, path), id, handle_);
  }
  // The next batch of entries; an empty batch at the end.
  Status next(SftpReply& reply, std::vector<sftp::NameEntry>& batch) {
    batch.clear();
    const std::uint32_t id = channel_.nextId();
    const std::string request =
        sftp::PacketWriter(sftp::Type::Readdir, id).string(handle_).finish();
    if (Status status = channel_.call(id, request, reply); !status) return status;
    if (reply.type() == sftp::Type::Status && sftp::decodeStatus(reply.body()) &&
        sftp::decodeStatus(reply.body())->code == sftp::kStatusEof) {
      return {};
    }
    if (Status status = expect(reply, sftp::Type::Name); !status) return status;
    auto names = sftp::decodeNames(reply.body());
    if (!names || names->empty()) return ErrorCode::SshProtocolFailure;
    batch = std::move(*names);
    return {};
  }

 private:
  SftpChannel& channel_;
  std::string handle_;
};

// A request that names one path and is answered with a status.
Status pathRequest(SftpChannel& channel, sftp::Type type, const std::string& path) {
  const std::uint32_t id = channel.nextId();
  sftp::PacketWriter request(type, id);
  request.string(path);
  if (type == sftp::Type::Mkdir) request.permissions(kNewFolderMode);
  return channel.callForOk(id, request.finish());
}

SftpStat statOf(const sftp::Attributes& attributes) {
  SftpStat info;
  info.size = static_cast<std::int64_t>(attributes.size.value_or(0));
  info.modified = attributes.modified.value_or(0);
  info.isDirectory = attributes.isDirectory();
  return info;
}

}  // namespace

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
  if (!report(statResolved(path, info))) return false;
  if (!info.isDirectory) return report(ErrorCode::SftpNoSuchPath, path);
  current_ = path;
  return true;
}

bool SftpSession::list(const std::string& folder, std::vector<FindData>& entries) {
  entries.clear();
  const std::string path = resolve(folder);
  FolderHandle dir(*link_->sftp);
  if (!report(dir.open(path))) return false;
  std::size_t bytes = 0;
  SftpReply reply;
  std::vector<sftp::NameEntry> batch;
  while (true) {
    if (const Status status = dir.next(reply, batch); !status) {
      entries.clear();
      return report(status);
    }
    if (batch.empty()) break;
    for (const sftp::NameEntry& entry : batch) {
      if (isDotEntry(entry.name)) continue;
      bytes += entry.name.size() + 1;
      if (entries.size() >= kMaxListingEntries || bytes > kMaxListingBytes) {
        entries.clear();
        return report(ErrorCode::FtpListingTooLong);
      }
      FindData data;
      data.fileName.assign(entry.name);
      data.fileSize = static_cast<std::int64_t>(entry.attributes.size.value_or(0));
      data.isDirectory = entry.attributes.isDirectory();
      data.isLink = entry.attributes.isLink();
      entries.push_back(std::move(data));
    }
  }
  followLinks(path, entries);
  return true;
}

bool SftpSession::stat(const std::string& path, SftpStat& info) {
  return report(statResolved(resolve(path), info));
}

Status SftpSession::statResolved(const std::string& path, SftpStat& info) {
  SftpChannel& channel = *link_->sftp;
  const std::uint32_t id = channel.nextId();
  SftpReply reply;
  Status status = channel.call(id, pathPacket(sftp::Type::Stat, id, path), reply);
  if (status) status = expect(reply, sftp::Type::Attrs);
  if (!status) return status;
  const auto attributes = sftp::decodeAttributes(reply.body());
  if (!attributes) return ErrorCode::SshProtocolFailure;
  info = statOf(*attributes);
  return {};
}

// A link is followed, so a link to a file lists as that file; one that leads nowhere stays a
// link. Only once the whole folder is read and within the bounds: each link costs a request.
void SftpSession::followLinks(const std::string& folder, std::vector<FindData>& entries) {
  for (FindData& entry : entries) {
    if (!entry.isLink) continue;
    SftpStat target;
    if (!statResolved(resolveSftpPath(folder, entry.fileName), target)) continue;
    entry.isLink = false;
    entry.isDirectory = target.isDirectory;
    entry.fileSize = target.size;
  }
}

std::unique_ptr<SftpFile> SftpSession::open(const std::string& path, std::uint32_t flags,
                                            bool writing, std::int64_t offset) {
  if (offset < 0) {
    report(ErrorCode::InvalidParameter);
    return nullptr;
  }
  const std::string resolved = resolve(path);
  SftpChannel& channel = *link_->sftp;
  const std::uint32_t id = channel.nextId();
  sftp::PacketWriter request(sftp::Type::Open, id);
  request.string(resolved).u32(flags);
  if ((flags & sftp::kOpenCreate) != 0) {
    request.permissions(kNewFileMode);
  } else {
    request.u32(0);  // no attributes
  }
  std::string handle;
  if (!report(handleOf(channel, request.finish(), id, handle))) return nullptr;
  return std::make_unique<SftpFile>(link_, std::move(handle), resolved, writing, offset);
}

std::unique_ptr<SftpFile> SftpSession::openRead(const std::string& path, std::int64_t offset) {
  return open(path, sftp::kOpenRead, false, offset);
}

std::unique_ptr<SftpFile> SftpSession::openWrite(const std::string& path,
                                                 std::optional<std::int64_t> resumeAt) {
  const std::uint32_t flags =
      resumeAt ? sftp::kOpenWrite : sftp::kOpenWrite | sftp::kOpenCreate | sftp::kOpenTruncate;
  return open(path, flags, true, resumeAt.value_or(0));
}

bool SftpSession::rename(const std::string& existing, const std::string& newName) {
  const std::string from = resolve(existing);
  const std::string to = resolve(newName);
  if (link_->posixRename) {
    SftpChannel& channel = *link_->sftp;
    const std::uint32_t id = channel.nextId();
    return report(channel.callForOk(id, sftp::PacketWriter(sftp::Type::Extended, id)
                                            .string(kPosixRename)
                                            .string(from)
                                            .string(to)
                                            .finish()));
  }
  const Status refused = renameResolved(from, to);
  if (refused) return true;
  // A plain rename refuses an existing target: remove the target file, then rename once more.
  SftpStat target;
  if (!statResolved(to, target) || target.isDirectory) return report(refused);
  if (!report(pathRequest(*link_->sftp, sftp::Type::Remove, to))) return false;
  return report(renameResolved(from, to));
}

Status SftpSession::renameResolved(const std::string& from, const std::string& to) {
  SftpChannel& channel = *link_->sftp;
  const std::uint32_t id = channel.nextId();
  return channel.callForOk(
      id, sftp::PacketWriter(sftp::Type::Rename, id).string(from).string(to).finish());
}

bool SftpSession::remove(const std::string& path) {
  return report(pathRequest(*link_->sftp, sftp::Type::Remove, resolve(path)));
}

bool SftpSession::createDirectory(const std::string& path) {
  return report(pathRequest(*link_->sftp, sftp::Type::Mkdir, resolve(path)));
}

bool SftpSession::removeDirectory(const std::string& path) {
  return report(pathRequest(*link_->sftp, sftp::Type::Rmdir, resolve(path)));
}

bool SftpSession::offersPosixRename() const { return link_->posixRename; }

}  // namespace skyhaul::inet

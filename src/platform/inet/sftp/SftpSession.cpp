#include "platform/inet/sftp/SftpSession.h"

#include "platform/PartFile.h"
#include "platform/PathParts.h"
#include "platform/inet/sftp/SftpLink.h"

namespace skyhaul::inet {

using namespace detail;
namespace {

constexpr std::uint32_t kNewFileMode = 0644;
constexpr std::uint32_t kNewFolderMode = 0755;
constexpr const char* kPosixRename = "posix-rename@openssh.com";
// A listing may take this many time limits as a whole: a server that paces its entries just
// above the progress floor would otherwise hold the job for weeks before the bounds end it.
constexpr int kListingTimeLimits = 10;

bool isDotEntry(std::string_view name) { return name == "." || name == ".."; }

// A STATUS the server answered with, rather than a session that broke or ran out of time.
bool isServerRefusal(const Status& status) {
  return status.code() >= ErrorCode::SftpEndOfFile && status.code() <= ErrorCode::SftpNoMedia;
}

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
  // The next batch of entries, within `limit`; an empty batch at the end.
  Status next(SftpReply& reply, std::vector<sftp::NameEntry>& batch,
              std::chrono::milliseconds limit) {
    batch.clear();
    const std::uint32_t id = channel_.nextId();
    const std::string request =
        sftp::PacketWriter(sftp::Type::Readdir, id).string(handle_).finish();
    if (Status status = channel_.send(id, request); !status) return status;
    if (Status status = channel_.receive(id, reply, limit); !status) return status;
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

SftpSession::SftpSession(std::shared_ptr<SftpLink> link) : link_(std::move(link)) {}

SftpSession::~SftpSession() = default;

std::string SftpSession::resolve(const std::string& path) const {
  const std::string resolved = platform::pathIn(current_, path);
  return resolved.empty() ? "." : resolved;
}

Status SftpSession::setCurrentFolder(const std::string& folder) {
  const std::string path = resolve(folder);
  // The per-file steps go back to the root before every file; the root does not go away.
  if (path == "/" && current_ == "/") return {};
  SftpStat info;
  if (Status found = statResolved(path, info); !found) return found;
  if (!info.isDirectory) return Status(ErrorCode::SftpNoSuchPath, path);
  current_ = path;
  return {};
}

Status SftpSession::absolutePath(const std::string& path, std::string& absolute) {
  SftpChannel& channel = *link_->sftp;
  const std::uint32_t id = channel.nextId();
  SftpReply reply;
  Status status = channel.call(id, pathPacket(sftp::Type::Realpath, id, resolve(path)), reply);
  if (status) status = expect(reply, sftp::Type::Name);
  const auto names = status ? sftp::decodeNames(reply.body()) : std::nullopt;
  if (status && (!names || names->size() != 1 || names->front().name.empty() ||
                 names->front().name.front() != '/')) {
    status = ErrorCode::SshProtocolFailure;
  }
  if (!status) return status;
  absolute = names->front().name;
  return {};
}

// Every entry counts toward the bounds, "." and ".." too (a server that sends nothing else
// would otherwise never reach them); the listing moves at least as much as FTP's must, and ends
// within its deadline however the server paces it.
Status SftpSession::list(const std::string& folder, std::vector<FindData>& entries) {
  entries.clear();
  const std::string path = resolve(folder);
  FolderHandle dir(*link_->sftp);
  if (Status opened = dir.open(path); !opened) return opened;
  ProgressFloor floor(link_->timeouts.data);
  const Deadline deadline(link_->timeouts.data * kListingTimeLimits);
  std::size_t count = 0;
  std::size_t bytes = 0;
  SftpReply reply;
  std::vector<sftp::NameEntry> batch;
  while (true) {
    const bool late = floor.expired() || deadline.expired();
    Status status = late ? Status(ErrorCode::InternetTimeout) : Status();
    std::size_t moved = 0;
    if (status) {
      status = floor.measure(
          moved,
          [&](std::chrono::milliseconds limit) {
            Status read = dir.next(reply, batch, limit);
            moved = read ? reply.bytes.size() : 0;
            return read;
          },
          deadline.remaining());
    }
    if (!status) {
      entries.clear();
      return status;
    }
    if (batch.empty()) break;
    for (const sftp::NameEntry& entry : batch) {
      bytes += entry.name.size() + 1;
      if (++count > kMaxListingEntries || bytes > kMaxListingBytes) {
        entries.clear();
        return ErrorCode::ListingTooLong;
      }
      if (isDotEntry(entry.name)) continue;
      FindData data;
      data.fileName.assign(entry.name);
      data.fileSize = static_cast<std::int64_t>(entry.attributes.size.value_or(0));
      data.isDirectory = entry.attributes.isDirectory();
      data.isLink = entry.attributes.isLink();
      entries.push_back(std::move(data));
    }
  }
  if (const Status followed = followLinks(path, entries, floor, deadline); !followed) {
    entries.clear();
    return followed;
  }
  return {};
}

Status SftpSession::stat(const std::string& path, SftpStat& info) {
  return statResolved(resolve(path), info);
}

Status SftpSession::statResolved(const std::string& path, SftpStat& info,
                                 std::chrono::milliseconds limit) {
  SftpChannel& channel = *link_->sftp;
  SftpReply reply;
  Status status;
  if (const SftpReply* fresh = link_->freshStat(path)) {
    reply = *fresh;
  } else {
    const std::uint32_t id = channel.nextId();
    status = channel.send(id, pathPacket(sftp::Type::Stat, id, path));
    if (status) status = channel.receive(id, reply, limit);
    if (status) link_->keepStat(path, reply);
  }
  if (status) status = expect(reply, sftp::Type::Attrs);
  if (!status) return status;
  const auto attributes = sftp::decodeAttributes(reply.body());
  if (!attributes) return ErrorCode::SshProtocolFailure;
  info = statOf(*attributes);
  return {};
}

// A link is followed, so a link to a file lists as that file; one that leads nowhere stays a
// link. Only once the whole folder is read and within the bounds: each link costs a request,
// and the answers count toward the listing's progress floor.
Status SftpSession::followLinks(const std::string& folder, std::vector<FindData>& entries,
                                ProgressFloor& floor, const Deadline& deadline) {
  for (FindData& entry : entries) {
    if (!entry.isLink) continue;
    if (floor.expired() || deadline.expired()) return ErrorCode::InternetTimeout;
    SftpStat target;
    std::size_t moved = 0;
    const Status found = floor.measure(
        moved,
        [&](std::chrono::milliseconds limit) {
          Status asked = statResolved(platform::pathIn(folder, entry.fileName), target, limit);
          moved = entry.fileName.size() + 1;
          return asked;
        },
        deadline.remaining());
    if (!found && !isServerRefusal(found)) return found;
    if (!found) continue;
    entry.isLink = false;
    entry.isDirectory = target.isDirectory;
    entry.fileSize = target.size;
  }
  return {};
}

Status SftpSession::open(const std::string& path, std::uint32_t flags, bool writing,
                         std::int64_t offset, std::unique_ptr<SftpFile>& file) {
  if (offset < 0) return ErrorCode::InvalidParameter;
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
  if (Status opened = handleOf(channel, request.finish(), id, handle); !opened) return opened;
  file = std::make_unique<SftpFile>(link_, std::move(handle), writing, offset);
  return {};
}

Status SftpSession::openRead(const std::string& path, std::int64_t offset,
                             std::unique_ptr<SftpFile>& file) {
  return open(path, sftp::kOpenRead, false, offset, file);
}

Status SftpSession::openWrite(const std::string& path, std::optional<std::int64_t> resumeAt,
                              std::unique_ptr<SftpFile>& file) {
  const std::uint32_t flags =
      resumeAt ? sftp::kOpenWrite : sftp::kOpenWrite | sftp::kOpenCreate | sftp::kOpenTruncate;
  return open(path, flags, true, resumeAt.value_or(0), file);
}

Status SftpSession::rename(const std::string& existing, const std::string& newName) {
  const std::string from = resolve(existing);
  const std::string to = resolve(newName);
  if (link_->posixRename) {
    SftpChannel& channel = *link_->sftp;
    const std::uint32_t id = channel.nextId();
    return channel.callForOk(id, sftp::PacketWriter(sftp::Type::Extended, id)
                                     .string(kPosixRename)
                                     .string(from)
                                     .string(to)
                                     .finish());
  }
  const Status refused = renameResolved(from, to);
  if (refused) return refused;
  // Only a refusal that may mean "the target exists" is worth the way round; any other (no
  // permission) is the answer.
  if (refused.code() != ErrorCode::SftpFailure &&
      refused.code() != ErrorCode::SftpFileAlreadyExists) {
    return refused;
  }
  SftpStat target;
  if (!statResolved(to, target) || target.isDirectory) return refused;
  return replaceByWayOfAside(from, to, refused);
}

// The old file steps aside under a hidden name of its own, the new one takes the name, and only
// then the old one goes: at every moment the server holds one version or the other. When the new
// one cannot take the name, the old one is put back.
Status SftpSession::replaceByWayOfAside(const std::string& from, const std::string& to,
                                        const Status& refused) {
  const std::string aside = platform::folderPrefixOf(to) + platform::newPartFileName();
  if (!renameResolved(to, aside)) return refused;
  const Status placed = renameResolved(from, to);
  if (placed) {
    // A copy of the old version that stays behind costs room, not data.
    static_cast<void>(pathRequest(*link_->sftp, sftp::Type::Remove, aside));
    return {};
  }
  if (renameResolved(aside, to)) return placed;
  return Status(placed.code(), placed.reason() + " (prejšnja različica datoteke " + to +
                                   " je ostala pod imenom " + aside + ")");
}

Status SftpSession::renameResolved(const std::string& from, const std::string& to) {
  SftpChannel& channel = *link_->sftp;
  const std::uint32_t id = channel.nextId();
  return channel.callForOk(
      id, sftp::PacketWriter(sftp::Type::Rename, id).string(from).string(to).finish());
}

Status SftpSession::remove(const std::string& path) {
  return pathRequest(*link_->sftp, sftp::Type::Remove, resolve(path));
}

Status SftpSession::createDirectory(const std::string& path) {
  return pathRequest(*link_->sftp, sftp::Type::Mkdir, resolve(path));
}

Status SftpSession::removeDirectory(const std::string& path) {
  return pathRequest(*link_->sftp, sftp::Type::Rmdir, resolve(path));
}

bool SftpSession::offersPosixRename() const { return link_->posixRename; }

}  // namespace skyhaul::inet

#pragma once
// The SFTP side of the internet library: one logged-in SSH session (libssh) with the SFTP
// channel this library speaks SFTP version 3 on, and remote files opened on it for streamed
// transfers.
//
// As with FtpConnection, every call blocks, bounded by the timeouts, and reports failure by its
// result together with a code in the thread's last-error value; the server's own words (an
// SFTP status message, or why the host key was refused) are the thread's lastErrorDetail().
// A status the server sent is Sftp* (12300 + its number); a connection that broke is
// InternetConnectionAborted, a server that stayed silent InternetTimeout.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/inet/RemoteSession.h"
#include "platform/inet/Status.h"
#include "platform/inet/transport/Deadline.h"

namespace skyhaul::inet {

inline constexpr int kSftpDefaultPort = 22;

// Everything needed to open a session.
struct SftpLogin {
  std::string host;  // name or numeric address, without brackets
  int port = kSftpDefaultPort;
  std::string user;
  std::string password;        // the password; with a private key, its passphrase ("" for none)
  std::string privateKeyFile;  // OpenSSH format; "" logs in with the password
  std::string knownHostsFile;  // "" is the running user's ~/.ssh/known_hosts
  Timeouts timeouts = defaultTimeouts();
};

// What stat() tells of one path (links followed).
struct SftpStat {
  std::int64_t size = 0;
  std::int64_t modified = 0;  // seconds since the epoch
  bool isDirectory = false;
};

namespace detail {
struct SftpLink;
struct SftpReply;
}  // namespace detail
class SftpFile;

class SftpSession {
 public:
  // Connects, checks the server's host key against the known_hosts file and logs in: with the
  // private key when one is named, else with the password (or keyboard-interactive, answering
  // only a password prompt). An unknown host (SshHostUnknown) or a changed key
  // (SshHostKeyChanged) ends before anything that authenticates is sent; the detail then gives
  // the key's type and SHA256 fingerprint and how to add it. Null on failure.
  static std::unique_ptr<SftpSession> connect(const SftpLogin& login);
  explicit SftpSession(std::shared_ptr<detail::SftpLink> link);
  ~SftpSession();
  SftpSession(const SftpSession&) = delete;
  SftpSession& operator=(const SftpSession&) = delete;

  // The folder relative paths resolve against: "" (the server's starting folder) until set.
  const std::string& currentFolder() const { return current_; }
  // Keeps `folder` (resolved against the current one) as the current folder once the server
  // says it is a folder.
  bool setCurrentFolder(const std::string& folder);

  // The entries of `folder` in the server's order, without "." and "..", names as sent. Links
  // are followed: one that names a file is listed as a file with the file's size; one that
  // cannot be followed keeps isLink. Beyond kMaxListingEntries or kMaxListingBytes (every entry
  // counted, "." and ".." too): FtpListingTooLong; moving less than FTP's progress floor, or
  // taking longer than ten data time limits as a whole: InternetTimeout; nothing kept.
  bool list(const std::string& folder, std::vector<FindData>& entries);
  bool stat(const std::string& path, SftpStat& info);

  // Opens a file to read from `offset` on, with several read requests in flight.
  std::unique_ptr<SftpFile> openRead(const std::string& path, std::int64_t offset = 0);
  // Opens a file to write: created or emptied without `resumeAt`, else written on from there.
  std::unique_ptr<SftpFile> openWrite(const std::string& path,
                                      std::optional<std::int64_t> resumeAt = std::nullopt);

  // Renames over an existing `newName`: in one step with the server's
  // posix-rename@openssh.com where it offers it; elsewhere a plain rename, and when that is
  // refused as failed or existing and `newName` is a file, by way of a hidden name the old file
  // steps aside to (not atomic, but never without one version or the other; the old one is
  // put back when the new one cannot take its place). Another refusal changes nothing.
  bool rename(const std::string& existing, const std::string& newName);
  bool remove(const std::string& path);
  bool createDirectory(const std::string& path);
  bool removeDirectory(const std::string& path);
  // Whether the server offers posix-rename@openssh.com (and rename() is atomic there).
  bool offersPosixRename() const;

 private:
  std::string resolve(const std::string& path) const;
  detail::Status statResolved(const std::string& path, SftpStat& info,
                              std::chrono::milliseconds limit = std::chrono::milliseconds::max());
  detail::Status renameResolved(const std::string& from, const std::string& to);
  detail::Status replaceByWayOfAside(const std::string& from, const std::string& to,
                                     const detail::Status& refused);
  detail::Status followLinks(const std::string& folder, std::vector<FindData>& entries,
                             detail::ProgressFloor& floor, const detail::Deadline& deadline);
  std::unique_ptr<SftpFile> open(const std::string& path, std::uint32_t flags, bool writing,
                                 std::int64_t offset);

  std::shared_ptr<detail::SftpLink> link_;
  std::string current_;
};

// A remote file open for a streamed transfer; it keeps its session's link alive. Reads and
// writes each keep several requests in flight, so the round trip is paid once per window rather
// than once per block.
class SftpFile {
 public:
  SftpFile(std::shared_ptr<detail::SftpLink> link, std::string handle, std::string path,
           bool writing, std::int64_t offset);
  ~SftpFile();  // closes like close(), ignoring the result
  SftpFile(const SftpFile&) = delete;
  SftpFile& operator=(const SftpFile&) = delete;

  // Reads up to `size` bytes; fewer only at the end, where `bytesRead` is 0.
  bool read(void* data, std::size_t size, std::size_t& bytesRead);
  // Writes all `size` bytes (gathered into blocks and sent without waiting: a failure shows at
  // a later call, at the latest at close(), each call after it failing the same way).
  bool write(const void* data, std::size_t size);
  // Closes the remote handle. After writing, true only when the server confirmed every write
  // and the close, and then reports the size that was written (FtpStoredSizeMismatch
  // otherwise). Closing twice returns the first result.
  bool close();

 private:
  struct Pending {
    std::uint32_t id;
    std::int64_t offset;
    std::size_t size;
  };
  detail::Status awaitReply(std::uint32_t id, detail::SftpReply& reply, std::size_t written);
  bool fillAhead();
  bool takeNext();
  void dropPending();
  bool sendBlock(std::string_view block);
  bool confirmWrites(std::size_t keep);
  bool fail(detail::Status status);
  bool finishWriting();
  detail::Status storedSizeMatches();

  std::shared_ptr<detail::SftpLink> link_;
  std::string handle_;
  std::string path_;
  bool writing_;
  std::int64_t offset_;         // the next byte the caller gets or gives
  std::int64_t requested_ = 0;  // the offset after the last request sent
  bool endSeen_ = false;
  std::deque<Pending> pending_;  // requests in flight, oldest first
  std::string unsent_;           // written and not yet sent
  std::string ready_;            // the last data answer as it came; bytes not yet taken:
  std::size_t readyAt_ = 0;      // from here
  std::size_t readyEnd_ = 0;     // to here
  detail::Status failure_;       // the first failure of a write, which every later call reports
  std::optional<bool> closed_;
  detail::ProgressFloor floor_;  // as FTP's data transfers: a server that trickles is a stall
};

// `path` resolved against `folder` ("" is the server's starting folder): an absolute path
// stands as it is; nothing else is changed (no "." or ".." removed).
std::string resolveSftpPath(const std::string& folder, const std::string& path);

}  // namespace skyhaul::inet

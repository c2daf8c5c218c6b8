#pragma once
// FTP's side of the seam: a logged-in control connection and the remote files it opens.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/inet/RemoteSession.h"

namespace skyhaul::inet {

namespace detail {
class Connection;
class RemoteFile;
}  // namespace detail
class FtpFile;

// One logged-in FTP control connection.
class FtpConnection final : public RemoteSession {
 public:
  explicit FtpConnection(std::shared_ptr<detail::Connection> connection);
  ~FtpConnection() override;  // sends QUIT when it can, then closes
  FtpConnection(const FtpConnection&) = delete;
  FtpConnection& operator=(const FtpConnection&) = delete;

  // Opens a remote file for a streamed transfer (RETR or STOR over a new data connection, after
  // TYPE A or TYPE I); from byte `restartAt` on when that is above 0 (REST first).
  Status openStream(const std::string& remote, FileAccess access, TransferType type,
                    std::int64_t restartAt, std::unique_ptr<RemoteStream>& stream) override;
  // Whether the server can start a transfer part-way (REST STREAM in FEAT).
  bool canRestart() const override;
  // When the file was last modified, as the server writes it (MLST's modify fact, else MDTM);
  // "" when the server offers neither or will not tell. A failure only when the connection
  // failed.
  Status modificationTime(const std::string& remote, std::string& stamp) override;
  // The strongest digest the server computes of its files (HASH, XSHA256, XSHA1, XMD5, XCRC);
  // nothing when it offers none.
  std::optional<platform::DigestAlgorithm> strongestDigest() const override;
  // The digest of the whole of `remote`, computed by the server within `timeout` (which the
  // caller scales with the size), as lower-case hexadecimal digits.
  Status digest(const std::string& remote, platform::DigestAlgorithm algorithm,
                std::chrono::milliseconds timeout, std::string& hex) override;

  // Starts a listing of the names that match `mask` (wildcards * and ? in the last path
  // component) and fills `first`.
  Status findFirstFile(const std::string& mask, FindData& first,
                       std::unique_ptr<RemoteFind>& find) override;
  // MLST or SIZE of the name, else the listing's entry of exactly that name.
  Status findFile(const std::string& remote, FindData& entry) override;

  // SIZE (in binary type) or MLST, whichever the server offers; no size when it has neither.
  Status reportStoredSize(const std::string& remote, std::optional<std::int64_t>& size) override;

  Status getCurrentDirectory(std::string& directory) override;                          // PWD
  Status setCurrentDirectory(const std::string& directory) override;                    // CWD
  Status deleteFile(const std::string& remote) override;                                // DELE
  Status renameFile(const std::string& existing, const std::string& newName) override;  // RNFR+RNTO
  Status createDirectory(const std::string& directory) override;                        // MKD
  Status removeDirectory(const std::string& directory) override;                        // RMD

 private:
  Status simpleCommand(const std::string& line, int expected);
  // `status` with the server's last reply, where it failed.
  Status answered(Status status) const;

  std::shared_ptr<detail::Connection> connection_;
};

// A remote file open for a streamed transfer. Reads and writes are buffered: many small calls
// cost one system call per buffer.
class FtpFile final : public RemoteStream {
 public:
  explicit FtpFile(std::unique_ptr<detail::RemoteFile> file);
  ~FtpFile() override;  // closes like close(), ignoring the result
  FtpFile(const FtpFile&) = delete;
  FtpFile& operator=(const FtpFile&) = delete;

  // Writes all `size` bytes (upload).
  Status write(const void* data, std::size_t size) override;
  // Without TLS, the bytes go from the file to the data connection without being read here.
  Status writeFromFile(int fd, std::int64_t offset, std::size_t size) override;
  void endData() override;
  // Reads up to `size` bytes (download); fewer only at the end of the data. `bytesRead` is 0 at
  // the end.
  Status read(void* data, std::size_t size, std::size_t& bytesRead) override;
  Status readSome(void* data, std::size_t size, std::size_t& bytesRead) override;
  // Ends the transfer: flushes, closes the data connection and reads the server's final reply.
  // A success only when the server confirmed the transfer (226/250). After a download that did
  // not read to the end, aborts the transfer. Closing twice returns the first outcome again.
  Status close() override;
  // An upload is reset rather than ended in order.
  void abandon() override;

 private:
  Status answered(Status status);

  std::unique_ptr<detail::RemoteFile> file_;
};

}  // namespace skyhaul::inet

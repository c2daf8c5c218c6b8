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
  // TYPE A or TYPE I); from byte `restartAt` on when that is above 0 (REST first). Null on
  // failure.
  std::unique_ptr<FtpFile> openFile(const std::string& remote, FileAccess access, TransferType type,
                                    std::int64_t restartAt = 0);
  std::unique_ptr<RemoteStream> openStream(const std::string& remote, FileAccess access,
                                           TransferType type, std::int64_t restartAt) override;
  // Whether the server can start a transfer part-way (REST STREAM in FEAT).
  bool canRestart() const override;
  // When the file was last modified, as the server writes it (MLST's modify fact, else MDTM);
  // "" when the server offers neither or will not tell. False only when the connection failed.
  bool modificationTime(const std::string& remote, std::string& stamp) override;
  // The strongest digest the server computes of its files (HASH, XSHA256, XSHA1, XMD5, XCRC);
  // nothing when it offers none.
  std::optional<platform::DigestAlgorithm> strongestDigest() const override;
  // The digest of the whole of `remote`, computed by the server within `timeout` (which the
  // caller scales with the size), as lower-case hexadecimal digits. False, with the last error
  // set, when it would not or could not tell.
  bool digest(const std::string& remote, platform::DigestAlgorithm algorithm,
              std::chrono::milliseconds timeout, std::string& hex) override;

  // Starts a listing of the names that match `mask` (wildcards * and ? in the last path
  // component) and fills `first`. Null with NoMoreFiles when nothing matches, null with another
  // code on failure.
  std::unique_ptr<RemoteFind> findFirstFile(const std::string& mask, FindData& first) override;
  // MLST or SIZE of the name, else the listing's entry of exactly that name.
  bool findFile(const std::string& remote, FindData& entry) override;

  // What the server says of the size of a file it stores, asked without a listing: SIZE (in
  // binary type) or MLST, whichever it offers. NotOffered when it has neither; Refused, with
  // the last error set (StoredSizeUnknown when it would not tell), when no size came.
  SizeReport reportStoredSize(const std::string& remote, std::int64_t& size) override;

  bool getCurrentDirectory(std::string& directory) override;                          // PWD
  bool setCurrentDirectory(const std::string& directory) override;                    // CWD
  bool deleteFile(const std::string& remote) override;                                // DELE
  bool renameFile(const std::string& existing, const std::string& newName) override;  // RNFR+RNTO
  bool createDirectory(const std::string& directory) override;                        // MKD
  bool removeDirectory(const std::string& directory) override;                        // RMD
  // Whole-file transfers; a local file that cannot be read or written fails with a local code.
  bool putFile(const std::string& local, const std::string& remote, TransferType type) override;
  bool getFile(const std::string& remote, const std::string& local, TransferType type) override;

 private:
  bool simpleCommand(const std::string& line, int expected);

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

  // Writes all `size` bytes (upload). False on failure.
  bool write(const void* data, std::size_t size) override;
  // Without TLS, the bytes go from the file to the data connection without being read here.
  bool writeFromFile(int fd, std::int64_t offset, std::size_t size) override;
  void endData() override;
  // Reads up to `size` bytes (download); fewer only at the end of the data. `bytesRead` is 0 at
  // the end. False on failure.
  bool read(void* data, std::size_t size, std::size_t& bytesRead) override;
  bool readSome(void* data, std::size_t size, std::size_t& bytesRead) override;
  // Ends the transfer: flushes, closes the data connection and reads the server's final reply.
  // True only when the server confirmed the transfer (226/250). After a download that did not
  // read to the end, aborts the transfer. Closing twice is a no-op that returns the first result.
  bool close() override;

 private:
  std::unique_ptr<detail::RemoteFile> file_;
};

}  // namespace skyhaul::inet

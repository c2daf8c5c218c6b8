#pragma once
// A small synchronous FTP client library: the internet layer under cFTP.
//
// Every call blocks until it is done and reports failure by its result (false or a null
// handle) together with a code in the calling thread's last-error value (platform::lastError(),
// set by this interface only, once per failing call). A failure that the server reported in a
// reply gives InternetExtendedError, and the reply is the thread's last response text
// (lastResponseInfo()). platform::messageFor() turns a code into a Slovenian text.
//
// Handles are RAII objects: destroying one closes it. A connection with a remote file open
// refuses every other operation with FtpTransferInProgress until the file is closed.
//
// The types it speaks in are in Types.h; namespace detail holds the library's inner steps,
// which only the library itself and its tests use.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Digest.h"
#include "platform/ErrorCode.h"
#include "platform/LastError.h"
#include "platform/inet/ServerAddress.h"
#include "platform/inet/Types.h"

namespace skyhaul::inet {

using platform::ErrorCode;
using platform::lastError;
using platform::messageFor;

// The last reply the server sent on the connection of this thread's last call (all its lines,
// each ending in CR LF), or "" when there is none yet.
std::string lastResponseInfo();

// The reason of the thread's last failure in words of its own where it has them (a refused
// certificate: OpenSSL's verify error), or "".
std::string lastErrorDetail();

// The timeouts given to sessions opened from now on (process-wide default).
void setDefaultTimeouts(const Timeouts& timeouts);
Timeouts defaultTimeouts();

namespace detail {
class Connection;
class RemoteFile;
}  // namespace detail
class FtpConnection;
class FtpFile;
class FtpFind;
class RemoteSession;

// An internet session: the root handle (the classic "InternetOpen").
class InternetSession {
 public:
  explicit InternetSession(std::string agent);
  ~InternetSession();
  InternetSession(const InternetSession&) = delete;
  InternetSession& operator=(const InternetSession&) = delete;

  const std::string& agent() const;
  void setTimeouts(const Timeouts& timeouts);
  const Timeouts& timeouts() const;
  // The certificates a TLS server is checked against from now on: those of one PEM file (a
  // private CA, or a server's own certificate), or, for "", the system's trusted CAs.
  void setTrustedCertificates(std::string pemFile);

  // Connects and logs in, in one call. `server` is a host name or address, optionally with a
  // port: "host:port", "[v6 address]:port"; a bare host or address and port 0 mean port 21.
  // "ftpes://" before it asks for explicit TLS (AUTH TLS), "ftps://" for implicit TLS (port
  // 990 by default): the certificate is verified, and the data connections are protected too.
  // Passive mode uses EPSV/PASV for data connections, active mode EPRT/PORT.
  // Returns null on failure with the last error set (a refused login: InternetExtendedError
  // with the server's reply as the last response text).
  std::unique_ptr<FtpConnection> connect(const std::string& server, int port,
                                         const std::string& user, const std::string& password,
                                         bool passive);
  // Like connect(), and "sftp://host[:port]" (port 22 by default) opens an SFTP session
  // instead, its host key checked against the known_hosts file (setKnownHostsFile) and logged
  // in with the private key (setPrivateKeyFile; the password is then its passphrase) or else
  // the password. The caller does not need to know which protocol carries it.
  std::unique_ptr<RemoteSession> open(const std::string& server, const std::string& user,
                                      const std::string& password, bool passive);
  // For SFTP sessions opened from now on: the OpenSSH private key to log in with ("" for the
  // password), and the known_hosts file ("" for the running user's ~/.ssh/known_hosts).
  void setPrivateKeyFile(std::string file);
  void setKnownHostsFile(std::string file);

 private:
  std::unique_ptr<RemoteSession> openSftp(const std::string& server, const std::string& user,
                                          const std::string& password);

  std::string agent_;
  Timeouts timeouts_;
  std::string trustedCertificates_;
  std::string privateKeyFile_;
  std::string knownHostsFile_;
};

// A remote file open for a streamed transfer, over either protocol.
class RemoteStream {
 public:
  virtual ~RemoteStream() = default;
  // Writes all `size` bytes (upload). False on failure.
  virtual bool write(const void* data, std::size_t size) = 0;
  // Writes `size` bytes of the open file `fd` from `offset` on, as write() would; a stream may
  // send them straight from the file, read only when they go (until close()). A file that
  // ends before them fails (ReadFault), perhaps only at a later call or at close().
  virtual bool writeFromFile(int fd, std::int64_t offset, std::size_t size);
  // Reads up to `size` bytes (download); fewer only at the end, where `bytesRead` is 0.
  virtual bool read(void* data, std::size_t size, std::size_t& bytesRead) = 0;
  // Reads what has arrived, at most `size` bytes, waiting only while nothing has: at least one
  // byte, or 0 at the end. A stream whose read() already returns what it has keeps that.
  virtual bool readSome(void* data, std::size_t size, std::size_t& bytesRead) {
    return read(data, size, bytesRead);
  }
  // Upload: sends what is still buffered and lets the server see the end of the data, without
  // waiting for its confirmation, so that it finishes its copy while the caller does other
  // things; close() then reads the confirmation, and reports any failure of this call. A no-op
  // where the end is only known at close().
  virtual void endData() {}
  // Ends the transfer; true only when the server confirmed it. Twice returns the first result.
  virtual bool close() = 0;
};

// One logged-in session with a server, over FTP (FtpConnection) or SFTP: what the FTP client
// class asks of a server, whichever protocol carries it.
class RemoteSession {
 public:
  virtual ~RemoteSession() = default;
  virtual std::unique_ptr<RemoteStream> openStream(const std::string& remote, FileAccess access,
                                                   TransferType type,
                                                   std::int64_t restartAt = 0) = 0;
  virtual bool canRestart() const = 0;
  virtual bool modificationTime(const std::string& remote, std::string& stamp) = 0;
  virtual std::optional<platform::DigestAlgorithm> strongestDigest() const = 0;
  virtual bool digest(const std::string& remote, platform::DigestAlgorithm algorithm,
                      std::chrono::milliseconds timeout, std::string& hex) = 0;
  virtual std::unique_ptr<FtpFind> findFirstFile(const std::string& mask, FindData& first) = 0;
  // The entry of the file `remote` names, that name only, never read as a pattern. False with
  // NoMoreFiles (FTP) or SftpNoSuchFile when there is none, another code on failure. Here: the
  // stored size, which names exactly one file where the protocol has no patterns (SFTP's stat).
  virtual bool findFile(const std::string& remote, FindData& entry);
  enum class SizeReport { Reported, NotOffered, Refused };
  virtual SizeReport reportStoredSize(const std::string& remote, std::int64_t& size) = 0;
  virtual bool getCurrentDirectory(std::string& directory) = 0;
  virtual bool setCurrentDirectory(const std::string& directory) = 0;
  virtual bool deleteFile(const std::string& remote) = 0;
  virtual bool renameFile(const std::string& existing, const std::string& newName) = 0;
  virtual bool createDirectory(const std::string& directory) = 0;
  virtual bool removeDirectory(const std::string& directory) = 0;
  virtual bool putFile(const std::string& local, const std::string& remote, TransferType type) = 0;
  virtual bool getFile(const std::string& remote, const std::string& local, TransferType type) = 0;
};

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
  std::unique_ptr<FtpFind> findFirstFile(const std::string& mask, FindData& first) override;
  // MLST or SIZE of the name, else the listing's entry of exactly that name.
  bool findFile(const std::string& remote, FindData& entry) override;

  // What the server says of the size of a file it stores, asked without a listing: SIZE (in
  // binary type) or MLST, whichever it offers. NotOffered when it has neither; Refused, with
  // the last error set (FtpStoredSizeUnknown when it would not tell), when no size came.
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

// An enumeration started by FtpConnection::findFirstFile.
class FtpFind {
 public:
  explicit FtpFind(std::vector<FindData> entries);
  ~FtpFind();
  FtpFind(const FtpFind&) = delete;
  FtpFind& operator=(const FtpFind&) = delete;

  // The next entry; false at the end (NoMoreFiles).
  bool findNextFile(FindData& next);

 private:
  std::vector<FindData> entries_;
  std::size_t next_ = 0;
};

}  // namespace skyhaul::inet

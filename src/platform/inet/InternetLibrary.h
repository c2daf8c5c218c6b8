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

 private:
  std::string agent_;
  Timeouts timeouts_;
  std::string trustedCertificates_;
};

// One logged-in FTP control connection.
class FtpConnection {
 public:
  explicit FtpConnection(std::shared_ptr<detail::Connection> connection);
  ~FtpConnection();  // sends QUIT when it can, then closes
  FtpConnection(const FtpConnection&) = delete;
  FtpConnection& operator=(const FtpConnection&) = delete;

  // Opens a remote file for a streamed transfer (RETR or STOR over a new data connection, after
  // TYPE A or TYPE I); from byte `restartAt` on when that is above 0 (REST first). Null on
  // failure.
  std::unique_ptr<FtpFile> openFile(const std::string& remote, FileAccess access, TransferType type,
                                    std::int64_t restartAt = 0);
  // Whether the server can start a transfer part-way (REST STREAM in FEAT).
  bool canRestart() const;
  // When the file was last modified, as the server writes it (MLST's modify fact, else MDTM);
  // "" when the server offers neither or will not tell. False only when the connection failed.
  bool modificationTime(const std::string& remote, std::string& stamp);
  // The strongest digest the server computes of its files (HASH, XSHA256, XSHA1, XMD5, XCRC);
  // nothing when it offers none.
  std::optional<platform::DigestAlgorithm> strongestDigest() const;
  // The digest of the whole of `remote`, computed by the server within `timeout` (which the
  // caller scales with the size), as lower-case hexadecimal digits. False, with the last error
  // set, when it would not or could not tell.
  bool digest(const std::string& remote, platform::DigestAlgorithm algorithm,
              std::chrono::milliseconds timeout, std::string& hex);

  // Starts a listing of the names that match `mask` (wildcards * and ? in the last path
  // component) and fills `first`. Null with NoMoreFiles when nothing matches, null with another
  // code on failure.
  std::unique_ptr<FtpFind> findFirstFile(const std::string& mask, FindData& first);

  // What the server says of the size of a file it stores, asked without a listing: SIZE (in
  // binary type) or MLST, whichever it offers. NotOffered when it has neither; Refused, with
  // the last error set (FtpStoredSizeUnknown when it would not tell), when no size came.
  enum class SizeReport { Reported, NotOffered, Refused };
  SizeReport reportStoredSize(const std::string& remote, std::int64_t& size);

  bool getCurrentDirectory(std::string& directory);                          // PWD
  bool setCurrentDirectory(const std::string& directory);                    // CWD
  bool deleteFile(const std::string& remote);                                // DELE
  bool renameFile(const std::string& existing, const std::string& newName);  // RNFR + RNTO
  bool createDirectory(const std::string& directory);                        // MKD
  bool removeDirectory(const std::string& directory);                        // RMD
  // Whole-file transfers; a local file that cannot be read or written fails with a local code.
  bool putFile(const std::string& local, const std::string& remote, TransferType type);
  bool getFile(const std::string& remote, const std::string& local, TransferType type);

 private:
  bool simpleCommand(const std::string& line, int expected);

  std::shared_ptr<detail::Connection> connection_;
};

// A remote file open for a streamed transfer. Reads and writes are buffered: many small calls
// cost one system call per buffer.
class FtpFile {
 public:
  explicit FtpFile(std::unique_ptr<detail::RemoteFile> file);
  ~FtpFile();  // closes like close(), ignoring the result
  FtpFile(const FtpFile&) = delete;
  FtpFile& operator=(const FtpFile&) = delete;

  // Writes all `size` bytes (upload). False on failure.
  bool write(const void* data, std::size_t size);
  // Reads up to `size` bytes (download); fewer only at the end of the data. `bytesRead` is 0 at
  // the end. False on failure.
  bool read(void* data, std::size_t size, std::size_t& bytesRead);
  // Ends the transfer: flushes, closes the data connection and reads the server's final reply.
  // True only when the server confirmed the transfer (226/250). After a download that did not
  // read to the end, aborts the transfer. Closing twice is a no-op that returns the first result.
  bool close();

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

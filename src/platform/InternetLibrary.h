#pragma once
// A small synchronous FTP client library: the internet layer under cFTP.
//
// Every call blocks until it is done and reports failure by its result (false or a null
// handle) together with a numeric code in the calling thread's last-error value
// (lastError()). A failure that the server reported in a reply gives
// kErrorInternetExtendedError, and the reply is kept as the thread's last response text
// (lastResponseInfo()). messageFor() turns a code into a Slovenian text.
//
// Handles are RAII objects: destroying one closes it. A connection with a remote file open
// refuses every other operation with kErrorFtpTransferInProgress until the file is closed.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace skyhaul::platform {

// Codes of the last-error value; the numbering follows the classic internet-library family.
inline constexpr int kErrorSuccess = 0;
inline constexpr int kErrorFileNotFound = 2;
inline constexpr int kErrorPathNotFound = 3;
inline constexpr int kErrorAccessDenied = 5;
inline constexpr int kErrorInvalidHandle = 6;
inline constexpr int kErrorNoMoreFiles = 18;
inline constexpr int kErrorWriteFault = 29;
inline constexpr int kErrorReadFault = 30;
// Another run is writing the same local file.
inline constexpr int kErrorSharingViolation = 32;
inline constexpr int kErrorHandleEof = 38;
inline constexpr int kErrorInvalidParameter = 87;
inline constexpr int kErrorDiskFull = 112;
// The local file changed while it was being sent: grown, shrunk, rewritten or replaced.
inline constexpr int kErrorFileInvalid = 1006;
inline constexpr int kErrorInternetOutOfHandles = 12001;
inline constexpr int kErrorInternetTimeout = 12002;
inline constexpr int kErrorInternetExtendedError = 12003;
inline constexpr int kErrorInternetInternalError = 12004;
inline constexpr int kErrorInternetInvalidUrl = 12005;
inline constexpr int kErrorInternetNameNotResolved = 12007;
inline constexpr int kErrorInternetIncorrectHandleState = 12019;
inline constexpr int kErrorInternetCannotConnect = 12029;
inline constexpr int kErrorInternetConnectionAborted = 12030;
inline constexpr int kErrorInternetConnectionReset = 12031;
inline constexpr int kErrorFtpTransferInProgress = 12110;
inline constexpr int kErrorFtpDropped = 12111;
inline constexpr int kErrorFtpNoPassiveMode = 12112;
// The remote data ended before, or went on after, the size the listing gave.
inline constexpr int kErrorFtpSizeMismatch = 12113;
// A reply that breaks the protocol, such as a transfer "complete" before it started.
inline constexpr int kErrorFtpUnexpectedReply = 12114;
// A listing longer than any folder this program is meant for (see kMaxListingBytes).
inline constexpr int kErrorFtpListingTooLong = 12115;
// After an upload, the server reports a size other than the bytes sent.
inline constexpr int kErrorFtpStoredSizeMismatch = 12116;
// After an upload, the server offers to tell the stored size but does not.
inline constexpr int kErrorFtpStoredSizeUnknown = 12117;

// The calling thread's last-error value, set by every failing call of this library.
int lastError();
void setLastError(int code);

// The last reply the server sent on any connection of this thread (all its lines, each ending
// in CR LF), or "" when there is none yet.
std::string lastResponseInfo();

// The Slovenian message for a code this library produces, or "" for an unknown code.
std::string messageFor(int code);

enum class TransferType { Ascii = 1, Binary = 2 };
enum class FileAccess { Read, Write };

// One entry of a remote listing.
struct FindData {
  std::string fileName;  // bare name as the server sent it, bytes unchanged
  std::int64_t fileSize = 0;
  bool isDirectory = false;
};

// Bounds on every wait of the library. Tests shorten them.
struct Timeouts {
  std::chrono::milliseconds connect{60000};
  std::chrono::milliseconds reply{60000};
  std::chrono::milliseconds data{60000};
};
// The timeouts given to sessions opened from now on (process-wide default).
void setDefaultTimeouts(const Timeouts& timeouts);
Timeouts defaultTimeouts();

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

  // Connects and logs in, in one call. `server` is a host name or address, optionally with a
  // port: "host:port", "[v6 address]:port"; a bare host or address and port 0 mean port 21.
  // Passive mode uses EPSV/PASV for data connections, active mode EPRT/PORT.
  // Returns null on failure with the last-error value set (a refused login: 12003 with the
  // server's reply as the last response text).
  std::unique_ptr<FtpConnection> connect(const std::string& server, int port,
                                         const std::string& user, const std::string& password,
                                         bool passive);

 private:
  std::string agent_;
  Timeouts timeouts_;
};

// One logged-in FTP control connection.
class FtpConnection {
 public:
  class Impl;
  explicit FtpConnection(std::shared_ptr<Impl> impl);
  ~FtpConnection();  // sends QUIT when it can, then closes
  FtpConnection(const FtpConnection&) = delete;
  FtpConnection& operator=(const FtpConnection&) = delete;

  // Opens a remote file for a streamed transfer (RETR or STOR over a new data connection, after
  // TYPE A or TYPE I). Null on failure.
  std::unique_ptr<FtpFile> openFile(const std::string& remote, FileAccess access,
                                    TransferType type);

  // Starts a listing of the names that match `mask` (wildcards * and ? in the last path
  // component) and fills `first`. Null with kErrorNoMoreFiles when nothing matches, null with
  // another code on failure.
  std::unique_ptr<FtpFind> findFirstFile(const std::string& mask, FindData& first);

  // What the server says of the size of a file it stores, asked without a listing: SIZE (in
  // binary type) or MLST, whichever it offers. NotOffered when it has neither; Refused, with
  // the last error set (12117 when it would not tell), when no size came.
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
  std::shared_ptr<Impl> impl_;
};

// A remote file open for a streamed transfer. Reads and writes are buffered: many small calls
// cost one system call per buffer.
class FtpFile {
 public:
  class Impl;
  explicit FtpFile(std::unique_ptr<Impl> impl);
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
  std::unique_ptr<Impl> impl_;
};

// An enumeration started by FtpConnection::findFirstFile.
class FtpFind {
 public:
  class Impl;
  explicit FtpFind(std::unique_ptr<Impl> impl);
  ~FtpFind();
  FtpFind(const FtpFind&) = delete;
  FtpFind& operator=(const FtpFind&) = delete;

  // The next entry; false at the end (kErrorNoMoreFiles) or on failure.
  bool findNextFile(FindData& next);

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace skyhaul::platform

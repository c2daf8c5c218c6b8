#pragma once
// The seam between the FTP client class and the protocols under it: one logged-in session with a
// server, the remote files it opens and the listings it starts, whichever protocol (FTP, FTPS,
// SFTP) carries them. InternetSession (InternetSession.h) opens one.
//
// Every call blocks until it is done and reports failure by its result (false or a null
// handle) together with a code in the calling thread's last-error value (platform::lastError(),
// set by this interface only, once per failing call). A failure that the server reported in a
// reply gives InternetExtendedError, and the reply is the thread's last response text
// (lastResponseInfo()). platform::messageFor() turns a code into a Slovenian text.
//
// Handles are RAII objects: destroying one closes it. A session with a remote file open
// refuses every other operation with FtpTransferInProgress until the file is closed.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Digest.h"
#include "platform/ErrorCode.h"
#include "platform/LastError.h"
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

class RemoteFind;

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
  virtual std::unique_ptr<RemoteFind> findFirstFile(const std::string& mask, FindData& first) = 0;
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

// The entries of a listing started by RemoteSession::findFirstFile, handed out one by one.
class RemoteFind {
 public:
  explicit RemoteFind(std::vector<FindData> entries);
  ~RemoteFind();
  RemoteFind(const RemoteFind&) = delete;
  RemoteFind& operator=(const RemoteFind&) = delete;

  // The next entry; false at the end (NoMoreFiles).
  bool findNextFile(FindData& next);

 private:
  std::vector<FindData> entries_;
  std::size_t next_ = 0;
};

}  // namespace skyhaul::inet

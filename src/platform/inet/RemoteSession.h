#pragma once
// The seam between the FTP client class and the protocols under it: one logged-in session with a
// server, the remote files it opens and the listings it starts, whichever protocol (FTP, FTPS,
// SFTP) carries them. InternetSession (InternetSession.h) opens one.
//
// Every call blocks until it is done and returns its Status (Status.h): the code of a failure,
// the library's reason where it has one, and the server's reply where the server explained the
// failure (InternetExtendedError: the reply says it all). Handles and other results come back
// through the last parameters, set only on success. platform::messageFor() turns a code into a
// Slovenian text.
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
#include "platform/inet/Status.h"
#include "platform/inet/Types.h"

namespace skyhaul::inet {

using platform::messageFor;

class RemoteFind;

// A remote file open for a streamed transfer, over either protocol.
class RemoteStream {
 public:
  virtual ~RemoteStream() = default;
  // Writes all `size` bytes (upload).
  virtual Status write(const void* data, std::size_t size) = 0;
  // Writes `size` bytes of the open file `fd` from `offset` on, as write() would; a stream may
  // send them straight from the file, read only when they go (until close()). A file that
  // ends before them fails (ReadFault), perhaps only at a later call or at close().
  virtual Status writeFromFile(int fd, std::int64_t offset, std::size_t size);
  // Reads up to `size` bytes (download); fewer only at the end, where `bytesRead` is 0.
  virtual Status read(void* data, std::size_t size, std::size_t& bytesRead) = 0;
  // Reads what has arrived, at most `size` bytes, waiting only while nothing has: at least one
  // byte, or 0 at the end. A stream whose read() already returns what it has keeps that.
  virtual Status readSome(void* data, std::size_t size, std::size_t& bytesRead) {
    return read(data, size, bytesRead);
  }
  // Upload: sends what is still buffered and lets the server see the end of the data, without
  // waiting for its confirmation, so that it finishes its copy while the caller does other
  // things; close() then reads the confirmation, and reports any failure of this call. A no-op
  // where the end is only known at close().
  virtual void endData() {}
  // Ends the transfer; a success only when the server confirmed it. Twice returns the first
  // outcome again.
  virtual Status close() = 0;
  // Ends a transfer that went wrong on this side, so that the server does not take what it got
  // for the whole file where the protocol can say so (FTP: the data connection is reset).
  virtual void abandon() { static_cast<void>(close()); }
};

// One logged-in session with a server, over FTP (FtpConnection) or SFTP: what the FTP client
// class asks of a server, whichever protocol carries it.
class RemoteSession {
 public:
  virtual ~RemoteSession() = default;
  // Opens `remote` for a streamed transfer, from byte `restartAt` on when that is above 0.
  virtual Status openStream(const std::string& remote, FileAccess access, TransferType type,
                            std::int64_t restartAt, std::unique_ptr<RemoteStream>& stream) = 0;
  virtual bool canRestart() const = 0;
  virtual Status modificationTime(const std::string& remote, std::string& stamp) = 0;
  virtual std::optional<platform::DigestAlgorithm> strongestDigest() const = 0;
  virtual Status digest(const std::string& remote, platform::DigestAlgorithm algorithm,
                        std::chrono::milliseconds timeout, std::string& hex) = 0;
  // NoMoreFiles when nothing matches.
  virtual Status findFirstFile(const std::string& mask, FindData& first,
                               std::unique_ptr<RemoteFind>& find) = 0;
  // The entry of the file `remote` names, that name only, never read as a pattern. NoMoreFiles
  // (FTP) or SftpNoSuchFile when there is none, another code on failure. Here: the stored size,
  // which names exactly one file where the protocol has no patterns (SFTP's stat).
  virtual Status findFile(const std::string& remote, FindData& entry);
  // The size of a file the server stores, asked without a listing; `size` stays empty when the
  // server has no way to tell (not a failure), StoredSizeUnknown when it would not.
  virtual Status reportStoredSize(const std::string& remote, std::optional<std::int64_t>& size) = 0;
  virtual Status getCurrentDirectory(std::string& directory) = 0;
  virtual Status setCurrentDirectory(const std::string& directory) = 0;
  virtual Status deleteFile(const std::string& remote) = 0;
  virtual Status renameFile(const std::string& existing, const std::string& newName) = 0;
  virtual Status createDirectory(const std::string& directory) = 0;
  virtual Status removeDirectory(const std::string& directory) = 0;

  // Whole-file transfers over openStream() (WholeFile.cpp). The local file is opened first for
  // an upload, so that a missing one leaves the server untouched; a download replaces the local
  // file only once the new copy is whole and confirmed. A local file that cannot be read or
  // written fails with a local code.
  Status putFile(const std::string& local, const std::string& remote, TransferType type);
  Status getFile(const std::string& remote, const std::string& local, TransferType type);
};

// The entries of a listing started by RemoteSession::findFirstFile, handed out one by one.
class RemoteFind {
 public:
  explicit RemoteFind(std::vector<FindData> entries);
  ~RemoteFind();
  RemoteFind(const RemoteFind&) = delete;
  RemoteFind& operator=(const RemoteFind&) = delete;

  // The next entry; NoMoreFiles at the end.
  Status findNextFile(FindData& next);

 private:
  std::vector<FindData> entries_;
  std::size_t next_ = 0;
};

}  // namespace skyhaul::inet

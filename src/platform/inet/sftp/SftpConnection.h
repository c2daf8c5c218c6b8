#pragma once
// An SFTP session seen as the FTP client class sees any server: the same operations as an FTP
// connection, each carried by SFTP. The server's "change to /" is a folder the session keeps.

#include <memory>
#include <string>

#include "platform/inet/RemoteSession.h"
#include "platform/inet/sftp/SftpSession.h"

namespace skyhaul::inet {

class SftpConnection final : public RemoteSession {
 public:
  explicit SftpConnection(std::unique_ptr<SftpSession> session);

  std::unique_ptr<RemoteStream> openStream(const std::string& remote, FileAccess access,
                                           TransferType type, std::int64_t restartAt) override;
  bool canRestart() const override { return true; }
  // The modification time as MDTM gives it (YYYYMMDDHHMMSS, UTC).
  bool modificationTime(const std::string& remote, std::string& stamp) override;
  // SFTP computes no digests.
  std::optional<platform::DigestAlgorithm> strongestDigest() const override { return {}; }
  bool digest(const std::string& remote, platform::DigestAlgorithm algorithm,
              std::chrono::milliseconds timeout, std::string& hex) override;
  // A plain name is asked for alone (stat); a mask lists its folder and matches the names here,
  // an entry named exactly like the mask first (a listed "x?.csv" asked for again is itself).
  std::unique_ptr<RemoteFind> findFirstFile(const std::string& mask, FindData& first) override;
  SizeReport reportStoredSize(const std::string& remote, std::int64_t& size) override;
  bool getCurrentDirectory(std::string& directory) override;
  bool setCurrentDirectory(const std::string& directory) override;
  bool deleteFile(const std::string& remote) override;
  bool renameFile(const std::string& existing, const std::string& newName) override;
  bool createDirectory(const std::string& directory) override;
  bool removeDirectory(const std::string& directory) override;
  bool putFile(const std::string& local, const std::string& remote, TransferType type) override;
  bool getFile(const std::string& remote, const std::string& local, TransferType type) override;

 private:
  bool findSingle(const std::string& path, const std::string& name, FindData& entry);

  std::unique_ptr<SftpSession> session_;
};

}  // namespace skyhaul::inet

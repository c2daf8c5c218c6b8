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

  Status openStream(const std::string& remote, FileAccess access, TransferType type,
                    std::int64_t restartAt, std::unique_ptr<RemoteStream>& stream) override;
  bool canRestart() const override { return true; }
  // The modification time as MDTM gives it (YYYYMMDDHHMMSS, UTC).
  Status modificationTime(const std::string& remote, std::string& stamp) override;
  // SFTP computes no digests.
  std::optional<platform::DigestAlgorithm> strongestDigest() const override { return {}; }
  Status digest(const std::string& remote, platform::DigestAlgorithm algorithm,
                std::chrono::milliseconds timeout, std::string& hex) override;
  // A plain name is asked for alone (stat); a mask lists its folder and matches the names here,
  // an entry named exactly like the mask first (a listed "x?.csv" asked for again is itself).
  Status findFirstFile(const std::string& mask, FindData& first,
                       std::unique_ptr<RemoteFind>& find) override;
  Status reportStoredSize(const std::string& remote, std::optional<std::int64_t>& size) override;
  Status getCurrentDirectory(std::string& directory) override;
  Status setCurrentDirectory(const std::string& directory) override;
  Status deleteFile(const std::string& remote) override;
  Status renameFile(const std::string& existing, const std::string& newName) override;
  Status createDirectory(const std::string& directory) override;
  Status removeDirectory(const std::string& directory) override;

 private:
  bool findSingle(const std::string& path, const std::string& name, FindData& entry);

  std::unique_ptr<SftpSession> session_;
};

}  // namespace skyhaul::inet

#include <optional>
#include <utility>

#include "platform/inet/ftp/Connection.h"
#include "platform/inet/ftp/DataConnection.h"
#include "platform/inet/ftp/Digests.h"
#include "platform/inet/ftp/FtpConnection.h"
#include "platform/inet/ftp/Listing.h"
#include "platform/inet/ftp/Lookup.h"
#include "platform/inet/ftp/RemoteFile.h"
#include "platform/inet/ftp/RemoteStamp.h"

namespace skyhaul::inet {

using namespace detail;  // the public calls are made of the library's inner steps

FtpConnection::FtpConnection(std::shared_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

FtpConnection::~FtpConnection() {
  if (connection_) connection_->quit();
}

Status FtpConnection::answered(Status status) const {
  return connection_->answered(std::move(status));
}

Status FtpConnection::openStream(const std::string& remote, FileAccess access, TransferType type,
                                 std::int64_t restartAt, std::unique_ptr<RemoteStream>& stream) {
  Connection& connection = *connection_;
  Status status = connection.checkReady();
  if (status) status = connection.setType(type);
  std::optional<DataStream> data;
  const std::string verb = access == FileAccess::Read ? "RETR " : "STOR ";
  if (status) status = startTransfer(connection, verb + remote, data, restartAt);
  if (!status) return answered(std::move(status));
  connection.setBusy(true);
  stream = std::make_unique<FtpFile>(
      std::make_unique<RemoteFile>(connection_, std::move(*data), access));
  return {};
}

bool FtpConnection::canRestart() const { return connection_->features().rest; }

Status FtpConnection::modificationTime(const std::string& remote, std::string& stamp) {
  Status status = connection_->checkReady();
  if (status) status = askModificationTime(*connection_, remote, stamp);
  return answered(std::move(status));
}

std::optional<platform::DigestAlgorithm> FtpConnection::strongestDigest() const {
  const auto offer = inet::strongestDigest(connection_->features());
  return offer ? std::optional<platform::DigestAlgorithm>(offer->algorithm) : std::nullopt;
}

Status FtpConnection::digest(const std::string& remote, platform::DigestAlgorithm algorithm,
                             std::chrono::milliseconds timeout, std::string& hex) {
  Status status = connection_->checkReady();
  if (status) status = askDigest(*connection_, remote, algorithm, std::nullopt, timeout, hex);
  return answered(std::move(status));
}

Status FtpConnection::findFirstFile(const std::string& mask, FindData& first,
                                    std::unique_ptr<RemoteFind>& find) {
  Status status = connection_->checkReady();
  std::vector<FindData> found;
  if (status) status = findMatches(*connection_, mask, found);
  if (!status) return answered(std::move(status));
  first = std::move(found.front());
  found.erase(found.begin());
  find = std::make_unique<RemoteFind>(std::move(found));
  return {};
}

Status FtpConnection::findFile(const std::string& remote, FindData& entry) {
  Status status = connection_->checkReady();
  if (status) status = findEntry(*connection_, remote, entry);
  return answered(std::move(status));
}

Status FtpConnection::reportStoredSize(const std::string& remote,
                                       std::optional<std::int64_t>& size) {
  Status status = connection_->checkReady();
  if (status) status = detail::reportStoredSize(*connection_, remote, size);
  return answered(std::move(status));
}

Status FtpConnection::getCurrentDirectory(std::string& directory) {
  Status status = connection_->checkReady();
  Reply reply;
  if (status) status = connection_->simpleCommand("PWD", 2, &reply);
  const auto parsed = status ? parsePwdReply(reply.text) : std::nullopt;
  if (status && !parsed) status = ErrorCode::InternetExtendedError;
  if (!status) return answered(std::move(status));
  directory = *parsed;
  return {};
}

Status FtpConnection::simpleCommand(const std::string& line, int expected) {
  Status status = connection_->checkReady();
  if (status) status = connection_->simpleCommand(line, expected);
  return answered(std::move(status));
}

// The per-file steps go back to the root before every file: once this session's CWD / was
// taken, and nothing changed the folder since, the root is where the server already is.
Status FtpConnection::setCurrentDirectory(const std::string& directory) {
  const bool root = directory == "/";
  if (root && connection_->inRoot() && connection_->checkReady()) return {};
  connection_->setInRoot(false);
  Status entered = simpleCommand("CWD " + directory, 2);
  connection_->setInRoot(root && entered.ok());
  return entered;
}

Status FtpConnection::deleteFile(const std::string& remote) {
  return simpleCommand("DELE " + remote, 2);
}

Status FtpConnection::renameFile(const std::string& existing, const std::string& newName) {
  Status status = connection_->checkReady();
  if (status) status = connection_->simpleCommand("RNFR " + existing, 3);
  if (status) status = connection_->simpleCommand("RNTO " + newName, 2);
  return answered(std::move(status));
}

Status FtpConnection::createDirectory(const std::string& directory) {
  return simpleCommand("MKD " + directory, 2);
}

Status FtpConnection::removeDirectory(const std::string& directory) {
  return simpleCommand("RMD " + directory, 2);
}

}  // namespace skyhaul::inet

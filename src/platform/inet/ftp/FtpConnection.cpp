#include <optional>
#include <utility>

#include "platform/inet/Report.h"
#include "platform/inet/ftp/Connection.h"
#include "platform/inet/ftp/DataConnection.h"
#include "platform/inet/ftp/Digests.h"
#include "platform/inet/ftp/FtpConnection.h"
#include "platform/inet/ftp/Listing.h"
#include "platform/inet/ftp/Lookup.h"
#include "platform/inet/ftp/RemoteFile.h"
#include "platform/inet/ftp/RemoteStamp.h"
#include "platform/inet/ftp/WholeFile.h"

namespace skyhaul::inet {

using namespace detail;  // the public calls are made of the library's inner steps

FtpConnection::FtpConnection(std::shared_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

FtpConnection::~FtpConnection() {
  if (connection_) connection_->quit();
}

std::unique_ptr<FtpFile> FtpConnection::openFile(const std::string& remote, FileAccess access,
                                                 TransferType type, std::int64_t restartAt) {
  Connection& connection = *connection_;
  Status status = connection.checkReady();
  if (status) status = connection.setType(type);
  std::optional<DataStream> stream;
  const std::string verb = access == FileAccess::Read ? "RETR " : "STOR ";
  if (status) status = startTransfer(connection, verb + remote, stream, restartAt);
  if (!report(status, connection)) return nullptr;
  connection.setBusy(true);
  return std::make_unique<FtpFile>(
      std::make_unique<RemoteFile>(connection_, std::move(*stream), access));
}

std::unique_ptr<RemoteStream> FtpConnection::openStream(const std::string& remote,
                                                        FileAccess access, TransferType type,
                                                        std::int64_t restartAt) {
  return openFile(remote, access, type, restartAt);
}

bool FtpConnection::canRestart() const { return connection_->features().rest; }

bool FtpConnection::modificationTime(const std::string& remote, std::string& stamp) {
  Status status = connection_->checkReady();
  if (status) status = askModificationTime(*connection_, remote, stamp);
  return report(status, *connection_);
}

std::optional<platform::DigestAlgorithm> FtpConnection::strongestDigest() const {
  const auto offer = inet::strongestDigest(connection_->features());
  return offer ? std::optional<platform::DigestAlgorithm>(offer->algorithm) : std::nullopt;
}

bool FtpConnection::digest(const std::string& remote, platform::DigestAlgorithm algorithm,
                           std::chrono::milliseconds timeout, std::string& hex) {
  Status status = connection_->checkReady();
  if (status) status = askDigest(*connection_, remote, algorithm, std::nullopt, timeout, hex);
  return report(status, *connection_);
}

std::unique_ptr<RemoteFind> FtpConnection::findFirstFile(const std::string& mask, FindData& first) {
  Status status = connection_->checkReady();
  std::vector<FindData> found;
  if (status) status = findMatches(*connection_, mask, found);
  if (!report(status, *connection_)) return nullptr;
  first = std::move(found.front());
  found.erase(found.begin());
  return std::make_unique<RemoteFind>(std::move(found));
}

bool FtpConnection::findFile(const std::string& remote, FindData& entry) {
  Status status = connection_->checkReady();
  if (status) status = findEntry(*connection_, remote, entry);
  return report(status, *connection_);
}

FtpConnection::SizeReport FtpConnection::reportStoredSize(const std::string& remote,
                                                          std::int64_t& size) {
  Status status = connection_->checkReady();
  std::optional<std::int64_t> reported;
  if (status) status = detail::reportStoredSize(*connection_, remote, reported);
  if (!report(status, *connection_)) return SizeReport::Refused;
  if (!reported) return SizeReport::NotOffered;
  size = *reported;
  return SizeReport::Reported;
}

bool FtpConnection::getCurrentDirectory(std::string& directory) {
  Status status = connection_->checkReady();
  Reply reply;
  if (status) status = connection_->simpleCommand("PWD", 2, &reply);
  const auto parsed = status ? parsePwdReply(reply.text) : std::nullopt;
  if (status && !parsed) status = ErrorCode::InternetExtendedError;
  if (!report(status, *connection_)) return false;
  directory = *parsed;
  return true;
}

bool FtpConnection::simpleCommand(const std::string& line, int expected) {
  Status status = connection_->checkReady();
  if (status) status = connection_->simpleCommand(line, expected);
  return report(status, *connection_);
}

// The per-file steps go back to the root before every file: once this session's CWD / was
// taken, and nothing changed the folder since, the root is where the server already is.
bool FtpConnection::setCurrentDirectory(const std::string& directory) {
  const bool root = directory == "/";
  if (root && connection_->inRoot() && connection_->checkReady()) return true;
  connection_->setInRoot(false);
  const bool entered = simpleCommand("CWD " + directory, 2);
  connection_->setInRoot(root && entered);
  return entered;
}

bool FtpConnection::deleteFile(const std::string& remote) {
  return simpleCommand("DELE " + remote, 2);
}

bool FtpConnection::renameFile(const std::string& existing, const std::string& newName) {
  Status status = connection_->checkReady();
  if (status) status = connection_->simpleCommand("RNFR " + existing, 3);
  if (status) status = connection_->simpleCommand("RNTO " + newName, 2);
  return report(status, *connection_);
}

bool FtpConnection::createDirectory(const std::string& directory) {
  return simpleCommand("MKD " + directory, 2);
}

bool FtpConnection::removeDirectory(const std::string& directory) {
  return simpleCommand("RMD " + directory, 2);
}

bool FtpConnection::putFile(const std::string& local, const std::string& remote,
                            TransferType type) {
  return report(detail::putFile(*connection_, local, remote, type), *connection_);
}

bool FtpConnection::getFile(const std::string& remote, const std::string& local,
                            TransferType type) {
  return report(detail::getFile(*connection_, remote, local, type), *connection_);
}

}  // namespace skyhaul::inet

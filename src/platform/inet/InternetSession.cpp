#include <memory>
#include <utility>

#include "platform/inet/ftp/Connection.h"
#include "platform/inet/InternetSession.h"
#include "platform/inet/ftp/FtpConnection.h"
#include "platform/inet/Report.h"
#include "platform/inet/transport/ServerAddress.h"
#include "platform/inet/sftp/SftpConnection.h"

namespace skyhaul::inet {

using namespace detail;  // the public calls are made of the library's inner steps

InternetSession::InternetSession(std::string agent)
    : agent_(std::move(agent)), timeouts_(defaultTimeouts()) {}

InternetSession::~InternetSession() = default;

const std::string& InternetSession::agent() const { return agent_; }

void InternetSession::setTimeouts(const Timeouts& timeouts) { timeouts_ = timeouts; }

const Timeouts& InternetSession::timeouts() const { return timeouts_; }

void InternetSession::setTrustedCertificates(std::string pemFile) {
  trustedCertificates_ = std::move(pemFile);
}

std::unique_ptr<FtpConnection> InternetSession::connect(const std::string& server, int port,
                                                        const std::string& user,
                                                        const std::string& password, bool passive) {
  const auto address = parseServerAddress(server, port);
  if (!address || address->scheme.protocol != Protocol::Ftp) {
    report(ErrorCode::InternetInvalidUrl);
    return nullptr;
  }
  const Security security = address->scheme.security;
  std::unique_ptr<TlsContext> tls;
  if (security != Security::Plain) {
    if (!report(TlsContext::create(trustedCertificates_, tls))) return nullptr;
  }
  Socket socket;
  if (!report(connectToHost(address->host, address->port, timeouts_.connect, socket)))
    return nullptr;
  auto connection = std::make_shared<Connection>(Control(std::move(socket), timeouts_), passive,
                                                 security, std::move(tls), address->host);
  if (!report(connection->logIn(user, password), *connection)) return nullptr;
  return std::make_unique<FtpConnection>(std::move(connection));
}

void InternetSession::setPrivateKeyFile(std::string file) { privateKeyFile_ = std::move(file); }

void InternetSession::setKnownHostsFile(std::string file) { knownHostsFile_ = std::move(file); }

std::unique_ptr<RemoteSession> InternetSession::open(const std::string& server,
                                                     const std::string& user,
                                                     const std::string& password, bool passive) {
  const auto address = parseServerAddress(server, 0);
  if (address && address->scheme.protocol == Protocol::Sftp) {
    return openSftp(*address, user, password);
  }
  return connect(server, 0, user, password, passive);
}

std::unique_ptr<RemoteSession> InternetSession::openSftp(const ServerAddress& address,
                                                         const std::string& user,
                                                         const std::string& password) {
  SftpLogin login;
  login.host = address.host;
  login.port = address.port;
  login.user = user;
  login.password = password;
  login.privateKeyFile = privateKeyFile_;
  login.knownHostsFile = knownHostsFile_;
  login.timeouts = timeouts_;
  auto session = SftpSession::connect(login);
  if (!session) return nullptr;
  return std::make_unique<SftpConnection>(std::move(session));
}

}  // namespace skyhaul::inet

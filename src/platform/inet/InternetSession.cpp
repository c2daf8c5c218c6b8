#include <memory>
#include <utility>

#include "platform/inet/InternetSession.h"
#include "platform/inet/ftp/Connection.h"
#include "platform/inet/ftp/FtpConnection.h"
#include "platform/inet/sftp/SftpConnection.h"
#include "platform/inet/transport/ServerAddress.h"

namespace skyhaul::inet {

using namespace detail;  // the sessions are made of the library's inner steps

InternetSession::InternetSession(std::string agent)
    : agent_(std::move(agent)), timeouts_(defaultTimeouts()) {}

InternetSession::~InternetSession() = default;

const std::string& InternetSession::agent() const { return agent_; }

void InternetSession::setTimeouts(const Timeouts& timeouts) { timeouts_ = timeouts; }

const Timeouts& InternetSession::timeouts() const { return timeouts_; }

void InternetSession::setTrustedCertificates(std::string pemFile) {
  trustedCertificates_ = std::move(pemFile);
}

Status InternetSession::open(const std::string& server, const std::string& user,
                             const std::string& password, bool passive,
                             std::unique_ptr<RemoteSession>& session) {
  const auto address = parseServerAddress(server, 0);
  if (!address) return ErrorCode::InternetInvalidUrl;
  if (address->scheme.protocol == Protocol::Sftp) {
    return openSftp(*address, user, password, session);
  }
  return openFtp(*address, user, password, passive, session);
}

void InternetSession::setPrivateKeyFile(std::string file) { privateKeyFile_ = std::move(file); }

void InternetSession::setKnownHostsFile(std::string file) { knownHostsFile_ = std::move(file); }

Status InternetSession::openFtp(const ServerAddress& address, const std::string& user,
                                const std::string& password, bool passive,
                                std::unique_ptr<RemoteSession>& session) {
  const Security security = address.scheme.security;
  std::unique_ptr<TlsContext> tls;
  if (security != Security::Plain) {
    if (Status created = TlsContext::create(trustedCertificates_, tls); !created) return created;
  }
  Socket socket;
  if (Status connected = connectToHost(address.host, address.port, timeouts_.connect, socket);
      !connected) {
    return connected;
  }
  auto connection = std::make_shared<Connection>(Control(std::move(socket), timeouts_), passive,
                                                 security, std::move(tls), address.host);
  if (Status loggedIn = connection->answered(connection->logIn(user, password)); !loggedIn) {
    return loggedIn;
  }
  session = std::make_unique<FtpConnection>(std::move(connection));
  return {};
}

Status InternetSession::openSftp(const ServerAddress& address, const std::string& user,
                                 const std::string& password,
                                 std::unique_ptr<RemoteSession>& session) {
  SftpLogin login;
  login.host = address.host;
  login.port = address.port;
  login.user = user;
  login.password = password;
  login.privateKeyFile = privateKeyFile_;
  login.knownHostsFile = knownHostsFile_;
  login.timeouts = timeouts_;
  std::unique_ptr<SftpSession> sftp;
  if (Status connected = SftpSession::connect(login, sftp); !connected) return connected;
  session = std::make_unique<SftpConnection>(std::move(sftp));
  return {};
}

}  // namespace skyhaul::inet

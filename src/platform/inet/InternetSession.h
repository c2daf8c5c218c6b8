#pragma once
// Opens sessions with servers (the classic "InternetOpen"): FTP, FTPS or SFTP, chosen by the
// server's address, behind the seam of RemoteSession.h.

#include <memory>
#include <string>

#include "platform/inet/RemoteSession.h"
#include "platform/inet/Types.h"

namespace skyhaul::inet {

struct ServerAddress;

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
  // port: "host:port", "[v6 address]:port"; a bare host or address means port 21.
  // "ftpes://" before it asks for explicit TLS (AUTH TLS), "ftps://" for implicit TLS (port
  // 990 by default): the certificate is verified, and the data connections are protected too.
  // Passive mode uses EPSV/PASV for data connections, active mode EPRT/PORT.
  // "sftp://host[:port]" (port 22 by default) opens an SFTP session instead, its host key
  // checked against the known_hosts file (setKnownHostsFile) and logged in with the private key
  // (setPrivateKeyFile; the password is then its passphrase) or else the password. The caller
  // does not need to know which protocol carries it. A refused FTP login is
  // InternetExtendedError with the server's reply.
  Status open(const std::string& server, const std::string& user, const std::string& password,
              bool passive, std::unique_ptr<RemoteSession>& session);
  // For SFTP sessions opened from now on: the OpenSSH private key to log in with ("" for the
  // password), and the known_hosts file ("" for the running user's ~/.ssh/known_hosts).
  void setPrivateKeyFile(std::string file);
  void setKnownHostsFile(std::string file);

 private:
  Status openFtp(const ServerAddress& address, const std::string& user, const std::string& password,
                 bool passive, std::unique_ptr<RemoteSession>& session);
  Status openSftp(const ServerAddress& address, const std::string& user,
                  const std::string& password, std::unique_ptr<RemoteSession>& session);

  std::string agent_;
  Timeouts timeouts_;
  std::string trustedCertificates_;
  std::string privateKeyFile_;
  std::string knownHostsFile_;
};

}  // namespace skyhaul::inet

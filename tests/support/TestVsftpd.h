#pragma once
// Debian's real vsftpd as a loopback FTPS server for interoperability tests: started in the
// foreground on 127.0.0.1 with a free port and a config of its own in a temporary folder. It
// demands explicit TLS for the login and every data connection, and that each data connection
// resumes a TLS session of the control connection (require_ssl_reuse). The login is anonymous
// (any password), chrooted to a fresh root folder that it may not write (vsftpd insists), with
// write rights in what giveFilesToServer() gave it there. Only root can start it (it chroots
// and drops to another account).

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace skyhaul::test {

class TestVsftpd {
 public:
  // The login's name; its password may be anything.
  static constexpr const char* kUser = "anonymous";

  // Why the server cannot run here ("" when it can): vsftpd not installed, or not root.
  static std::string unavailable();

  // Starts vsftpd and waits (bounded) until it listens; throws std::runtime_error with its
  // output when it does not come up.
  TestVsftpd();
  // Stops vsftpd and every process serving a connection.
  ~TestVsftpd();
  TestVsftpd(const TestVsftpd&) = delete;
  TestVsftpd& operator=(const TestVsftpd&) = delete;

  int port() const { return port_; }
  // "127.0.0.1:PORT".
  std::string address() const;
  // The folder the login sees as "/"; root's, not writable through the server.
  const std::filesystem::path& root() const { return root_.path(); }
  // Gives everything under root() (not root() itself) to the account the server serves as, so
  // that what the test put there may be written, overwritten and deleted through the server.
  void giveFilesToServer() const;

  // The protocol log: every command and reply ("FTP command: ...", "FTP response: ...") and
  // the TLS handshakes of the sessions so far ("... reused, no cert" for a resumed one).
  std::string log() const;

 private:
  void writeConfig();
  bool waitUntilListening();
  void signalSessions(int signal);

  TempDir files_;  // config, log and vsftpd's empty folder: not served
  TempDir root_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace skyhaul::test

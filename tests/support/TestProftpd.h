#pragma once
// Debian's real proftpd with mod_digest as a loopback FTP server for interoperability tests:
// started in the foreground on 127.0.0.1 with a free port and a config of its own in a temporary
// folder, one login (kFtpUser, kFtpPassword) from a password file hashed when it starts, chrooted
// to a fresh root folder. Started as root, it serves as the unprivileged user "nobody".

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/TestFtpServer.h"

namespace skyhaul::test {

// With `tls`, mod_tls demands explicit TLS for the login and every data connection, and that
// each data connection resumes a session of the control connection (its default), under TLS
// 1.2 or 1.3 as the client offers; the certificate is testCertificates()' server certificate.
struct ProftpdOptions {
  bool tls = false;
};

class TestProftpd {
 public:
  // Why the server cannot run here ("" when it can): proftpd or mod_digest (with `tls`:
  // mod_tls) not installed, or not root (only root can chroot the login and drop to another
  // user).
  static std::string unavailable(const ProftpdOptions& options = {});

  // Starts proftpd and waits (bounded) until it listens; throws std::runtime_error with its log
  // when it does not come up.
  explicit TestProftpd(ProftpdOptions options = {});
  // Stops proftpd and every process serving a connection.
  ~TestProftpd();
  TestProftpd(const TestProftpd&) = delete;
  TestProftpd& operator=(const TestProftpd&) = delete;

  int port() const { return port_; }
  // "127.0.0.1:PORT".
  std::string address() const;
  // The folder the login sees as "/", owned by the login's user.
  const std::filesystem::path& root() const { return root_.path(); }

  // Every command the sessions finished, as "<command> <arguments>" lines in order (PASS's
  // argument hidden). proftpd logs a command just after answering it: see waitForCommand().
  std::vector<std::string> commands() const;
  // Waits (at most 10 s) until a line of commands() starts with `prefix`; false if none does.
  bool waitForCommand(const std::string& prefix) const;
  // What proftpd wrote to its system log and standard error, and with `tls` mod_tls's log
  // ("client reused TLS session for data connection" for each that resumed).
  std::string log() const;

 private:
  void writeConfig();
  void spawn();
  bool waitUntilListening();
  void signalSessions(int signal);

  ProftpdOptions options_;
  TempDir files_;  // config, password file, scoreboard and logs: not served
  TempDir root_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace skyhaul::test

#pragma once
// OpenSSH's real sshd as a loopback SFTP server for the tests: started on 127.0.0.1 with a free
// port and a config of its own, host and client keys made by ssh-keygen when it starts, and
// known_hosts files that hold its key (plainly and hashed) or another key in its place.
//
// Run as root, it logs in a user made for the test process (useradd, a random password set by
// chpasswd, removed when the process ends), so password logins can be tested; otherwise the
// account is the running user's, by key only, and passwordLogins() is false.

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace skyhaul::test {

class TestSshServer {
 public:
  // Starts sshd and waits (bounded) until it listens; throws std::runtime_error with what went
  // wrong when a tool fails or sshd does not come up. With `cutFirstSession` > 0, the first
  // SFTP session is served by OpenSSH's sftp-server whose output ends after that many bytes
  // (the session's channel closes mid-reply, as when a link drops); later ones are whole.
  explicit TestSshServer(std::size_t cutFirstSession = 0);
  // Sessions served by the tests' own small SFTP server (support/sftp_server.py) in place of
  // OpenSSH's, over the same sshd: it lies where setLies() says.
  struct FakeSftp {};
  explicit TestSshServer(FakeSftp);
  // Stops sshd and every process serving a connection.
  ~TestSshServer();
  TestSshServer(const TestSshServer&) = delete;
  TestSshServer& operator=(const TestSshServer&) = delete;

  int port() const { return port_; }
  const std::string& user() const;
  // The user's password; "" when password logins cannot be tested (see passwordLogins()).
  const std::string& password() const;
  bool passwordLogins() const { return !password().empty(); }
  // The folder an SFTP session starts in, writable by the user.
  const std::filesystem::path& root() const { return root_.path(); }

  // known_hosts files: the server's key under "[127.0.0.1]:PORT", the same entry hashed
  // (ssh-keygen -H), and another ed25519 key under that name (as after a changed host key).
  std::filesystem::path knownHosts() const { return keys_.path() / "known_hosts"; }
  std::filesystem::path hashedKnownHosts() const { return keys_.path() / "known_hosts.hashed"; }
  std::filesystem::path otherKeyKnownHosts() const { return keys_.path() / "known_hosts.other"; }
  // The server's key as ssh-keygen -l shows it: "SHA256:...".
  const std::string& hostFingerprint() const { return fingerprint_; }
  // A private key (OpenSSH format) the server accepts for user(), without and with passphrase.
  std::filesystem::path clientKey() const { return keys_.path() / "client_ed25519"; }
  std::filesystem::path lockedClientKey() const { return keys_.path() / "locked_ed25519"; }
  static constexpr const char* kKeyPassphrase = "geslo za ključ";

  // What sshd wrote to its log (LogLevel DEBUG1: each authentication request is a line), then
  // what sftp-server logged (LogLevel VERBOSE: each request but a read or a write is a line).
  std::string log() const;
  // The lies the fake SFTP server tells from the next session on, one "name value" a line (see
  // support/sftp_server.py).
  void setLies(const std::string& lies) const;
  // Kills every process serving a connection (the listener stays): sessions drop mid-way.
  void dropSessions();
  // Stops (true) or continues (false) every process serving a connection: a silent server.
  void stallSessions(bool stalled);

 private:
  void start();
  void makeKeys();
  std::string sessionCommand() const;
  void writeConfig();
  void spawn();
  bool waitUntilListening();
  void signalSessions(int signal);

  TempDir keys_;  // config, keys, known_hosts, log: readable by the user, not served
  TempDir root_;
  std::string fingerprint_;
  std::size_t cutFirstSession_;
  bool fake_ = false;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace skyhaul::test

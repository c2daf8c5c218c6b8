#pragma once
// The loopback FTP server of the tests (tests/support/ftp_server.py, pyftpdlib) as a fixture:
// started in its own process with a fresh root folder, stopped and started again on the same
// port, and told which faults to inject through a control file it re-reads before every command.
// It records every command line it receives and, when asked, speaks FTPS.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace skyhaul::test {

// FTPS: none, AUTH TLS on the normal port, or TLS from the first byte (like ftps:// on 990).
enum class FtpTls { None, Explicit, Implicit };

struct FtpServerOptions {
  std::vector<std::string> faults;  // fault lines in force from the start (see ftp_server.py)
  bool ipv6 = false;                // listen on ::1 instead of 127.0.0.1
  int port = 0;                     // 0 picks a free port
  FtpTls tls = FtpTls::None;        // with TLS the server insists on it and on session reuse
  std::filesystem::path tlsCert{};  // PEM, may hold the chain; empty: the test CA's server.pem
  std::filesystem::path tlsKey{};   // its key; empty: server.key (with an empty tlsCert)
  std::string tlsMin{};             // lowest TLS version allowed, "1.2" or "1.3"; empty: 1.2
  std::string tlsMax{};             // highest, "1.2" or "1.3"; empty: 1.3
  std::string password{};           // the account's password; empty: kFtpPassword
};

// The account the server knows.
inline constexpr const char* kFtpUser = "ftpjob";
inline constexpr const char* kFtpPassword = "pelmun";

class TestFtpServer {
 public:
  // Starts the server and waits (bounded) until it listens; throws std::runtime_error when it
  // does not come up.
  explicit TestFtpServer(FtpServerOptions options = {});
  // Stops the server: SIGTERM, then SIGKILL after 5 s.
  ~TestFtpServer();
  TestFtpServer(const TestFtpServer&) = delete;
  TestFtpServer& operator=(const TestFtpServer&) = delete;

  int port() const { return port_; }
  // "127.0.0.1:PORT" or "[::1]:PORT".
  std::string address() const;
  // The folder the account sees as "/".
  const std::filesystem::path& root() const { return root_.path(); }
  // Replaces the faults in force; the server applies them from its next command on.
  void setFaults(const std::vector<std::string>& faults);
  // The server goes away: its port is closed until start().
  void stop();
  // The server comes back on the same port and root (faults as last set).
  void start();

  // Every command line the server received, as "<connection> <line>", connections numbered
  // 1, 2, ... in the order accepted; after stop() and start() it counts on from the last one
  // recorded. Lines are there before the server answers them.
  std::vector<std::string> commands() const;
  // The command lines that connection `connection` sent, without its number.
  std::vector<std::string> commandsOf(int connection) const;
  // Forgets the commands recorded so far.
  void clearCommands();

 private:
  void spawn();
  bool readReady(int fd);

  FtpServerOptions options_;
  TempDir root_;
  TempDir work_;  // holds the control and record files, outside the served root
  std::filesystem::path control_;
  std::filesystem::path record_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace skyhaul::test

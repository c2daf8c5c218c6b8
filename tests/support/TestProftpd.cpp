#include "support/TestProftpd.h"

#include <crypt.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/ChildExit.h"
#include "support/FreePort.h"
#include "support/TestCertificates.h"

namespace skyhaul::test {
namespace {

namespace fs = std::filesystem;

constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr auto kStopLimit = std::chrono::seconds(5);
constexpr int kStartTries = 3;  // the free port may be taken before proftpd binds it
constexpr const char* kProftpd = "/usr/sbin/proftpd";
constexpr const char* kModuleFolder = "/usr/lib/proftpd";
// The unprivileged account the server runs as and the login's files belong to.
constexpr const char* kServerUser = "nobody";
constexpr const char* kServerGroup = "nogroup";

// The password as an AuthUserFile holds it: SHA-512 crypt with a fresh random salt.
std::string passwordHash(const char* password) {
  char salt[CRYPT_GENSALT_OUTPUT_SIZE];
  if (crypt_gensalt_rn("$6$", 0, nullptr, 0, salt, sizeof salt) == nullptr) {
    throw std::runtime_error("crypt_gensalt_rn failed");
  }
  auto data = std::make_unique<crypt_data>();
  const char* hash = crypt_r(password, salt, data.get());
  if (hash == nullptr || hash[0] == '*') throw std::runtime_error("crypt_r failed");
  return hash;
}

// Appended, not added up: GCC 12 warns falsely of overlapping copies in "literal" + string.
std::string quoted(const fs::path& path) {
  std::string text(1, '"');
  text += path.string();
  text += '"';
  return text;
}

std::string textOf(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::string TestProftpd::unavailable(const ProftpdOptions& options) {
  if (!fs::exists(kProftpd)) return "proftpd is not installed (Debian: proftpd-core)";
  if (!fs::exists(fs::path(kModuleFolder) / "mod_digest.so")) return "mod_digest.so is missing";
  if (options.tls && !fs::exists(fs::path(kModuleFolder) / "mod_tls.so")) {
    return "mod_tls.so is missing (Debian: proftpd-mod-crypto)";
  }
  if (geteuid() != 0) return "proftpd needs root to chroot its login and drop to another user";
  if (getpwnam(kServerUser) == nullptr || getgrnam(kServerGroup) == nullptr) {
    return std::string("no user ") + kServerUser + " or group " + kServerGroup;
  }
  return {};
}

TestProftpd::TestProftpd(ProftpdOptions options) : options_(options) {
  if (const auto why = unavailable(options_); !why.empty()) throw std::runtime_error(why);
  const passwd* account = getpwnam(kServerUser);
  const group* team = getgrnam(kServerGroup);
  if (chown(root().c_str(), account->pw_uid, team->gr_gid) != 0) {
    throw std::runtime_error("cannot give the served folder to " + std::string(kServerUser));
  }
  // proftpd refuses a password file that others may write; it reads it with root's rights.
  writeFile(files_.path() / "passwd", std::string(kFtpUser) + ":" + passwordHash(kFtpPassword) +
                                          ":" + std::to_string(account->pw_uid) + ":" +
                                          std::to_string(team->gr_gid) + "::" + root().string() +
                                          ":/bin/false\n");
  fs::permissions(files_.path() / "passwd", fs::perms(0600));
  for (int attempt = 1;; ++attempt) {
    port_ = freeLoopbackPort();
    writeConfig();
    spawn();
    if (waitUntilListening()) break;
    if (attempt == kStartTries) throw std::runtime_error("proftpd did not start: " + log());
  }
}

TestProftpd::~TestProftpd() {
  if (pid_ <= 0) return;
  signalSessions(SIGKILL);
  stopServer(pid_, kStopLimit);
}

std::string TestProftpd::address() const { return "127.0.0.1:" + std::to_string(port_); }

void TestProftpd::writeConfig() {
  const auto& files = files_.path();
  std::ostringstream config;
  config << "ServerType standalone\nServerName \"skyhaul test\"\n"
         << "DefaultAddress 127.0.0.1\nSocketBindTight on\nPort " << port_ << "\n"
         << "User " << kServerUser << "\nGroup " << kServerGroup << "\n"
         << "PidFile " << quoted(files / "proftpd.pid") << "\n"
         << "ScoreboardFile " << quoted(files / "proftpd.scoreboard") << "\n"
         << "SystemLog " << quoted(files / "system.log") << "\n"
         << "TransferLog " << quoted(files / "transfer.log") << "\n"
         << "LogFormat commands \"%r\"\n"
         << "ExtendedLog " << quoted(files / "commands.log")
         << " ALL commands\n"
         // Nothing outside the test's folders, and no lookups that wait on the network.
         << "WtmpLog off\nUseReverseDNS off\n"
         << "<IfModule mod_ident.c>\nIdentLookups off\n</IfModule>\n"
         << "<IfModule mod_delay.c>\nDelayEngine off\n</IfModule>\n"
         << "AuthOrder mod_auth_file.c\nAuthUserFile " << quoted(files / "passwd") << "\n"
         << "RequireValidShell off\nUseFtpUsers off\nDefaultRoot ~\n"
         << "PassivePorts 49152 65534\n"
         << "AllowOverwrite on\nAllowStoreRestart on\nAllowRetrieveRestart on\nUmask 022\n"
         << "ModulePath " << kModuleFolder << "\nLoadModule mod_digest.c\nDigestEngine on\n";
  if (options_.tls) {
    const auto& certificates = testCertificates();
    config << "LoadModule mod_tls.c\nTLSEngine on\nTLSRequired on\n"
           << "TLSProtocol TLSv1.2 TLSv1.3\nTLSVerifyClient off\n"
           << "TLSECCertificateFile " << quoted(certificates.serverCert) << "\n"
           << "TLSECCertificateKeyFile " << quoted(certificates.serverKey) << "\n"
           << "TLSLog " << quoted(files / "tls.log") << "\n";
  }
  writeFile(files / "proftpd.conf", config.str());
}

void TestProftpd::spawn() {
  const auto config = (files_.path() / "proftpd.conf").string();
  std::vector<std::string> args = {kProftpd, "-n", "-q", "-c", config};
  const auto errors = files_.path() / "stderr.log";
  fs::remove(errors);
  fs::remove(files_.path() / "system.log");
  const pid_t pid = startServer(kProftpd, std::move(args), {.log = errors, .output = -1});
  pid_ = pid;
}

// proftpd logs its STARTUP line once it listens; it ends at once when the port is taken.
bool TestProftpd::waitUntilListening() {
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (log().find("mode STARTUP") != std::string::npos) return true;
    if (waitForExit(pid_, std::chrono::milliseconds(50)).has_value()) {
      pid_ = -1;
      return false;
    }
  }
  kill(pid_, SIGKILL);
  waitForExit(pid_, kStopLimit);
  pid_ = -1;
  return false;
}

std::vector<std::string> TestProftpd::commands() const {
  std::vector<std::string> lines;
  std::istringstream in(textOf(files_.path() / "commands.log"));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool TestProftpd::waitForCommand(const std::string& prefix) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  do {
    for (const auto& line : commands()) {
      if (line.starts_with(prefix)) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

std::string TestProftpd::log() const {
  return textOf(files_.path() / "system.log") + textOf(files_.path() / "stderr.log") +
         textOf(files_.path() / "tls.log");
}

// Signals every descendant of the listener: the processes serving the connections.
void TestProftpd::signalSessions(int signal) {
  std::vector<pid_t> parents = {pid_};
  for (std::size_t next = 0; next < parents.size() && pid_ > 0; ++next) {
    const auto path = "/proc/" + std::to_string(parents[next]) + "/task/" +
                      std::to_string(parents[next]) + "/children";
    std::ifstream in(path);
    for (pid_t child = 0; in >> child;) {
      parents.push_back(child);
      kill(child, signal);
    }
  }
}

}  // namespace skyhaul::test

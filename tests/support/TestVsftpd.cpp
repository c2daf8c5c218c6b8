#include "support/TestVsftpd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "support/ChildExit.h"
#include "support/FreePort.h"
#include "support/TestCertificates.h"

namespace skyhaul::test {
namespace {

namespace fs = std::filesystem;

constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr auto kStopLimit = std::chrono::seconds(5);
constexpr int kStartTries = 3;  // the free port may be taken before vsftpd binds it
// Debian's package, or the same package unpacked beside proftpd (the two conflict as packages;
// scripts/setup.sh unpacks vsftpd there when proftpd is installed).
const std::vector<fs::path> kPrograms = {"/usr/sbin/vsftpd",
                                         "/opt/skyhaul-test/vsftpd/usr/sbin/vsftpd"};
// The account the anonymous login is served as: vsftpd changes into its home folder before
// the chroot, so it must have one that exists (Debian's "nobody" has none).
constexpr const char* kServedAs = "daemon";

fs::path program() {
  for (const auto& candidate : kPrograms) {
    if (fs::exists(candidate)) return candidate;
  }
  return {};
}

std::string textOf(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return connected;
}

}  // namespace

std::string TestVsftpd::unavailable() {
  if (program().empty()) return "vsftpd is not installed (Debian: vsftpd; see scripts/setup.sh)";
  if (geteuid() != 0) return "vsftpd needs root to chroot its login and drop to another user";
  const passwd* account = getpwnam(kServedAs);
  if (account == nullptr || !fs::is_directory(account->pw_dir)) {
    return std::string("no user ") + kServedAs + " with a home folder";
  }
  return {};
}

TestVsftpd::TestVsftpd() {
  if (const auto why = unavailable(); !why.empty()) throw std::runtime_error(why);
  fs::create_directory(files_.path() / "empty");
  // vsftpd 3.0.3 refuses an anonymous root the login may write (allow_writeable_chroot is for
  // local users only): it stays root's, open to all for reading.
  fs::permissions(root(), fs::perms(0755));
  for (int attempt = 1;; ++attempt) {
    port_ = freeLoopbackPort();
    writeConfig();
    const auto config = (files_.path() / "vsftpd.conf").string();
    pid_ = startServer(program().string(), {program().string(), config},
                       {.log = files_.path() / "stderr.log", .output = -1});
    if (waitUntilListening()) break;
    if (attempt == kStartTries) throw std::runtime_error("vsftpd did not start: " + log());
  }
}

TestVsftpd::~TestVsftpd() {
  if (pid_ <= 0) return;
  signalSessions(SIGKILL);
  stopServer(pid_, kStopLimit);
}

std::string TestVsftpd::address() const { return "127.0.0.1:" + std::to_string(port_); }

void TestVsftpd::giveFilesToServer() const {
  const passwd* account = getpwnam(kServedAs);
  if (account == nullptr) throw std::runtime_error(std::string("no user ") + kServedAs);
  const auto give = [&](const fs::path& path) {
    if (lchown(path.c_str(), account->pw_uid, account->pw_gid) != 0) {
      throw std::runtime_error("cannot give " + path.string() + " to " + kServedAs);
    }
  };
  for (const auto& entry : fs::recursive_directory_iterator(root())) give(entry.path());
}

// vsftpd 3.0.3 knows no option for TLS 1.2 or 1.3 alone: it takes OpenSSL's default method and
// so negotiates TLS 1.3. An unknown option would make it exit at once, silently.
void TestVsftpd::writeConfig() {
  const auto& files = files_.path();
  const auto& certificates = testCertificates();
  std::ostringstream config;
  config << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=" << port_
         << "\nbackground=NO\n"
         << "anonymous_enable=YES\nlocal_enable=NO\nno_anon_password=YES\n"
         << "ftp_username=" << kServedAs << "\nanon_root=" << root().string() << "\n"
         << "write_enable=YES\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
         << "anon_other_write_enable=YES\nanon_umask=022\n"
         << "pasv_enable=YES\npasv_min_port=49152\npasv_max_port=65534\n"
         // Containers often forbid what these need; the tests need none of it.
         << "seccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
         << "secure_chroot_dir=" << (files / "empty").string() << "\nnopriv_user=nobody\n"
         << "ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\n"
         << "force_anon_data_ssl=YES\nrequire_ssl_reuse=YES\nssl_ciphers=HIGH\n"
         << "rsa_cert_file=" << certificates.serverCert.string() << "\n"
         << "rsa_private_key_file=" << certificates.serverKey.string() << "\n"
         << "xferlog_enable=YES\nxferlog_std_format=NO\nlog_ftp_protocol=YES\ndebug_ssl=YES\n"
         << "vsftpd_log_file=" << (files / "vsftpd.log").string() << "\n";
  writeFile(files / "vsftpd.conf", config.str());
}

// vsftpd says nothing once it listens: the port is tried until it accepts; it ends at once
// when the port is taken or the config is wrong.
bool TestVsftpd::waitUntilListening() {
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitForExit(pid_, std::chrono::milliseconds(50)).has_value()) {
      pid_ = -1;
      return false;
    }
    if (accepts(port_)) return true;
  }
  kill(pid_, SIGKILL);
  waitForExit(pid_, kStopLimit);
  pid_ = -1;
  return false;
}

std::string TestVsftpd::log() const {
  return textOf(files_.path() / "vsftpd.log") + textOf(files_.path() / "stderr.log");
}

// Signals every descendant of the listener: the processes serving the connections.
void TestVsftpd::signalSessions(int signal) {
  std::vector<pid_t> parents = {pid_};
  for (std::size_t next = 0; next < parents.size(); ++next) {
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

#include "support/TestSshServer.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "support/ChildExit.h"
#include "support/FreePort.h"

namespace skyhaul::test {
namespace {

constexpr auto kToolLimit = std::chrono::seconds(30);
constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr auto kStopLimit = std::chrono::seconds(5);
constexpr int kStartTries = 3;  // the free port may be taken before sshd binds it
constexpr const char* kSshd = "/usr/sbin/sshd";
constexpr const char* kKeygen = "/usr/bin/ssh-keygen";
constexpr const char* kSftpServer = "/usr/lib/openssh/sftp-server";

// Runs a tool with `input` on its standard input and its output into `log`; throws when it
// fails or runs too long.
void runTool(std::vector<std::string> args, const std::filesystem::path& log,
             const std::string& input = {}) {
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(fds[0], STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[0]);
  // The tools read a line or two: it fits the pipe's buffer at once.
  const ssize_t written = write(fds[1], input.data(), input.size());
  static_cast<void>(written);
  close(fds[1]);
  const auto code = waitForExit(pid, kToolLimit);
  if (!code.has_value()) {
    kill(pid, SIGKILL);
    waitForExit(pid, kStopLimit);
  }
  if (code != 0) throw std::runtime_error(args[0] + " failed; see " + log.string());
}

std::string randomPassword() {
  std::random_device device;
  std::string text = "Sk";
  for (int i = 0; i < 16; ++i) text += "abcdefghjkmnpqrstuvwxyz23456789"[device() % 31];
  return text;
}

// The account the server logs in: a user of its own for the test process when run as root
// (removed at exit), else the running user without a password.
struct TestUser {
  std::string name;
  std::string password;
  std::filesystem::path log = std::filesystem::temp_directory_path() /
                              ("skyhaul-sftp-user-" + std::to_string(getpid()) + ".log");

  TestUser() {
    if (geteuid() != 0) {
      const passwd* self = getpwuid(geteuid());
      name = self != nullptr ? self->pw_name : "";
      return;
    }
    name = "skyhaul-sftp-" + std::to_string(getpid());
    password = randomPassword();
    // Several test processes edit /etc/passwd at once: useradd may find it locked.
    for (int attempt = 0;; ++attempt) {
      try {
        runTool({"/usr/sbin/useradd", "-M", "-d", "/nonexistent", "-s", "/bin/sh", name}, log);
        break;
      } catch (const std::runtime_error&) {
        if (attempt == 10) throw;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
      }
    }
    runTool({"/usr/sbin/chpasswd"}, log, name + ":" + password + "\n");
  }
  ~TestUser() {
    if (password.empty()) return;
    // userdel refuses while the user's killed session processes are still ending.
    for (int attempt = 0; attempt < 25; ++attempt) {
      try {
        runTool({"/usr/sbin/userdel", name}, log);
        std::filesystem::remove(log);
        return;
      } catch (const std::runtime_error&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
      }
    }
    // The log stays for whoever wonders about a left-over user.
  }
};

const TestUser& testUser() {
  static const TestUser user;
  return user;
}

// The first line of a file, without its line end.
std::string firstLine(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

}  // namespace

TestSshServer::TestSshServer(std::size_t cutFirstSession) : cutFirstSession_(cutFirstSession) {
  start();
}

TestSshServer::TestSshServer(FakeSftp) : cutFirstSession_(0), fake_(true) { start(); }

void TestSshServer::setLies(const std::string& lies) const {
  writeFile(keys_.path() / "lies", lies);
}

void TestSshServer::start() {
  testUser();
  std::filesystem::permissions(keys_.path(), std::filesystem::perms(0755));
  if (geteuid() == 0) {
    const passwd* account = getpwnam(user().c_str());
    if (account == nullptr || chown(root().c_str(), account->pw_uid, account->pw_gid) != 0) {
      throw std::runtime_error("cannot give the served folder to " + user());
    }
    // sshd insists on its privilege separation folder.
    std::filesystem::create_directories("/run/sshd");
  }
  makeKeys();
  // The account's sftp-server logs its requests here.
  writeFile(keys_.path() / "sftp.log", "");
  std::filesystem::permissions(keys_.path() / "sftp.log", std::filesystem::perms(0666));
  for (int attempt = 1;; ++attempt) {
    port_ = freeLoopbackPort();
    writeConfig();
    spawn();
    if (waitUntilListening()) break;
    if (attempt == kStartTries) throw std::runtime_error("sshd did not start: " + log());
  }
  const std::string name = "[127.0.0.1]:" + std::to_string(port_) + " ";
  const auto hostKey = firstLine(keys_.path() / "host_ed25519.pub");
  const auto otherKey = firstLine(keys_.path() / "other_ed25519.pub");
  writeFile(knownHosts(), name + hostKey + "\n");
  writeFile(hashedKnownHosts(), name + hostKey + "\n");
  runTool({kKeygen, "-H", "-f", hashedKnownHosts().string()}, keys_.path() / "tools.log");
  writeFile(otherKeyKnownHosts(), name + otherKey + "\n");
}

TestSshServer::~TestSshServer() {
  if (pid_ <= 0) return;
  signalSessions(SIGKILL);
  stopServer(pid_, kStopLimit);
}

const std::string& TestSshServer::user() const { return testUser().name; }

const std::string& TestSshServer::password() const { return testUser().password; }

void TestSshServer::makeKeys() {
  const auto log = keys_.path() / "tools.log";
  const auto key = [&](const std::string& file, const std::string& passphrase) {
    runTool({kKeygen, "-q", "-t", "ed25519", "-N", passphrase, "-C", "skyhaul-test", "-f",
             (keys_.path() / file).string()},
            log);
  };
  key("host_ed25519", "");
  key("other_ed25519", "");
  key("client_ed25519", "");
  key("locked_ed25519", kKeyPassphrase);
  writeFile(keys_.path() / "authorized_keys", firstLine(clientKey().string() + ".pub") + "\n" +
                                                  firstLine(lockedClientKey().string() + ".pub") +
                                                  "\n");
  runTool({kKeygen, "-l", "-f", (keys_.path() / "host_ed25519.pub").string()},
          keys_.path() / "fingerprint");
  // "256 SHA256:... comment (ED25519)"
  std::istringstream words(firstLine(keys_.path() / "fingerprint"));
  std::string bits;
  words >> bits >> fingerprint_;
}

// What serves a session: sshd's own SFTP server, logging each request (LogLevel INFO); or, for
// a first session to be cut, the separate sftp-server with its output through `head -c` (the
// folder made first marks the cut as done, atomically, for later sessions).
// What serves a session: OpenSSH's sftp-server, logging each request into sftp.log; for a
// first session to be cut, with its output through dd, which passes each piece on at once
// (head -c holds it back) and ends after the count. The folder made first marks the cut as
// done, atomically, for later sessions.
std::string TestSshServer::sessionCommand() const {
  if (fake_) {
    const auto script = std::filesystem::path(SKYHAUL_TEST_SERVER).parent_path() / "sftp_server.py";
    return "exec /usr/bin/python3 " + script.string() + " " + root().string() + " " +
           (keys_.path() / "lies").string() + " 2>>" + (keys_.path() / "sftp.log").string();
  }
  const std::string server = std::string(kSftpServer) + " -e -l VERBOSE -d " + root().string() +
                             " 2>>" + (keys_.path() / "sftp.log").string();
  if (cutFirstSession_ == 0) return "exec " + server;
  return "if mkdir " + (root() / ".cut").string() + " 2>/dev/null; then " + server +
         " | dd iflag=count_bytes bs=64K status=none count=" + std::to_string(cutFirstSession_) +
         "; else exec " + server + "; fi";
}

void TestSshServer::writeConfig() {
  const auto& keys = keys_.path();
  std::ostringstream config;
  config << "Port " << port_ << "\nListenAddress 127.0.0.1\n"
         << "HostKey " << (keys / "host_ed25519").string() << "\nPidFile none\n"
         << "AuthorizedKeysFile " << (keys / "authorized_keys").string() << "\n"
         << "StrictModes no\nUsePAM no\nPasswordAuthentication yes\n"
         << "KbdInteractiveAuthentication no\nPubkeyAuthentication yes\nUseDNS no\n"
         << "PermitRootLogin yes\nAllowUsers " << user() << "\nLogLevel DEBUG1\n"
         << "MaxStartups 100\nSubsystem sftp internal-sftp\n"
         << "ForceCommand " << sessionCommand() << "\n";
  writeFile(keys / "sshd_config", config.str());
}

void TestSshServer::spawn() {
  std::vector<std::string> args = {kSshd, "-D", "-e", "-f",
                                   (keys_.path() / "sshd_config").string()};
  const auto logPath = keys_.path() / "sshd.log";
  std::filesystem::remove(logPath);
  const pid_t pid = startServer(kSshd, std::move(args), {.log = logPath, .output = -1});
  pid_ = pid;
}

bool TestSshServer::waitUntilListening() {
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (log().find("Server listening on") != std::string::npos) return true;
    if (waitForExit(pid_, std::chrono::milliseconds(50)).has_value()) break;
  }
  kill(pid_, SIGKILL);
  waitForExit(pid_, kStopLimit);
  pid_ = -1;
  return false;
}

std::string TestSshServer::log() const {
  std::ostringstream text;
  for (const char* name : {"sshd.log", "sftp.log"}) {
    std::ifstream in(keys_.path() / name, std::ios::binary);
    if (in) text << in.rdbuf();
  }
  return text.str();
}

void TestSshServer::dropSessions() { signalSessions(SIGKILL); }

void TestSshServer::stallSessions(bool stalled) { signalSessions(stalled ? SIGSTOP : SIGCONT); }

// Signals every descendant of the listener: the processes serving the connections.
void TestSshServer::signalSessions(int signal) {
  // The whole tree first: a child of a process killed already would be handed to init, out of
  // sight, and go on serving its connection.
  std::vector<pid_t> tree = {pid_};
  for (std::size_t next = 0; next < tree.size() && pid_ > 0; ++next) {
    const auto path =
        "/proc/" + std::to_string(tree[next]) + "/task/" + std::to_string(tree[next]) + "/children";
    std::ifstream in(path);
    for (pid_t child = 0; in >> child;) tree.push_back(child);
  }
  for (std::size_t i = 1; i < tree.size(); ++i) kill(tree[i], signal);
}

}  // namespace skyhaul::test

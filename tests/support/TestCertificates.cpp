#include "support/TestCertificates.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/ChildExit.h"
#include "support/TempDir.h"

extern char** environ;

namespace skyhaul::test {
namespace {

constexpr auto kOpensslLimit = std::chrono::seconds(30);
constexpr auto kValidBefore = std::chrono::hours(24);
constexpr auto kValidFor = std::chrono::hours(24 * 30);

// One certificate: its file names, subject, the extensions section of kConfig, and whether it
// signs itself (the CA and self.pem) or is signed by the CA.
struct Certificate {
  const char* name;
  const char* subject;
  const char* extensions;
  bool selfSigned;
};

constexpr Certificate kCertificates[] = {
    {"ca", "/CN=Skyhaul test CA", "ca_ext", true},
    {"server", "/CN=localhost", "server_ext", false},
    {"wrong", "/CN=wrong.example", "wrong_ext", false},
    {"self", "/CN=localhost", "self_ext", true},
};

// `openssl ca` keeps a database, a serial number file and a copy of each certificate.
constexpr const char* kConfig = R"([ca]
default_ca = test_ca
[test_ca]
database = @/index.txt
serial = @/serial
new_certs_dir = @
default_md = sha256
policy = any_name
unique_subject = no
[any_name]
commonName = supplied
[req]
distinguished_name = dn
[dn]
[ca_ext]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[server_ext]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = IP:127.0.0.1,IP:::1,DNS:localhost
[wrong_ext]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = DNS:wrong.example
[self_ext]
basicConstraints = critical,CA:TRUE
keyUsage = critical,digitalSignature,keyCertSign
extendedKeyUsage = serverAuth
subjectAltName = IP:127.0.0.1,DNS:localhost
)";

// A time as `openssl ca -startdate` takes it: YYYYMMDDHHMMSSZ, UTC.
std::string opensslTime(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d%H%M%SZ", &parts);
  return text;
}

// Waits for `pid` until `limit`; kills it then. The exit status, or -1 when it was killed.
int waitBounded(pid_t pid, std::chrono::seconds limit) {
  if (const auto code = waitForExit(pid, limit)) return *code;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

// Runs openssl with `args`, its output appended to `log`; throws with that output on failure.
void runOpenssl(const std::filesystem::path& log, std::vector<std::string> args) {
  args.insert(args.begin(), "openssl");
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  std::string command;
  for (const auto& arg : args) command += arg + " ";
  if (error != 0) throw std::runtime_error("cannot start " + command + "(is openssl installed?)");
  if (waitBounded(pid, kOpensslLimit) != 0) {
    throw std::runtime_error("test certificates: " + command + "failed (or ran over 30 s):\n" +
                             readFile(log));
  }
}

// Key, request and certificate for one entry of kCertificates, in `folder`.
void makeCertificate(const std::filesystem::path& folder, const Certificate& certificate) {
  const std::string base = (folder / certificate.name).string();
  const std::string config = (folder / "ca.cnf").string();
  const auto log = folder / "openssl.log";
  runOpenssl(log, {"genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256", "-out",
                   base + ".key"});
  runOpenssl(log, {"req", "-new", "-config", config, "-key", base + ".key", "-subj",
                   certificate.subject, "-out", base + ".csr"});
  const auto from = std::chrono::system_clock::now() - kValidBefore;
  std::vector<std::string> sign = {"ca", "-batch", "-notext", "-config", config};
  sign.insert(sign.end(), {"-extensions", certificate.extensions, "-in", base + ".csr"});
  sign.insert(sign.end(), {"-startdate", opensslTime(from), "-enddate",
                           opensslTime(from + kValidFor), "-out", base + ".pem"});
  if (certificate.selfSigned) {
    sign.insert(sign.end(), {"-selfsign", "-keyfile", base + ".key"});
  } else {
    const std::string ca = (folder / "ca").string();
    sign.insert(sign.end(), {"-cert", ca + ".pem", "-keyfile", ca + ".key"});
  }
  runOpenssl(log, sign);
}

// The folder with all certificates; it goes when the test program ends.
struct CertificateFolder {
  CertificateFolder() {
    std::string config = kConfig;
    const std::string path = folder.path().string();
    for (auto at = config.find('@'); at != std::string::npos; at = config.find('@', at)) {
      config.replace(at, 1, path);
      at += path.size();
    }
    writeFile(folder.path() / "ca.cnf", config);
    writeFile(folder.path() / "index.txt", "");
    writeFile(folder.path() / "serial", "01\n");
    for (const auto& certificate : kCertificates) makeCertificate(folder.path(), certificate);
    const auto& dir = folder.path();
    paths = {dir / "ca.pem",    dir / "server.pem", dir / "server.key", dir / "wrong.pem",
             dir / "wrong.key", dir / "self.pem",   dir / "self.key"};
  }

  TempDir folder;
  TestCertificates paths;
};

}  // namespace

const TestCertificates& testCertificates() {
  static const CertificateFolder made;
  return made.paths;
}

}  // namespace skyhaul::test

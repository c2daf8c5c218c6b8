#include "support/TestFtpServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <stdexcept>

#include "support/ChildExit.h"
#include "support/TestCertificates.h"

namespace skyhaul::test {
namespace {

constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr auto kStopLimit = std::chrono::seconds(5);
// Debian's interpreter has pyftpdlib; the python3 on PATH may not.
constexpr const char* kPython = "/usr/bin/python3";

// The server's options for FTPS: mode, certificate and key, version bounds.
std::vector<std::string> tlsArguments(const FtpServerOptions& options) {
  if (options.tls == FtpTls::None) return {};
  std::vector<std::string> args = {"--tls",
                                   options.tls == FtpTls::Explicit ? "explicit" : "implicit"};
  auto cert = options.tlsCert;
  auto key = options.tlsKey;
  if (cert.empty()) {
    cert = testCertificates().serverCert;
    key = testCertificates().serverKey;
  }
  args.insert(args.end(), {"--tls-cert", cert.string()});
  if (!key.empty()) args.insert(args.end(), {"--tls-key", key.string()});
  if (!options.tlsMin.empty()) args.insert(args.end(), {"--tls-min", options.tlsMin});
  if (!options.tlsMax.empty()) args.insert(args.end(), {"--tls-max", options.tlsMax});
  return args;
}

}  // namespace

TestFtpServer::TestFtpServer(FtpServerOptions options)
    : options_(std::move(options)),
      control_(work_.path() / "faults"),
      record_(work_.path() / "commands") {
  port_ = options_.port;
  setFaults(options_.faults);
  start();
}

TestFtpServer::~TestFtpServer() { stop(); }

std::string TestFtpServer::address() const {
  return (options_.ipv6 ? "[::1]:" : "127.0.0.1:") + std::to_string(port_);
}

void TestFtpServer::setFaults(const std::vector<std::string>& faults) {
  std::string text;
  for (const auto& fault : faults) text += fault + "\n";
  // Written aside and renamed, so the server never reads half a file.
  const auto next = work_.path() / "faults.next";
  writeFile(next, text);
  std::filesystem::rename(next, control_);
}

void TestFtpServer::start() {
  if (pid_ > 0) return;
  spawn();
}

void TestFtpServer::stop() {
  if (pid_ <= 0) return;
  stopServer(pid_, kStopLimit);
  pid_ = -1;
}

std::vector<std::string> TestFtpServer::commands() const {
  std::vector<std::string> lines;
  std::ifstream in(record_, std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> TestFtpServer::commandsOf(int connection) const {
  const std::string prefix = std::to_string(connection) + " ";
  std::vector<std::string> lines;
  for (const auto& line : commands()) {
    if (line.rfind(prefix, 0) == 0) lines.push_back(line.substr(prefix.size()));
  }
  return lines;
}

void TestFtpServer::clearCommands() {
  // The server appends: its next line lands at the start of the emptied file.
  std::error_code ignored;
  std::filesystem::resize_file(record_, 0, ignored);
}

void TestFtpServer::spawn() {
  std::vector<std::string> args = {kPython,
                                   "-I",
                                   SKYHAUL_TEST_SERVER,
                                   "--root",
                                   root_.path().string(),
                                   "--port",
                                   std::to_string(port_),
                                   "--control",
                                   control_.string(),
                                   "--record",
                                   record_.string()};
  if (options_.ipv6) args.emplace_back("--ipv6");
  if (!options_.password.empty()) args.insert(args.end(), {"--password", options_.password});
  const auto tls = tlsArguments(options_);
  args.insert(args.end(), tls.begin(), tls.end());
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  const pid_t pid = startServer(kPython, std::move(args), {.log = {}, .output = fds[1]});
  close(fds[1]);
  pid_ = pid;
  const bool ready = readReady(fds[0]);
  close(fds[0]);
  if (!ready) {
    stop();
    throw std::runtime_error("the test FTP server did not start: " +
                             std::string(SKYHAUL_TEST_SERVER));
  }
}

// Reads "READY <port>" from the server's standard output, bounded by kStartLimit.
bool TestFtpServer::readReady(int fd) {
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  std::string text;
  while (text.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd entry{fd, POLLIN, 0};
    const int polled = poll(&entry, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) return false;
    char buffer[256];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  const std::string prefix = "READY ";
  if (text.rfind(prefix, 0) != 0) return false;
  port_ = std::stoi(text.substr(prefix.size()));
  return port_ > 0;
}

}  // namespace skyhaul::test

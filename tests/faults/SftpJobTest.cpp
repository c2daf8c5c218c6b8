// The whole job over SFTP against OpenSSH's sshd on loopback: the same command line, queue,
// log, deletes and exit statuses as over FTP; host keys checked, never trusted on first use.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "faults/Expectations.h"
#include "support/ProgramFolder.h"
#include "support/TempDir.h"
#include "support/TestSshServer.h"

namespace skyhaul::test {
namespace {

namespace fs = std::filesystem;

// The section "job" against `server`, `remote` its folder; `login` is "kljuc=..." or "geslo=...".
std::string jobSettings(const TestSshServer& server, const fs::path& remote, const TempDir& local,
                        const std::string& login, const fs::path& knownHosts) {
  return "[PROGRAM]\nIZBRANO=job\n[job]\nFTPURL=sftp://127.0.0.1:" + std::to_string(server.port()) +
         "\nftpdir=" + remote.string() + "/\nlocaldir=" + local.prefix() +
         "\nuporabnik=" + server.user() + "\n" + login +
         "\nznanigostitelji=" + knownHosts.string() + "\nstarost=0\n";
}

RunOutcome runJob(ProgramFolder& program, const TempDir& work, const std::string& command) {
  RunOptions options;
  options.arguments = {command};
  options.workingDirectory = work.path();
  options.environment = {"SKYHAUL_VERBOSE=1"};
  return program.run(options);
}

class SftpJob : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<TestSshServer>(); }
  static void TearDownTestSuite() { server_.reset(); }

  SftpJob() {
    fs::create_directories(remote_);
    if (::geteuid() == 0) fs::permissions(remote_, fs::perms::all);
  }
  ~SftpJob() override { fs::remove_all(remote_); }

  // The section "job" against the test sshd; `login` is "kljuc=..." or "geslo=...".
  void writeSettings(const std::string& login, const fs::path& knownHosts) {
    program_.writeIni(jobSettings(*server_, remote_, local_, login, knownHosts));
  }
  std::string keyLogin() const { return "kljuc=" + server_->clientKey().string(); }

  void putRemote(const std::string& name, const std::string& bytes) {
    writeFile(remote_ / name, bytes);
    if (::geteuid() == 0) fs::permissions(remote_ / name, fs::perms(0666));
  }

  // How many logins sshd has been asked for so far.
  static std::size_t logins() {
    const std::string log = server_->log();
    std::size_t count = 0;
    for (auto at = log.find("userauth-request"); at != std::string::npos;
         at = log.find("userauth-request", at + 1)) {
      ++count;
    }
    return count;
  }

  RunOutcome run(const std::string& command) { return runJob(program_, work_, command); }

  static inline std::unique_ptr<TestSshServer> server_;
  fs::path remote_ = server_->root() / ("in" + std::to_string(::getpid()));
  ProgramFolder program_;
  TempDir local_;
  TempDir work_;
};

TEST_F(SftpJob, FilesGoBothWaysAndTheirSourcesAfterThem) {
  writeSettings(keyLogin(), server_->knownHosts());
  writeFile(local_.path() / "a,b.csv", patternBytes(70000, 1));
  putRemote("c d.dat", patternBytes(30000, 2));
  EXPECT_EQ(run("*.csv,UP,DEL").exitStatus, kCompleted);
  const RunOutcome down = run("*.dat,DOWN,DEL");
  EXPECT_EQ(down.exitStatus, kCompleted) << down.errors;
  EXPECT_TRUE(readFile(remote_ / "a,b.csv") == patternBytes(70000, 1));
  EXPECT_TRUE(readFile(local_.path() / "c d.dat") == patternBytes(30000, 2));
  EXPECT_FALSE(fs::exists(local_.path() / "a,b.csv"));
  EXPECT_FALSE(fs::exists(remote_ / "c d.dat"));
  const auto log = readFile(work_.path() / "SKYHAUL.log");
  EXPECT_NE(log.find(local_.prefix() + "a,b.csv----->" + remote_.string() + "/a,b.csv"),
            std::string::npos)
      << log;
}

// Nothing is sent to a server whose host key is unknown or changed, nor after a refused
// password: the start fails with exit 4 and says what to check.
TEST_F(SftpJob, AnUnknownOrChangedHostKeyOrAWrongPasswordEndsTheStart) {
  TempDir keys;
  writeFile(keys.path() / "empty", "");
  struct Row {
    const char* name;
    std::string login;
    fs::path knownHosts;
    const char* mark;
  };
  std::vector<Row> rows = {
      {"Unknown", keyLogin(), keys.path() / "empty", "ssh-keyscan"},
      {"Changed", keyLogin(), server_->otherKeyKnownHosts(), "SHA256:"},
  };
  if (server_->passwordLogins()) {
    rows.push_back({"WrongPassword", "geslo=narobe", server_->knownHosts(), "12322"});
  }
  writeFile(local_.path() / "s.csv", "stays");
  for (const auto& row : rows) {
    writeSettings(row.login, row.knownHosts);
    const auto asked = logins();
    const RunOutcome outcome = run("s.csv,UP,DEL");
    if (row.login != "geslo=narobe") {
      EXPECT_EQ(logins(), asked) << row.name << ": a key that did not check out led to a login";
    }
    EXPECT_EQ(outcome.exitStatus, kConnectionFailed) << row.name << outcome.errors;
    EXPECT_NE(outcome.errors.find(row.mark), std::string::npos) << row.name << outcome.errors;
    EXPECT_EQ(readFile(local_.path() / "s.csv"), "stays") << row.name;
    EXPECT_FALSE(fs::exists(remote_ / "s.csv")) << row.name;
  }
}

// The first session's server output ends part-way through the file (its channel closes, as
// when the link drops); the next attempt asks only for the rest, and the whole file arrives.
TEST(SftpJobResume, ADownloadCutMidFileIsTakenUpOnTheNextAttempt) {
  constexpr std::size_t kSize = 3 * 1024 * 1024;
  constexpr std::size_t kCut = 1024 * 1024;
  TestSshServer server(kCut);
  const fs::path remote = server.root() / "in";
  fs::create_directories(remote);
  if (::geteuid() == 0) fs::permissions(remote, fs::perms::all);
  writeFile(remote / "cut.bin", patternBytes(kSize, 5));
  if (::geteuid() == 0) fs::permissions(remote / "cut.bin", fs::perms(0666));
  ProgramFolder program;
  TempDir local;
  TempDir work;
  program.writeIni(jobSettings(server, remote, local, "kljuc=" + server.clientKey().string(),
                               server.knownHosts()));
  const RunOutcome outcome = runJob(program, work, "cut.bin,DOWN,DEL");
  EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
  EXPECT_TRUE(fs::exists(server.root() / ".cut"));  // the first session was the cut one
  EXPECT_TRUE(readFile(local.path() / "cut.bin") == patternBytes(kSize, 5));
  EXPECT_FALSE(fs::exists(remote / "cut.bin"));
  EXPECT_TRUE(holdsStatus(outcome, "cut.bin", "nadaljevano od bajta")) << outcome.errors;
}

}  // namespace
}  // namespace skyhaul::test

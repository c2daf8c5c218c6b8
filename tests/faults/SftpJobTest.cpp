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
    program_.writeIni("[PROGRAM]\nIZBRANO=job\n[job]\nFTPURL=sftp://127.0.0.1:" +
                      std::to_string(server_->port()) + "\nftpdir=" + remote_.string() +
                      "/\nlocaldir=" + local_.prefix() + "\nuporabnik=" + server_->user() + "\n" +
                      login + "\nznanigostitelji=" + knownHosts.string() + "\n");
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

  RunOutcome run(const std::string& command) {
    RunOptions options;
    options.arguments = {command};
    options.workingDirectory = work_.path();
    options.environment = {"SKYHAUL_VERBOSE=1"};
    return program_.run(options);
  }

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

}  // namespace
}  // namespace skyhaul::test

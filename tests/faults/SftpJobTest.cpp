// The whole job over SFTP against OpenSSH's sshd on loopback: the same command line, queue,
// log, deletes and exit statuses as over FTP; host keys checked, never trusted on first use.
#include <gtest/gtest.h>
#include <sys/stat.h>
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

  // How often `needle` stands in what the server logged so far.
  static std::size_t loggedTimes(const std::string& needle) {
    const std::string log = server_->log();
    std::size_t times = 0;
    for (auto at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1)) {
      ++times;
    }
    return times;
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

// On a distant server every request is a round trip: each file of a job costs one STAT (its
// size and time, or the size it was stored with), and the root is asked for once at most.
TEST_F(SftpJob, EachFileIsAskedAboutOnce) {
  writeSettings(keyLogin(), server_->knownHosts());
  const std::vector<std::string> names = {"f1.bin", "f2.bin", "f3.bin"};
  for (std::size_t i = 0; i < names.size(); ++i) {
    writeFile(local_.path() / names[i], patternBytes(40000 + i, static_cast<int>(i)));
  }
  for (const std::string direction : {"UP", "DOWN"}) {
    if (direction == "DOWN") {
      for (const auto& name : names) fs::remove(local_.path() / name);
    }
    std::vector<std::string> needles = {"stat name \"/\""};
    for (const auto& name : names) needles.push_back("stat name \"" + (remote_ / name).string());
    std::vector<std::size_t> before;
    for (const auto& needle : needles) before.push_back(loggedTimes(needle));
    const RunOutcome outcome = run("*.bin," + direction);
    ASSERT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
    for (std::size_t i = 0; i < needles.size(); ++i) {
      const std::size_t times = loggedTimes(needles[i]) - before[i];
      if (i == 0) {
        EXPECT_LE(times, 1U) << direction << ": " << needles[i];
      } else {
        EXPECT_EQ(times, 1U) << direction << ": " << needles[i];
      }
    }
  }
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
  // A revoked key is refused though a plain line names it; a CA line cannot vouch for it.
  const std::string known = readFile(server_->knownHosts());
  writeFile(keys.path() / "revoked", "@revoked " + known + known);
  writeFile(keys.path() / "ca", "@cert-authority " + readFile(server_->otherKeyKnownHosts()));
  std::vector<Row> rows = {
      {"Unknown", keyLogin(), keys.path() / "empty", "ssh-keyscan"},
      {"Changed", keyLogin(), server_->otherKeyKnownHosts(), "SHA256:"},
      {"Revoked", keyLogin(), keys.path() / "revoked", "preklican (@revoked)"},
      {"CertAuthority", keyLogin(), keys.path() / "ca",
       "(host certificates) pa program ne podpira"},
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

// A key file that will not do ends the start (exit 4) before anything is sent, saying which
// file and why; a link to a good key is a good key.
TEST_F(SftpJob, AKeyFileThatWillNotDoEndsTheStartSayingWhy) {
  TempDir keys;
  const auto copy = [&](const fs::path& from, const std::string& name, fs::perms mode) {
    fs::copy_file(from, keys.path() / name);
    fs::permissions(keys.path() / name, mode);
    return keys.path() / name;
  };
  const auto owner = fs::perms::owner_read | fs::perms::owner_write;
  const fs::path good = copy(server_->clientKey(), "good", owner);
  fs::create_symlink(good, keys.path() / "link");
  const fs::path fifo = keys.path() / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Row {
    const char* name;
    fs::path key;
    std::string passphrase;
    int exitStatus;
    std::string mark;
  };
  const std::vector<Row> rows = {
      {"Good", good, "", kCompleted, ""},
      {"ALinkToIt", keys.path() / "link", "", kCompleted, ""},
      {"Missing", keys.path() / "none", "", kConnectionFailed,
       "datoteke " + keys.prefix() + "none ni"},
      {"Unreadable", copy(server_->clientKey(), "closed", fs::perms::none), "", kConnectionFailed,
       "ta uporabnik ne sme brati"},
      {"OthersMayRead",
       copy(server_->clientKey(), "open", owner | fs::perms::group_read | fs::perms::others_read),
       "", kConnectionFailed, "chmod 600 " + keys.prefix() + "open"},
      {"AFifo", fifo, "", kConnectionFailed, keys.prefix() + "fifo ni navadna datoteka"},
      {"ThePublicKey", copy(server_->clientKey().string() + ".pub", "key.pub", owner), "",
       kConnectionFailed, "je javni ključ, ne zasebni"},
      {"LockedWithoutPassphrase", copy(server_->lockedClientKey(), "locked", owner), "",
       kConnectionFailed, "je zaklenjen z geslom, geslo pa je prazno"},
      {"WrongPassphrase", keys.path() / "locked", "narobe", kConnectionFailed,
       "geslo ne odklene ključa v " + keys.prefix() + "locked"},
      {"RightPassphrase", keys.path() / "locked", TestSshServer::kKeyPassphrase, kCompleted, ""},
  };
  // Each row is a job of its own, all running at once (nearly all their time is the program's
  // fixed waits).
  struct Run {
    ProgramFolder program;
    TempDir work;
    std::unique_ptr<SkyhaulProcess> process;
  };
  std::vector<std::unique_ptr<Run>> runs;
  for (const auto& row : rows) {
    auto& run = *runs.emplace_back(std::make_unique<Run>());
    writeFile(local_.path() / (std::string(row.name) + ".csv"), row.name);
    run.program.writeIni(jobSettings(*server_, remote_, local_,
                                     "kljuc=" + row.key.string() + "\ngeslo=" + row.passphrase,
                                     server_->knownHosts()));
    RunOptions options;
    // Named on the command line, the section stands as written (an empty geslo stays empty).
    options.arguments = {"job," + std::string(row.name) + ".csv,UP"};
    options.workingDirectory = run.work.path();
    options.environment = {"SKYHAUL_VERBOSE=1"};
    // Root reads every file: the modes count only without that privilege.
    options.obeyFileModes = true;
    run.process = run.program.start(options);
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.name);
    const RunOutcome outcome = runs[i]->process->finish();
    EXPECT_EQ(outcome.exitStatus, row.exitStatus) << outcome.errors;
    EXPECT_FALSE(outcome.hung);
    EXPECT_NE(outcome.errors.find(row.mark), std::string::npos) << outcome.errors;
    EXPECT_EQ(fs::exists(remote_ / (std::string(row.name) + ".csv")), row.exitStatus == kCompleted);
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

// Against the tests' own SFTP server behind sshd, which lies where told to.
class SftpJobLies : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<TestSshServer>(TestSshServer::FakeSftp{});
  }
  static void TearDownTestSuite() { server_.reset(); }

  RunOutcome run(const fs::path& remote, const std::string& login, const std::string& command) {
    program_.writeIni(jobSettings(*server_, remote, local_, login, server_->knownHosts()));
    return runJob(program_, work_, command);
  }

  static inline std::unique_ptr<TestSshServer> server_;
  ProgramFolder program_;
  TempDir local_;
  TempDir work_;
};

// A listed name that holds "/" or is empty is no name of that folder: it is left out with its
// status line, never cut to a part of it and fetched.
TEST_F(SftpJobLies, AListedNameHoldingASlashIsLeftOutNotCut) {
  const fs::path remote = server_->root() / "slashes";
  fs::create_directories(remote);
  writeFile(remote / "ok.csv", "fine");
  writeFile(remote / "passwd", "not this one");
  server_->setLies("extra-names /etc/passwd|sub/x.csv|\n");
  const RunOutcome outcome = run(remote, "kljuc=" + server_->clientKey().string(), "*,DOWN");
  EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
  EXPECT_EQ(readFile(local_.path() / "ok.csv"), "fine");
  EXPECT_EQ(readFile(local_.path() / "passwd"), "not this one");  // its own, listed as itself
  EXPECT_FALSE(fs::exists(local_.path() / "x.csv"));
  const char* leftOut = "izpuščena: takega imena lokalna datoteka ne more imeti";
  EXPECT_TRUE(holdsStatus(outcome, "/etc/passwd", leftOut)) << outcome.errors;
  EXPECT_TRUE(holdsStatus(outcome, "sub/x.csv", leftOut)) << outcome.errors;
}

// A server that quotes the passphrase back in its refusals: the text shown and logged masks it.
TEST_F(SftpJobLies, APasswordTheServerQuotesIsMasked) {
  const std::string secret = TestSshServer::kKeyPassphrase;
  server_->setLies("quote " + secret + "\n");
  writeFile(local_.path() / "q.csv", "q");
  const RunOutcome failed =
      run(server_->root() / "missing",
          "kljuc=" + server_->lockedClientKey().string() + "\ngeslo=" + secret, "q.csv,UP");
  EXPECT_EQ(failed.exitStatus, kFileFailed) << failed.errors;
  const std::string log = readFile(work_.path() / "SKYHAUL.log");
  for (const std::string& text : {failed.errors, failed.output, log}) {
    EXPECT_EQ(text.find(secret), std::string::npos) << text;
  }
  EXPECT_NE(log.find("****"), std::string::npos) << log;
}

}  // namespace
}  // namespace skyhaul::test

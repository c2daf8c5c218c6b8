// The SFTP session against OpenSSH's real sshd on loopback (tests/support/TestSshServer).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/inet/TestSession.h"
#include "platform/inet/sftp/SftpConnection.h"
#include "platform/inet/sftp/SftpSession.h"
#include "support/TempDir.h"
#include "support/TestSshServer.h"

namespace skyhaul::inet {
namespace {

namespace fs = std::filesystem;
using test::TestSshServer;

Timeouts sftpTimeouts() {
  using std::chrono::milliseconds;
  return Timeouts{milliseconds(5000), milliseconds(2000), milliseconds(2000)};
}

class SftpTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<TestSshServer>(); }
  static void TearDownTestSuite() { server_.reset(); }

  // Logs in with the client key against the plain known_hosts file.
  static SftpLogin keyLogin() {
    SftpLogin login;
    login.host = "127.0.0.1";
    login.port = server_->port();
    login.user = server_->user();
    login.privateKeyFile = server_->clientKey().string();
    login.knownHostsFile = server_->knownHosts().string();
    login.timeouts = sftpTimeouts();
    return login;
  }

  static std::unique_ptr<SftpSession> connect(const SftpLogin& login = keyLogin()) {
    std::unique_ptr<SftpSession> session;
    EXPECT_TRUE(succeeded(SftpSession::connect(login, session)));
    return session;
  }

  // Why a login is refused; no session comes of it.
  static Status refusal(const SftpLogin& login) {
    std::unique_ptr<SftpSession> session;
    Status refused = SftpSession::connect(login, session);
    EXPECT_EQ(session, nullptr);
    return refused;
  }

  // A file in the served folder, owned by the account as if it had stored it.
  static fs::path put(const std::string& name, const std::string& bytes) {
    const auto path = server_->root() / name;
    test::writeFile(path, bytes);
    if (geteuid() == 0) fs::permissions(path, fs::perms(0666));
    return path;
  }

  static inline std::unique_ptr<TestSshServer> server_;
};

// A file opened to write, from `resumeAt` on where given; null (a failed test) otherwise.
std::unique_ptr<SftpFile> openWrite(SftpSession& session, const std::string& remote,
                                    std::optional<std::int64_t> resumeAt = std::nullopt) {
  std::unique_ptr<SftpFile> file;
  EXPECT_TRUE(succeeded(session.openWrite(remote, resumeAt, file)));
  return file;
}

Status upload(SftpSession& session, const std::string& remote, const std::string& bytes) {
  std::unique_ptr<SftpFile> file;
  if (Status opened = session.openWrite(remote, std::nullopt, file); !opened) return opened;
  for (std::size_t done = 0; done < bytes.size(); done += 255) {
    Status written =
        file->write(bytes.data() + done, std::min<std::size_t>(255, bytes.size() - done));
    if (!written) return written;
  }
  return file->close();
}

Status download(SftpSession& session, const std::string& remote, std::string& bytes,
                std::int64_t offset = 0) {
  std::unique_ptr<SftpFile> file;
  if (Status opened = session.openRead(remote, offset, file); !opened) return opened;
  bytes.clear();
  char buffer[255];
  for (std::size_t got = 1; got != 0;) {
    if (Status read = file->read(buffer, sizeof buffer, got); !read) return read;
    bytes.append(buffer, got);
  }
  return file->close();
}

// Waits (bounded) until sshd logged the end of a connection, so its log is complete.
bool connectionEnded(const TestSshServer& server, std::size_t ends) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string log = server.log();
    std::size_t count = 0;
    for (auto at = log.find("Connection closed by"); at != std::string::npos;
         at = log.find("Connection closed by", at + 1)) {
      ++count;
    }
    if (count >= ends) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t found = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++found;
  return found;
}

TEST_F(SftpTest, BytesGoBothWaysUnchanged) {
  auto session = connect();
  ASSERT_NE(session, nullptr);
  for (const std::size_t size : {0UL, 1UL, 255UL, 1024UL * 1024 + 1}) {
    SCOPED_TRACE(size);
    const std::string bytes = test::patternBytes(size, static_cast<unsigned>(size));
    const std::string name = test::numberedName("up", static_cast<long>(size), ".bin");
    ASSERT_TRUE(succeeded(upload(*session, name, bytes)));
    EXPECT_EQ(test::readFile(server_->root() / name), bytes);
    std::string back;
    ASSERT_TRUE(succeeded(download(*session, name, back)));
    EXPECT_EQ(back, bytes);
    SftpStat info;
    ASSERT_TRUE(session->stat(name, info));
    EXPECT_EQ(info.size, static_cast<std::int64_t>(size));
    EXPECT_FALSE(info.isDirectory);
  }
}

// Far more blocks than are in flight at once, in pieces that straddle the blocks.
TEST_F(SftpTest, AMultiMegabyteUploadArrivesWhole) {
  const std::string bytes = test::patternBytes(9 * 1024 * 1024 + 13, 11);
  auto session = connect();
  ASSERT_NE(session, nullptr);
  auto file = openWrite(*session, "big.bin");
  ASSERT_NE(file, nullptr);
  constexpr std::size_t kPiece = 1000003;
  for (std::size_t done = 0; done < bytes.size(); done += kPiece) {
    ASSERT_TRUE(succeeded(file->write(bytes.data() + done, std::min(kPiece, bytes.size() - done))));
  }
  ASSERT_TRUE(succeeded(file->close()));
  EXPECT_TRUE(test::readFile(server_->root() / "big.bin") == bytes);
}

// Writes go out unconfirmed: a server gone part-way must still fail the upload, at the latest
// when it is closed.
TEST_F(SftpTest, AServerGoneMidUploadFailsIt) {
  auto session = connect();
  ASSERT_NE(session, nullptr);
  auto file = openWrite(*session, "gone.bin");
  ASSERT_NE(file, nullptr);
  const std::string block = test::patternBytes(1024 * 1024, 12);
  ASSERT_TRUE(file->write(block.data(), block.size()));
  server_->dropSessions();
  bool writeFailed = false;
  for (int i = 0; i < 64 && !writeFailed; ++i)
    writeFailed = !file->write(block.data(), block.size());
  const Status closed = file->close();
  EXPECT_EQ(closed.code(), ErrorCode::InternetConnectionAborted) << closed;
}

TEST_F(SftpTest, ReadingResumesAtAnOffset) {
  const std::string bytes = test::patternBytes(100000, 7);
  put("resume.bin", bytes);
  auto session = connect();
  ASSERT_NE(session, nullptr);
  for (const std::int64_t offset : {0L, 1L, 32768L, 99999L, 100000L}) {
    SCOPED_TRACE(offset);
    std::string tail;
    ASSERT_TRUE(download(*session, "resume.bin", tail, offset));
    EXPECT_EQ(tail, bytes.substr(static_cast<std::size_t>(offset)));
  }
}

TEST_F(SftpTest, WritingResumesAtAnOffset) {
  const std::string bytes = test::patternBytes(70000, 8);
  put("partial.bin", bytes.substr(0, 40000));
  auto session = connect();
  ASSERT_NE(session, nullptr);
  auto file = openWrite(*session, "partial.bin", 40000);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->write(bytes.data() + 40000, 30000));
  ASSERT_TRUE(succeeded(file->close()));
  EXPECT_EQ(test::readFile(server_->root() / "partial.bin"), bytes);
}

TEST_F(SftpTest, ListingGivesNamesExactlyAndFollowsLinks) {
  const fs::path folder = server_->root() / "names";
  fs::create_directory(folder);
  const std::vector<std::string> files = {"a,b.txt", "with blank.txt", "\xFF.bin", ";x'\".csv"};
  for (std::size_t i = 0; i < files.size(); ++i) {
    test::writeFile(folder / files[i], std::string(i + 1, 'x'));
  }
  fs::create_directory(folder / "sub");
  fs::create_symlink("a,b.txt", folder / "to-file");
  fs::create_symlink("sub", folder / "to-folder");
  fs::create_symlink("nowhere", folder / "dangling");
  auto session = connect();
  ASSERT_NE(session, nullptr);
  std::vector<FindData> entries;
  ASSERT_TRUE(succeeded(session->list("names", entries)));
  std::vector<std::string> names;
  for (const auto& entry : entries) names.push_back(entry.fileName);
  std::vector<std::string> expected = files;
  expected.insert(expected.end(), {"sub", "to-file", "to-folder", "dangling"});
  std::sort(names.begin(), names.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
  const auto find = [&](const std::string& name) {
    return *std::find_if(entries.begin(), entries.end(),
                         [&](const FindData& entry) { return entry.fileName == name; });
  };
  EXPECT_EQ(find("with blank.txt").fileSize, 2);
  EXPECT_TRUE(find("sub").isDirectory);
  EXPECT_FALSE(find("to-file").isDirectory);
  EXPECT_FALSE(find("to-file").isLink);
  EXPECT_EQ(find("to-file").fileSize, 1);
  EXPECT_TRUE(find("to-folder").isDirectory);
  EXPECT_TRUE(find("dangling").isLink);
}

TEST_F(SftpTest, CurrentFolderIsKeptByTheClient) {
  fs::create_directory(server_->root() / "kept");
  put("kept/in.txt", "inside");
  auto session = connect();
  ASSERT_NE(session, nullptr);
  ASSERT_TRUE(session->setCurrentFolder(server_->root().string()));
  ASSERT_TRUE(session->setCurrentFolder("kept"));
  EXPECT_EQ(session->currentFolder(), (server_->root() / "kept").string());
  std::string bytes;
  ASSERT_TRUE(download(*session, "in.txt", bytes));
  EXPECT_EQ(bytes, "inside");
  EXPECT_FALSE(session->setCurrentFolder("in.txt"));
  EXPECT_EQ(session->setCurrentFolder("missing").code(), ErrorCode::SftpNoSuchFile);
  EXPECT_EQ(session->currentFolder(), (server_->root() / "kept").string());
}

// OpenSSH's sftp-server refuses a plain rename over an existing file; its posix-rename
// replaces the file in one step, so the target is never missing (its log shows which it got).
TEST_F(SftpTest, RenameReplacesAnExistingFileInOneStep) {
  put("new.txt", "new");
  put("old.txt", "old");
  auto session = connect();
  ASSERT_NE(session, nullptr);
  EXPECT_TRUE(session->offersPosixRename());
  ASSERT_TRUE(succeeded(session->rename("new.txt", "old.txt")));
  EXPECT_EQ(test::readFile(server_->root() / "old.txt"), "new");
  EXPECT_FALSE(fs::exists(server_->root() / "new.txt"));
  const std::string log = server_->log();
  EXPECT_NE(log.find("posix-rename old \"new.txt\" new \"old.txt\""), std::string::npos) << log;
  EXPECT_EQ(log.find("remove name \"old.txt\""), std::string::npos) << log;
}

TEST_F(SftpTest, FilesAndFoldersAreMadeAndRemoved) {
  auto session = connect();
  ASSERT_NE(session, nullptr);
  ASSERT_TRUE(session->createDirectory("made"));
  EXPECT_TRUE(fs::is_directory(server_->root() / "made"));
  EXPECT_FALSE(session->createDirectory("made"));
  ASSERT_TRUE(upload(*session, "made/f.txt", "f"));
  EXPECT_FALSE(session->removeDirectory("made"));  // not empty
  ASSERT_TRUE(session->remove("made/f.txt"));
  ASSERT_TRUE(session->removeDirectory("made"));
  EXPECT_FALSE(fs::exists(server_->root() / "made"));
}

// A refusal names the server's status; the server's message is the detail.
TEST_F(SftpTest, AMissingFileIsTheServersNoSuchFile) {
  auto session = connect();
  ASSERT_NE(session, nullptr);
  std::unique_ptr<SftpFile> file;
  const Status opened = session->openRead("missing.bin", 0, file);
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(opened.code(), ErrorCode::SftpNoSuchFile);
  EXPECT_NE(opened.reason().find("No such file"), std::string::npos) << opened.reason();
  EXPECT_EQ(session->remove("missing.bin").code(), ErrorCode::SftpNoSuchFile);
  std::vector<FindData> entries;
  EXPECT_EQ(session->list("missing", entries).code(), ErrorCode::SftpNoSuchFile);
}

struct HostKeyCase {
  const char* name;
  fs::path (TestSshServer::*knownHosts)() const;  // null: a file that does not exist
  ErrorCode code;
  const char* words;  // part of the detail text
};

class SftpHostKeyTest : public SftpTest, public ::testing::WithParamInterface<HostKeyCase> {};

// No trust on first use: the key must be in the file, and nothing that logs in is sent before.
TEST_P(SftpHostKeyTest, AKeyNotInTheFileIsRefusedBeforeLogin) {
  const HostKeyCase& row = GetParam();
  test::TempDir elsewhere;
  SftpLogin login = keyLogin();
  login.knownHostsFile = row.knownHosts != nullptr ? ((*server_).*row.knownHosts)().string()
                                                   : (elsewhere.path() / "known_hosts").string();
  const std::size_t endsBefore = count(server_->log(), "Connection closed by");
  const std::size_t loginsBefore = count(server_->log(), "userauth-request");
  const Status refused = refusal(login);
  EXPECT_EQ(refused.code(), row.code);
  const std::string detail = refused.reason();
  EXPECT_NE(detail.find("ssh-ed25519 " + server_->hostFingerprint()), std::string::npos) << detail;
  EXPECT_NE(detail.find("ssh-keyscan -p " + std::to_string(server_->port()) + " 127.0.0.1 >> " +
                        login.knownHostsFile),
            std::string::npos)
      << detail;
  EXPECT_NE(detail.find(row.words), std::string::npos) << detail;
  ASSERT_TRUE(connectionEnded(*server_, endsBefore + 1)) << server_->log();
  EXPECT_EQ(count(server_->log(), "userauth-request"), loginsBefore);
  // The log does show a login that goes on.
  EXPECT_NE(connect(), nullptr);
  EXPECT_GT(count(server_->log(), "userauth-request"), loginsBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SftpHostKeyTest,
    ::testing::Values(HostKeyCase{"Unknown", nullptr, ErrorCode::SshHostUnknown, "ni. Ko"},
                      HostKeyCase{"Changed", &TestSshServer::otherKeyKnownHosts,
                                  ErrorCode::SshHostKeyChanged, "ssh-keygen -R"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SftpTest, AHashedKnownHostsEntryIsFound) {
  ASSERT_EQ(test::readFile(server_->hashedKnownHosts()).rfind("|1|", 0), 0u);
  SftpLogin login = keyLogin();
  login.knownHostsFile = server_->hashedKnownHosts().string();
  EXPECT_NE(connect(login), nullptr);
}

TEST_F(SftpTest, AKeyWithAPassphraseLogsIn) {
  SftpLogin login = keyLogin();
  login.privateKeyFile = server_->lockedClientKey().string();
  login.password = TestSshServer::kKeyPassphrase;
  EXPECT_NE(connect(login), nullptr);
  login.password = "napačno";
  EXPECT_EQ(refusal(login).code(), ErrorCode::SshKeyUnreadable);
}

TEST_F(SftpTest, APasswordLogsInAndAWrongOneIsRefused) {
  if (!server_->passwordLogins()) GTEST_SKIP() << "password logins need root (a test user)";
  SftpLogin login = keyLogin();
  login.privateKeyFile.clear();
  login.password = server_->password();
  EXPECT_NE(connect(login), nullptr);
  login.password += "x";
  EXPECT_EQ(refusal(login).code(), ErrorCode::SshLoginRefused);
}

std::size_t openDescriptors() {
  std::size_t open = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++open;
  return open;
}

// The socket is shared with libssh: each side closes its own descriptor exactly once.
TEST_F(SftpTest, ASessionLeavesNoDescriptorOpen) {
  const std::size_t before = openDescriptors();
  for (int i = 0; i < 3; ++i) {
    auto session = connect();
    ASSERT_NE(session, nullptr);
    auto file = openWrite(*session, "fd.txt");
    ASSERT_NE(file, nullptr);
  }
  EXPECT_EQ(openDescriptors(), before);
}

// How a read of `name` fails once the server's session processes are killed after its first
// bytes; a success when the whole file still arrived (the kill came too late) or none started.
Status readAfterTheDrop(SftpSession& session, TestSshServer& server, const std::string& name) {
  std::unique_ptr<SftpFile> file;
  if (!session.openRead(name, 0, file)) return {};
  std::vector<char> buffer(32 * 1024);
  std::size_t got = 0;
  if (!file->read(buffer.data(), 255, got)) return {};
  server.dropSessions();
  for (int i = 0; i < 100000 && got != 0; ++i) {
    if (Status read = file->read(buffer.data(), buffer.size(), got); !read) return read;
  }
  return {};
}

TEST_F(SftpTest, ASessionDroppedMidFileFailsTheRead) {
  // Far more than the requests in flight: the rest must come from a server that is gone. A kill
  // that a loaded machine delays past the file's end is tried again, a bounded number of times.
  put("dropped.bin", test::patternBytes(64 * 1024 * 1024, 3));
  Status read;
  for (int attempt = 0; attempt < 3 && read; ++attempt) {
    auto session = connect();
    ASSERT_NE(session, nullptr);
    read = readAfterTheDrop(*session, *server_, "dropped.bin");
  }
  EXPECT_FALSE(read);
  EXPECT_EQ(read.code(), ErrorCode::InternetConnectionAborted) << read;
}

TEST_F(SftpTest, AStalledServerFailsWithinTheBound) {
  auto session = connect();
  ASSERT_NE(session, nullptr);
  server_->stallSessions(true);
  const auto started = std::chrono::steady_clock::now();
  SftpStat info;
  const Status answered = session->stat(".", info);
  const auto waited = std::chrono::steady_clock::now() - started;
  server_->stallSessions(false);
  EXPECT_FALSE(answered);
  EXPECT_EQ(answered.code(), ErrorCode::InternetTimeout) << answered;
  EXPECT_LT(waited, sftpTimeouts().reply * 3);
}

// Against the tests' own SFTP server behind the same sshd, which lies where told to.
class SftpLiesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<TestSshServer>(TestSshServer::FakeSftp{});
  }
  static void TearDownTestSuite() { server_.reset(); }

  static std::unique_ptr<SftpSession> connectTelling(
      const std::string& lies, std::chrono::milliseconds data = sftpTimeouts().data) {
    server_->setLies(lies);
    SftpLogin login;
    login.host = "127.0.0.1";
    login.port = server_->port();
    login.user = server_->user();
    login.privateKeyFile = server_->clientKey().string();
    login.knownHostsFile = server_->knownHosts().string();
    login.timeouts = sftpTimeouts();
    login.timeouts.data = data;
    std::unique_ptr<SftpSession> session;
    EXPECT_TRUE(succeeded(SftpSession::connect(login, session)));
    return session;
  }

  // A folder of its own in the served one, writable by the account.
  static fs::path folder(const std::string& name) {
    const auto path = server_->root() / name;
    fs::create_directory(path);
    if (geteuid() == 0) fs::permissions(path, fs::perms::all);
    return path;
  }

  static std::vector<std::string> namesIn(const fs::path& path) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  static inline std::unique_ptr<TestSshServer> server_;
};

// Without posix-rename, a refused rename over a published file never costs the only copy: the
// old one steps aside and comes back when the new one cannot take its name, and a refusal that
// cannot mean "it exists" touches nothing.
TEST_F(SftpLiesTest, ARefusedRenameNeverCostsThePublishedFile) {
  struct Row {
    const char* name;
    const char* lies;
    bool published;
    ErrorCode error;
  };
  const std::vector<Row> rows = {
      {"RefusedAsExisting", "", true, ErrorCode::Success},
      {"PermissionDenied", "deny-rename 1", false, ErrorCode::SftpPermissionDenied},
      {"NewOneRefusedItsName", "refuse-rename-from new.txt", false, ErrorCode::SftpFailure},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const fs::path path = folder(std::string("rename-") + row.name);
    test::writeFile(path / "old.txt", "old");
    test::writeFile(path / "new.txt", "new");
    auto session = connectTelling(row.lies);
    ASSERT_NE(session, nullptr);
    ASSERT_FALSE(session->offersPosixRename());
    const Status renamed =
        session->rename((path / "new.txt").string(), (path / "old.txt").string());
    EXPECT_EQ(renamed.ok(), row.published) << renamed;
    if (row.published) {
      EXPECT_EQ(test::readFile(path / "old.txt"), "new");
      EXPECT_EQ(namesIn(path), std::vector<std::string>{"old.txt"});
    } else {
      EXPECT_EQ(renamed.code(), row.error) << renamed;
      EXPECT_EQ(test::readFile(path / "old.txt"), "old");
      EXPECT_EQ(test::readFile(path / "new.txt"), "new");
      EXPECT_EQ(namesIn(path), (std::vector<std::string>{"new.txt", "old.txt"}));
    }
  }
}

// A listing and a download end however the server drags them out: every entry counts toward
// the bounds, less than 1 KiB per time limit is a stall, as over FTP, and a listing paced just
// above that ends at its deadline (ten time limits).
TEST_F(SftpLiesTest, AListingOrReadThatNeverEndsFails) {
  const fs::path path = folder("dragged");
  test::writeFile(path / "f.bin", test::patternBytes(4000, 3));
  struct Row {
    const char* name;
    const char* lies;
    bool listing;
    ErrorCode error;
  };
  const std::vector<Row> rows = {
      {"OnlyDotsForEver", "dots-forever 1", true, ErrorCode::ListingTooLong},
      {"AnEntryNowAndThen", "trickle-list 0.3", true, ErrorCode::InternetTimeout},
      {"AByteNowAndThen", "trickle-read 0.3", false, ErrorCode::InternetTimeout},
      {"JustAboveTheFloor", "trickle-list 0.2\ntrickle-name-size 600", true,
       ErrorCode::InternetTimeout},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    // One second per time limit: the deadline comes after ten.
    auto session = connectTelling(row.lies, std::chrono::milliseconds(1000));
    ASSERT_NE(session, nullptr);
    std::vector<FindData> entries;
    std::string bytes;
    const Status ended = row.listing ? session->list(path.string(), entries)
                                     : download(*session, (path / "f.bin").string(), bytes);
    EXPECT_FALSE(ended);
    EXPECT_EQ(ended.code(), row.error) << ended;
    EXPECT_TRUE(entries.empty());
  }
}

// A listed name asked for again is that very file, never a pattern for others.
TEST_F(SftpTest, AListedNameWithWildcardsIsLookedUpAsItself) {
  const fs::path path = server_->root() / "wild";
  fs::create_directory(path);
  test::writeFile(path / "x1.csv", "eleven bytes");
  test::writeFile(path / "x?.csv", "four");
  test::writeFile(path / "x*.csv", "seven b");
  SftpConnection connection(connect());
  for (const auto& [name, size] : std::vector<std::pair<std::string, std::int64_t>>{
           {"x?.csv", 4}, {"x*.csv", 7}, {"x1.csv", 12}}) {
    SCOPED_TRACE(name);
    FindData first;
    std::unique_ptr<RemoteFind> find;
    ASSERT_TRUE(succeeded(connection.findFirstFile((path / name).string(), first, find)));
    EXPECT_EQ(first.fileName, name);
    EXPECT_EQ(first.fileSize, size);
  }
}

}  // namespace
}  // namespace skyhaul::inet

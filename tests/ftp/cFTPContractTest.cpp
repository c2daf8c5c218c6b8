// One contract for every protocol under cFTP: the job never knows which carries it, so each case
// runs over FTP (the loopback pyftpdlib server) and over SFTP (OpenSSH's sshd), and where the
// two cannot say the same, the row of the protocol says what it says instead, and why.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ftp/cFTP.h"
#include "platform/PartFile.h"
#include "platform/inet/InternetSession.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"
#include "support/TestFtpServer.h"
#include "support/TestSshServer.h"

namespace skyhaul::test {
namespace {

namespace fs = std::filesystem;
using platform::ErrorCode;

class Events final : public ftp::cFTPEvents {
 public:
  void FileTransferProgress(const std::int64_t& current, const std::int64_t&) override {
    ++progress;
    if (onProgress && onProgress(current)) onProgress = nullptr;
  }
  void yield() override {}
  void setLabel11(const std::string&) override {}

  int progress = 0;
  std::function<bool(std::int64_t)> onProgress;  // at each event, until it returns true
};

enum class Direction { Download, Upload };

// A server of one protocol, as the cases see it: the folder it serves, a logged-in cFTP, and a
// connection that breaks in the next transfer, after some of its data has moved.
class Remote {
 public:
  virtual ~Remote() = default;
  virtual fs::path root() const = 0;
  virtual bool connect(ftp::cFTP& ftp) = 0;
  virtual void breakNext(Direction direction, const std::string& name, Events& events) = 0;
};

class FtpRemote final : public Remote {
 public:
  fs::path root() const override { return server_.root(); }
  bool connect(ftp::cFTP& ftp) override {
    return ftp.OpenConnection(server_.address(), kFtpUser, kFtpPassword);
  }
  void breakNext(Direction direction, const std::string&, Events&) override {
    server_.setFaults({direction == Direction::Download ? "drop-control:RETR:200000:times=1"
                                                        : "drop-control:STOR:200000:times=1"});
  }

 private:
  TestFtpServer server_;
};

// sshd makes its keys when it starts: the cases share one, each with an emptied folder.
class SftpRemote final : public Remote {
 public:
  explicit SftpRemote(TestSshServer& server) : server_(server) {
    for (const auto& entry : fs::directory_iterator(server_.root())) fs::remove_all(entry);
  }
  fs::path root() const override { return server_.root(); }
  bool connect(ftp::cFTP& ftp) override {
    ftp.SetPrivateKey(server_.clientKey().string());
    ftp.SetKnownHosts(server_.knownHosts().string());
    return ftp.OpenConnection("sftp://127.0.0.1:" + std::to_string(server_.port()), server_.user(),
                              "");
  }
  // The session goes once a megabyte has moved and the server holds some of it: far enough from
  // the end of the file that what was still on its way cannot complete it.
  void breakNext(Direction, const std::string& name, Events& events) override {
    events.onProgress = [this, stored = root() / name](std::int64_t current) {
      if (current < 1024 * 1024) return false;
      for (int i = 0; i < 500 && (!fs::exists(stored) || fs::file_size(stored) == 0); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      server_.dropSessions();
      return true;
    };
  }

 private:
  TestSshServer& server_;
};

std::unique_ptr<Remote> startFtp() { return std::make_unique<FtpRemote>(); }

std::unique_ptr<Remote> startSftp() {
  static TestSshServer server;
  return std::make_unique<SftpRemote>(server);
}

// A protocol's row: how to start its server, and what it says where it cannot agree.
struct Protocol {
  const char* name;
  std::unique_ptr<Remote> (*start)();
  // A name that is not there, refused: FTP's text is the server's reply alone ("550 ..."); SFTP
  // has a status code in its place, which the text names, with the server's words after it.
  bool refusalIsTheReply;
  // Which entries a listing holds is the server's choice: pyftpdlib leaves a link that names
  // nothing out, OpenSSH lists it.
  bool listsDanglingLinks;
};

void PrintTo(const Protocol& protocol, std::ostream* out) { *out << protocol.name; }

std::string libraryText(const std::string& source, ErrorCode code) {
  return source + " error code: " + std::to_string(static_cast<int>(code)) +
         " Message: " + platform::messageFor(code);
}

class cFTPContract : public ::testing::TestWithParam<Protocol> {
 protected:
  cFTPContract() {
    inet::setDefaultTimeouts({std::chrono::milliseconds(5000), std::chrono::milliseconds(3000),
                              std::chrono::milliseconds(3000)});
    ftp = std::make_unique<ftp::cFTP>(clock);
    ftp->setEvents(&events);
    ftp->SetModePassive();
    ftp->SetTransferBinary();
  }

  bool connect() {
    const bool connected = server->connect(*ftp);
    EXPECT_TRUE(connected) << ftp->GetLastErrorMessage();
    return connected;
  }

  // A file or folder on the server, as the account would have made it.
  void put(const std::string& name, const std::string& bytes) const {
    writeFile(server->root() / name, bytes);
    if (geteuid() == 0) fs::permissions(server->root() / name, fs::perms(0666));
  }
  void makeFolder(const std::string& name) const {
    fs::create_directory(server->root() / name);
    if (geteuid() == 0) fs::permissions(server->root() / name, fs::perms::all);
  }
  std::string local(const std::string& name) const { return folder.prefix() + name; }

  // A refusal of a name that is not there, as the protocol words it.
  ::testing::AssertionResult refusedAsMissing(const std::string& source) const {
    const std::string text = ftp->GetLastErrorMessage();
    const bool shaped =
        GetParam().refusalIsTheReply
            ? text.size() > 4 && (text[0] == '4' || text[0] == '5') && text[3] == ' ' &&
                  text.find("error code") == std::string::npos
            : text.rfind(libraryText(source, ErrorCode::SftpNoSuchFile) + " (", 0) == 0;
    return shaped ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << text;
  }

  std::unique_ptr<Remote> server = GetParam().start();
  TempDir folder;
  FakeClock clock;
  Events events;
  std::unique_ptr<ftp::cFTP> ftp;
};

std::vector<std::string> sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> splitListing(const std::string& listing) {
  std::vector<std::string> names;
  for (std::size_t start = 0; !listing.empty();) {
    const auto comma = listing.find(',', start);
    names.push_back(listing.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return sorted(names);
}

// The download's text is the missing file's own, never whatever failed before it.
TEST_P(cFTPContract, AMissingFileIsNotFoundByDeleteDownloadOrSize) {
  ASSERT_TRUE(connect());
  EXPECT_FALSE(ftp->DeleteFTPFile("nothing.txt"));
  EXPECT_TRUE(refusedAsMissing("DeleteFTPFile"));
  std::string sLocal = local("nothing.txt");
  std::string sRemote = "nothing.txt";
  EXPECT_FALSE(ftp->FTPDownloadFile(sLocal, sRemote));
  const std::string notFound = libraryText("FtpFindFirstFile", ErrorCode::FileNotFound);
  EXPECT_EQ(ftp->GetLastErrorMessage(), notFound);
  EXPECT_FALSE(fs::exists(sLocal));
  EXPECT_EQ(events.progress, 0);
  EXPECT_EQ(ftp->GetFTPFileSize("nothing.txt"), -1);
  EXPECT_EQ(ftp->GetRemoteFileSize("nothing.txt"), -1);
  EXPECT_EQ(ftp->GetLastErrorMessage(), notFound);
}

TEST_P(cFTPContract, AMissingFolderIsRefusedWhereANameMustBeThereAndEmptyElsewhere) {
  ASSERT_TRUE(connect());
  EXPECT_FALSE(ftp->SetFTPDirectory("missing"));
  EXPECT_TRUE(refusedAsMissing("FtpSetCurrentDirectory"));
  const std::string refusal = ftp->GetLastErrorMessage();
  // Nothing by that mask exists: no file, not a failure.
  EXPECT_EQ(ftp->GetFTPFileSize("missing/*.txt"), -1);
  EXPECT_EQ(ftp->GetRemoteFileSize("missing/a.txt"), -1);
  EXPECT_EQ(ftp->GetFTPdir("missing/*.txt"), "");
  EXPECT_EQ(ftp->GetLastErrorMessage(), refusal);
  // The queue of a transfer command must not take a folder it cannot read for an empty one.
  std::vector<std::string> names{"stale"};
  EXPECT_FALSE(ftp->GetFTPFileNames("missing/*.txt", names));
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(refusedAsMissing("FtpFindFirstFile"));
  std::string sLocal = local("a.txt");
  std::string sRemote = "missing/a.txt";
  EXPECT_FALSE(ftp->FTPDownloadFile(sLocal, sRemote));
  EXPECT_EQ(ftp->GetLastErrorMessage(), libraryText("FtpFindFirstFile", ErrorCode::FileNotFound));
  EXPECT_FALSE(fs::exists(sLocal));
  writeFile(sLocal, "a");
  EXPECT_FALSE(ftp->FTPUploadFile(sLocal, sRemote));
  EXPECT_TRUE(refusedAsMissing("FtpOpenFile:PutFile"));
}

// The folder the session stands in is named so that it can be come back to, as a job does
// after it has looked at another.
TEST_P(cFTPContract, TheCurrentFolderIsNamedSoThatItCanBeComeBackTo) {
  makeFolder("in");
  put("top.txt", "top");
  put("in/x.txt", "x");
  ASSERT_TRUE(connect());
  const std::string start = ftp->GetFTPDirectory();
  ASSERT_TRUE(ftp->SetFTPDirectory("in")) << ftp->GetLastErrorMessage();
  EXPECT_EQ(ftp->GetFTPFileSize("x.txt"), 1);
  ASSERT_TRUE(ftp->SetFTPDirectory(start)) << start << ": " << ftp->GetLastErrorMessage();
  EXPECT_EQ(ftp->GetFTPDirectory(), start);
  EXPECT_EQ(ftp->GetFTPFileSize("top.txt"), 3);
}

TEST_P(cFTPContract, AMaskThatMatchesNothingIsNoFileAndNoFailure) {
  makeFolder("in");
  put("in/a.txt", "a");
  ASSERT_TRUE(connect());
  ftp->DeleteFTPFile("other.txt");  // a text that nothing below may replace
  const std::string before = ftp->GetLastErrorMessage();
  for (const std::string mask : {"*.csv", "in/*.csv", "in/b.txt"}) {
    SCOPED_TRACE(mask);
    EXPECT_EQ(ftp->GetFTPdir(mask), "");
    EXPECT_EQ(ftp->GetFTPFileSize(mask), -1);
    std::vector<std::string> names{"stale"};
    EXPECT_TRUE(ftp->GetFTPFileNames(mask, names));
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(ftp->GetLastErrorMessage(), before);
  }
}

// The listing shows every entry; the names a transfer command takes are the files, a link to a
// file among them, sized and fetched as the file it names.
TEST_P(cFTPContract, ALinkToAFileIsThatFileAndALinkToAFolderIsLeftOut) {
  makeFolder("links");
  makeFolder("links/sub");
  put("links/a.txt", "12345");
  fs::create_symlink("a.txt", server->root() / "links/to-file");
  fs::create_symlink("sub", server->root() / "links/to-folder");
  fs::create_symlink("nowhere", server->root() / "links/dangling");
  ASSERT_TRUE(connect());
  std::vector<std::string> listed{"a.txt", "sub", "to-file", "to-folder"};
  if (GetParam().listsDanglingLinks) listed.insert(listed.begin() + 1, "dangling");
  EXPECT_EQ(splitListing(ftp->GetFTPdir("links/*")), listed);
  std::vector<std::string> names;
  ASSERT_TRUE(ftp->GetFTPFileNames("links/*", names)) << ftp->GetLastErrorMessage();
  EXPECT_EQ(sorted(names), (std::vector<std::string>{"a.txt", "to-file"}));
  EXPECT_EQ(ftp->GetFTPFileSize("links/to-file"), 5);
  EXPECT_EQ(ftp->GetRemoteFileSize("links/to-file"), 5);
  std::string sLocal = local("to-file");
  std::string sRemote = "links/to-file";
  ASSERT_TRUE(ftp->FTPDownloadFile(sLocal, sRemote)) << ftp->GetLastErrorMessage();
  EXPECT_EQ(readFile(sLocal), "12345");
}

TEST_P(cFTPContract, ARenameOverAnExistingFileLeavesTheNewContent) {
  put("new.txt", "new");
  put("old.txt", "old content");
  ASSERT_TRUE(connect());
  ASSERT_TRUE(ftp->RenameFTPFile("new.txt", "old.txt")) << ftp->GetLastErrorMessage();
  EXPECT_EQ(readFile(server->root() / "old.txt"), "new");
  EXPECT_FALSE(fs::exists(server->root() / "new.txt"));
}

// The connection breaks in the first transfer part-way; the next attempt, on a new connection,
// sends only the rest, and the file is whole.
TEST_P(cFTPContract, ABrokenTransferIsTakenUpAgainWhereItStopped) {
  const std::string bytes = patternBytes(8 * 1024 * 1024 + 77, 5);
  for (const Direction direction : {Direction::Download, Direction::Upload}) {
    const bool down = direction == Direction::Download;
    SCOPED_TRACE(down ? "download" : "upload");
    // Only an upload into a temporary is ever taken up again: a real name is written whole.
    const std::string name = down ? "big.bin" : platform::newPartFileName();
    if (down) put(name, bytes);
    if (!down) writeFile(local("big.bin"), bytes);
    server->breakNext(direction, name, events);
    for (int attempt = 1; attempt <= 2; ++attempt) {
      SCOPED_TRACE(attempt);
      ASSERT_TRUE(connect());
      std::string sLocal = local("big.bin");
      std::string sRemote = name;
      const bool done =
          down ? ftp->FTPDownloadFile(sLocal, sRemote) : ftp->FTPUploadFile(sLocal, sRemote);
      EXPECT_EQ(done, attempt == 2) << ftp->GetLastErrorMessage();
    }
    EXPECT_TRUE(readFile(down ? fs::path(local("big.bin")) : server->root() / name) == bytes);
    const auto resumedFrom = ftp->GetTransferFacts().resumedFrom;
    ASSERT_TRUE(resumedFrom.has_value());
    EXPECT_GT(*resumedFrom, 0);
    EXPECT_LT(*resumedFrom, static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(
        ftp->GetTransferNote().rfind("nadaljevano od bajta " + std::to_string(*resumedFrom), 0), 0u)
        << ftp->GetTransferNote();
  }
}

TEST_P(cFTPContract, TheStoredSizeOfAnUploadIsTheLocalSize) {
  for (const std::size_t size : {0UL, 600UL, 300000UL}) {
    SCOPED_TRACE(size);
    const std::string bytes = patternBytes(size, 3);
    writeFile(local("up.bin"), bytes);
    ASSERT_TRUE(connect());
    std::string sLocal = local("up.bin");
    std::string sRemote = "up.bin";
    ASSERT_TRUE(ftp->FTPUploadFile(sLocal, sRemote)) << ftp->GetLastErrorMessage();
    EXPECT_TRUE(ftp->GetTransferFacts().sizeConfirmed);
    EXPECT_EQ(ftp->GetRemoteFileSize("up.bin"), static_cast<std::int64_t>(size));
    EXPECT_TRUE(readFile(server->root() / "up.bin") == bytes);
    EXPECT_TRUE(ftp->GetUploadedSource().has_value());
  }
}

// A source that grows while it is sent is not what arrived: the upload fails and nobody may
// take the server's copy for the file.
TEST_P(cFTPContract, AnUploadWhoseSourceChangedOnTheWayFails) {
  writeFile(local("grows.bin"), patternBytes(300000, 4));
  events.onProgress = [this](std::int64_t) {
    std::ofstream(local("grows.bin"), std::ios::app) << "more";
    return true;
  };
  ASSERT_TRUE(connect());
  std::string sLocal = local("grows.bin");
  std::string sRemote = "grows.bin";
  EXPECT_FALSE(ftp->FTPUploadFile(sLocal, sRemote));
  EXPECT_EQ(ftp->GetLastErrorMessage(), libraryText("VerifyUpload", ErrorCode::FileInvalid));
  EXPECT_FALSE(fs::exists(server->root() / "grows.bin"));
  EXPECT_FALSE(ftp->GetUploadedSource().has_value());
}

INSTANTIATE_TEST_SUITE_P(Protocols, cFTPContract,
                         ::testing::Values(Protocol{"Ftp", startFtp, true, false},
                                           Protocol{"Sftp", startSftp, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace skyhaul::test

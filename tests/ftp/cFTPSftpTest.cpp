// cFTP over SFTP, against the tests' own SFTP server behind a real sshd: what an upload asks of
// the server before it counts.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "ftp/cFTP.h"
#include "platform/ErrorCode.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"
#include "support/TestSshServer.h"

namespace skyhaul::test {
namespace {

namespace fs = std::filesystem;

class cFTPOverSftp : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<TestSshServer>(TestSshServer::FakeSftp{});
  }
  static void TearDownTestSuite() { server_.reset(); }

  cFTPOverSftp() {
    inet::setDefaultTimeouts({std::chrono::milliseconds(5000), std::chrono::milliseconds(3000),
                              std::chrono::milliseconds(3000)});
    ftp.SetTransferBinary();
    ftp.SetPrivateKey(server_->clientKey().string());
    ftp.SetKnownHosts(server_->knownHosts().string());
  }

  bool connect() {
    return ftp.OpenConnection("sftp://127.0.0.1:" + std::to_string(server_->port()),
                              server_->user(), "");
  }

  // A folder of the served one that the account may write, for what the server logs.
  static fs::path logFolder() {
    const fs::path path = server_->root() / "logs";
    fs::create_directories(path);
    if (geteuid() == 0) fs::permissions(path, fs::perms::all);
    return path;
  }

  static inline std::unique_ptr<TestSshServer> server_;
  TempDir folder;
  FakeClock clock;
  ftp::cFTP ftp{clock};
};

// The size the server holds is asked once, after the data, as over FTP; a server that kept less
// than it confirmed fails the upload, and its copy goes.
TEST_F(cFTPOverSftp, AnUploadAsksForTheStoredSizeOnce) {
  struct Row {
    const char* name;
    const char* lies;
    bool stored;
  };
  for (const Row& row : {Row{"whole", "", true}, Row{"short", "short-writes 300", false}}) {
    SCOPED_TRACE(row.name);
    const fs::path statLog = logFolder() / row.name;
    server_->setLies(std::string(row.lies) + "\nstat-log " + statLog.string() + "\n");
    ASSERT_TRUE(connect()) << ftp.GetLastErrorMessage();
    writeFile(folder.path() / "up.bin", patternBytes(600, 4));
    std::string sLocal = folder.prefix() + "up.bin";
    std::string sRemote = std::string("up-") + row.name + ".bin";
    EXPECT_EQ(ftp.FTPUploadFile(sLocal, sRemote), row.stored) << ftp.GetLastErrorMessage();
    EXPECT_EQ(readFile(statLog), sRemote + "\n");
    if (row.stored) {
      EXPECT_EQ(readFile(server_->root() / sRemote), patternBytes(600, 4));
      EXPECT_TRUE(ftp.GetTransferFacts().sizeConfirmed);
    } else {
      EXPECT_EQ(ftp.GetLastErrorMessage(),
                "VerifyUpload error code: 12116 Message: " +
                    platform::messageFor(platform::ErrorCode::StoredSizeMismatch) +
                    " (300 od 600)");
      EXPECT_FALSE(fs::exists(server_->root() / sRemote)) << "a short copy is left";
    }
    ftp.CloseConnection();
  }
}

}  // namespace
}  // namespace skyhaul::test

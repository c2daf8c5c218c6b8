// Whole-file transfers through the seam, alike over FTP (the loopback pyftpdlib server) and SFTP
// (OpenSSH's sshd): the local file is opened first for an upload and replaced last by a download.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/inet/TestSession.h"
#include "support/TempDir.h"
#include "support/TestSshServer.h"

namespace skyhaul::inet {
namespace {

namespace fs = std::filesystem;
using test::patternBytes;
using test::readFile;

enum class Protocol { Ftp, Sftp };

class WholeFile : public testing::TestWithParam<Protocol> {
 protected:
  static void SetUpTestSuite() {
    ftpServer_ = std::make_unique<test::TestFtpServer>();
    sshServer_ = std::make_unique<test::TestSshServer>();
  }
  static void TearDownTestSuite() {
    ftpServer_.reset();
    sshServer_.reset();
  }

  WholeFile() : session_("Vorn FTP Client") {
    session_.setTimeouts(shortTimeouts());
    Status opened;
    if (GetParam() == Protocol::Ftp) {
      opened = session_.open(ftpServer_->address(), test::kFtpUser, test::kFtpPassword, true,
                             connection_);
    } else {
      session_.setPrivateKeyFile(sshServer_->clientKey().string());
      session_.setKnownHostsFile(sshServer_->knownHosts().string());
      opened = session_.open("sftp://127.0.0.1:" + std::to_string(sshServer_->port()),
                             sshServer_->user(), "", true, connection_);
    }
    EXPECT_TRUE(succeeded(opened));
  }

  static fs::path root() {
    return GetParam() == Protocol::Ftp ? ftpServer_->root() : sshServer_->root();
  }
  // A file on the server, which the session's account may replace.
  static void putRemote(const std::string& name, const std::string& bytes) {
    test::writeFile(root() / name, bytes);
    if (geteuid() == 0) fs::permissions(root() / name, fs::perms(0666));
  }

  static inline std::unique_ptr<test::TestFtpServer> ftpServer_;
  static inline std::unique_ptr<test::TestSshServer> sshServer_;
  InternetSession session_;
  std::unique_ptr<RemoteSession> connection_;
  test::TempDir local_;
};

TEST_P(WholeFile, PutAndGetReplaceTheTargetWhole) {
  ASSERT_NE(connection_, nullptr);
  const std::string bytes = patternBytes(300000, 9);
  test::writeFile(local_.path() / "up.bin", bytes);
  putRemote("whole.bin", std::string(500000, 'o'));  // longer: must shrink
  ASSERT_TRUE(succeeded(
      connection_->putFile(local_.prefix() + "up.bin", "whole.bin", TransferType::Binary)));
  EXPECT_EQ(readFile(root() / "whole.bin"), bytes);
  test::writeFile(local_.path() / "down.bin", std::string(400000, 'x'));
  ASSERT_TRUE(succeeded(
      connection_->getFile("whole.bin", local_.prefix() + "down.bin", TransferType::Binary)));
  EXPECT_EQ(readFile(local_.path() / "down.bin"), bytes);
}

// The local side fails with its own code, and leaves what was there as it was.
TEST_P(WholeFile, ALocalFailureHasALocalCodeAndChangesNothing) {
  ASSERT_NE(connection_, nullptr);
  EXPECT_EQ(connection_->putFile(local_.prefix() + "nosuch.bin", "never.bin", TransferType::Binary)
                .code(),
            ErrorCode::FileNotFound);
  EXPECT_FALSE(fs::exists(root() / "never.bin"));
  putRemote("g.bin", "payload");
  test::writeFile(local_.path() / "plain", "a file, not a folder");
  EXPECT_EQ(
      connection_->getFile("g.bin", local_.prefix() + "plain/g.bin", TransferType::Binary).code(),
      ErrorCode::PathNotFound);
  // Still in step with the server afterwards.
  ASSERT_TRUE(
      succeeded(connection_->getFile("g.bin", local_.prefix() + "g.bin", TransferType::Binary)));
  EXPECT_EQ(readFile(local_.path() / "g.bin"), "payload");
}

TEST_P(WholeFile, AMissingRemoteFileLeavesTheLocalFileAlone) {
  ASSERT_NE(connection_, nullptr);
  test::writeFile(local_.path() / "keep.bin", "keep me");
  const Status got =
      connection_->getFile("nosuch.bin", local_.prefix() + "keep.bin", TransferType::Binary);
  EXPECT_EQ(got.code(), GetParam() == Protocol::Ftp ? ErrorCode::InternetExtendedError
                                                    : ErrorCode::SftpNoSuchFile)
      << got;
  EXPECT_EQ(readFile(local_.path() / "keep.bin"), "keep me");
}

INSTANTIATE_TEST_SUITE_P(Protocols, WholeFile, testing::Values(Protocol::Ftp, Protocol::Sftp),
                         [](const auto& info) {
                           return info.param == Protocol::Ftp ? "Ftp" : "Sftp";
                         });

}  // namespace
}  // namespace skyhaul::inet

// Connecting, logging in and the single-command operations against the loopback server.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/inet/TestSession.h"

namespace skyhaul::inet {
namespace {

using test::readFile;
using test::writeFile;

class FtpOperations : public SharedServer<FtpOperations> {};

TEST_F(FtpOperations, DirectoriesAreCreatedEnteredAndRemoved) {
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  auto& connection = *ftp.connection;
  std::string directory;
  ASSERT_TRUE(connection.getCurrentDirectory(directory));
  EXPECT_EQ(directory, "/");
  ASSERT_TRUE(connection.createDirectory("made dir")) << lastResponseInfo();
  EXPECT_TRUE(std::filesystem::is_directory(server_->root() / "made dir"));
  ASSERT_TRUE(connection.setCurrentDirectory("made dir"));
  ASSERT_TRUE(connection.getCurrentDirectory(directory));
  EXPECT_EQ(directory, "/made dir");
  ASSERT_TRUE(connection.setCurrentDirectory("/"));
  ASSERT_TRUE(connection.removeDirectory("made dir"));
  EXPECT_FALSE(std::filesystem::exists(server_->root() / "made dir"));
}

TEST_F(FtpOperations, FilesAreRenamedAndDeleted) {
  writeFile(server_->root() / "old.txt", "content");
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  ASSERT_TRUE(ftp.connection->renameFile("old.txt", "new.txt"));
  EXPECT_FALSE(std::filesystem::exists(server_->root() / "old.txt"));
  EXPECT_EQ(readFile(server_->root() / "new.txt"), "content");
  ASSERT_TRUE(ftp.connection->deleteFile("new.txt"));
  EXPECT_FALSE(std::filesystem::exists(server_->root() / "new.txt"));
}

TEST_F(FtpOperations, ARefusedCommandGivesTheServersReply) {
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  struct Case {
    const char* name;
    bool result;
  };
  for (const Case& c : {Case{"delete", ftp.connection->deleteFile("nosuch.txt")},
                        Case{"cwd", ftp.connection->setCurrentDirectory("nosuch")},
                        Case{"rename", ftp.connection->renameFile("nosuch", "other")},
                        Case{"rmd", ftp.connection->removeDirectory("nosuch")}}) {
    EXPECT_FALSE(c.result) << c.name;
  }
  // The last one's reply is the last response text.
  EXPECT_EQ(lastError(), ErrorCode::InternetExtendedError);
  EXPECT_EQ(lastResponseInfo().substr(0, 4), "550 ");
  EXPECT_EQ(lastResponseInfo().substr(lastResponseInfo().size() - 2), "\r\n");
}

TEST_F(FtpOperations, ANameWithALineBreakIsNeverSent) {
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  EXPECT_FALSE(ftp.connection->deleteFile("a.txt\r\nRMD x"));
  EXPECT_EQ(lastError(), ErrorCode::InvalidParameter);
  std::string directory;
  EXPECT_TRUE(ftp.connection->getCurrentDirectory(directory));
}

TEST_F(FtpOperations, EverythingElseWaitsWhileAFileIsOpen) {
  writeFile(server_->root() / "busy.txt", "busy");
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  auto& connection = *ftp.connection;
  auto file = connection.openFile("upload.txt", FileAccess::Write, TransferType::Binary);
  ASSERT_NE(file, nullptr);
  std::string directory;
  FindData entry;
  EXPECT_FALSE(connection.getCurrentDirectory(directory));
  EXPECT_EQ(lastError(), ErrorCode::FtpTransferInProgress);
  EXPECT_EQ(connection.findFirstFile("*", entry), nullptr);
  EXPECT_EQ(lastError(), ErrorCode::FtpTransferInProgress);
  EXPECT_EQ(connection.openFile("busy.txt", FileAccess::Read, TransferType::Binary), nullptr);
  EXPECT_EQ(lastError(), ErrorCode::FtpTransferInProgress);
  EXPECT_FALSE(connection.deleteFile("busy.txt"));
  EXPECT_EQ(lastError(), ErrorCode::FtpTransferInProgress);
  EXPECT_FALSE(connection.putFile("/etc/hostname", "h.txt", TransferType::Binary));
  EXPECT_EQ(lastError(), ErrorCode::FtpTransferInProgress);
  ASSERT_TRUE(file->write("data", 4));
  ASSERT_TRUE(file->close());
  EXPECT_TRUE(connection.getCurrentDirectory(directory));
  EXPECT_EQ(readFile(server_->root() / "upload.txt"), "data");
}

TEST_F(FtpOperations, AFileOutlivesItsConnectionSafely) {
  auto ftp = std::make_unique<FtpTestSession>(*server_);
  ASSERT_NE(ftp->connection, nullptr);
  auto file = ftp->connection->openFile("orphan.txt", FileAccess::Write, TransferType::Binary);
  ASSERT_NE(file, nullptr);
  ftp.reset();
  EXPECT_FALSE(file->close());
  EXPECT_EQ(lastError(), ErrorCode::InternetConnectionAborted);
}

TEST_F(FtpOperations, ServerTextSelectsThePort) {
  InternetSession session("Vorn FTP Client");
  session.setTimeouts(shortTimeouts());
  const std::string port = std::to_string(server_->port());
  EXPECT_NE(session.connect("127.0.0.1:" + port, 0, test::kFtpUser, test::kFtpPassword, true),
            nullptr);
  EXPECT_NE(session.connect("127.0.0.1", server_->port(), test::kFtpUser, test::kFtpPassword, true),
            nullptr);
  EXPECT_NE(session.connect("localhost:" + port, 0, test::kFtpUser, test::kFtpPassword, true),
            nullptr);
  EXPECT_EQ(session.connect("127.0.0.1:x", 0, test::kFtpUser, test::kFtpPassword, true), nullptr);
  EXPECT_EQ(lastError(), ErrorCode::InternetInvalidUrl);
}

TEST_F(FtpOperations, AWrongPasswordGivesTheServersReply) {
  InternetSession session("Vorn FTP Client");
  session.setTimeouts(shortTimeouts());
  EXPECT_EQ(session.connect(server_->address(), 0, test::kFtpUser, "wrong", true), nullptr);
  EXPECT_EQ(lastError(), ErrorCode::InternetExtendedError);
  EXPECT_EQ(lastResponseInfo().substr(0, 4), "530 ");
}

TEST(FtpConnect, ARefusedLoginGivesTheServersReply) {
  test::TestFtpServer server({.faults = {"refuse-login"}});
  InternetSession session("Vorn FTP Client");
  session.setTimeouts(shortTimeouts());
  EXPECT_EQ(session.connect(server.address(), 0, test::kFtpUser, test::kFtpPassword, true),
            nullptr);
  EXPECT_EQ(lastError(), ErrorCode::InternetExtendedError);
  EXPECT_EQ(lastResponseInfo(), "530 Authentication failed.\r\n");
}

TEST(FtpConnect, AnUnknownHostIsNotResolved) {
  InternetSession session("Vorn FTP Client");
  session.setTimeouts(shortTimeouts());
  EXPECT_EQ(session.connect("nosuchhost.invalid", 0, "u", "p", true), nullptr);
  EXPECT_EQ(lastError(), ErrorCode::InternetNameNotResolved);
}

TEST(FtpConnect, AClosedPortCannotBeConnected) {
  test::TestFtpServer server;
  const std::string address = server.address();
  server.stop();
  InternetSession session("Vorn FTP Client");
  session.setTimeouts(shortTimeouts());
  EXPECT_EQ(session.connect(address, 0, test::kFtpUser, test::kFtpPassword, true), nullptr);
  EXPECT_EQ(lastError(), ErrorCode::InternetCannotConnect);
  // Back on the same port, the same text connects again.
  server.start();
  EXPECT_NE(session.connect(address, 0, test::kFtpUser, test::kFtpPassword, true), nullptr);
}

TEST(FtpConnect, SessionsTakeTheDefaultTimeoutsOfTheirTime) {
  const Timeouts before = defaultTimeouts();
  EXPECT_EQ(before.connect, std::chrono::milliseconds(60000));
  setDefaultTimeouts(shortTimeouts());
  InternetSession session("Vorn FTP Client");
  setDefaultTimeouts(before);
  EXPECT_EQ(session.timeouts().reply, shortTimeouts().reply);
  EXPECT_EQ(InternetSession("x").timeouts().reply, before.reply);
}

}  // namespace
}  // namespace skyhaul::inet

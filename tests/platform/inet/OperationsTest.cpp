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

// Opens a session with `server` as the tests' user; what that came to, the session being there
// exactly when it succeeded.
Status openAs(InternetSession& session, const std::string& server,
              const std::string& password = test::kFtpPassword) {
  std::unique_ptr<RemoteSession> connection;
  Status opened = session.open(server, test::kFtpUser, password, true, connection);
  EXPECT_EQ(connection != nullptr, opened.ok()) << server;
  return opened;
}

TEST_F(FtpOperations, DirectoriesAreCreatedEnteredAndRemoved) {
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  auto& connection = *ftp.connection;
  std::string directory;
  ASSERT_TRUE(connection.getCurrentDirectory(directory));
  EXPECT_EQ(directory, "/");
  ASSERT_TRUE(succeeded(connection.createDirectory("made dir")));
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
    Status result;
  };
  Status last;
  for (const Case& c : {Case{"delete", ftp.connection->deleteFile("nosuch.txt")},
                        Case{"cwd", ftp.connection->setCurrentDirectory("nosuch")},
                        Case{"rename", ftp.connection->renameFile("nosuch", "other")},
                        Case{"rmd", ftp.connection->removeDirectory("nosuch")}}) {
    EXPECT_FALSE(c.result) << c.name;
    last = c.result;
  }
  // The last one's reply comes with its failure.
  EXPECT_EQ(last.code(), ErrorCode::InternetExtendedError);
  EXPECT_EQ(last.serverText().substr(0, 4), "550 ");
  EXPECT_EQ(last.serverText().substr(last.serverText().size() - 2), "\r\n");
}

TEST_F(FtpOperations, ANameWithALineBreakIsNeverSent) {
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  EXPECT_EQ(ftp.connection->deleteFile("a.txt\r\nRMD x").code(), ErrorCode::InvalidParameter);
  std::string directory;
  EXPECT_TRUE(ftp.connection->getCurrentDirectory(directory));
}

TEST_F(FtpOperations, EverythingElseWaitsWhileAFileIsOpen) {
  writeFile(server_->root() / "busy.txt", "busy");
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  auto& connection = *ftp.connection;
  auto file = openFile(connection, "upload.txt", FileAccess::Write, TransferType::Binary);
  ASSERT_NE(file, nullptr);
  std::string directory;
  FindData entry;
  std::unique_ptr<RemoteFind> find;
  Status opened;
  EXPECT_EQ(connection.getCurrentDirectory(directory).code(), ErrorCode::FtpTransferInProgress);
  EXPECT_EQ(connection.findFirstFile("*", entry, find).code(), ErrorCode::FtpTransferInProgress);
  EXPECT_EQ(find, nullptr);
  EXPECT_EQ(openFile(connection, "busy.txt", FileAccess::Read, TransferType::Binary, &opened),
            nullptr);
  EXPECT_EQ(opened.code(), ErrorCode::FtpTransferInProgress);
  EXPECT_EQ(connection.deleteFile("busy.txt").code(), ErrorCode::FtpTransferInProgress);
  EXPECT_EQ(connection.putFile("/etc/hostname", "h.txt", TransferType::Binary).code(),
            ErrorCode::FtpTransferInProgress);
  ASSERT_TRUE(file->write("data", 4));
  ASSERT_TRUE(file->close());
  EXPECT_TRUE(connection.getCurrentDirectory(directory));
  EXPECT_EQ(readFile(server_->root() / "upload.txt"), "data");
}

TEST_F(FtpOperations, AFileOutlivesItsConnectionSafely) {
  auto ftp = std::make_unique<FtpTestSession>(*server_);
  ASSERT_NE(ftp->connection, nullptr);
  auto file = openFile(*ftp->connection, "orphan.txt", FileAccess::Write, TransferType::Binary);
  ASSERT_NE(file, nullptr);
  ftp.reset();
  EXPECT_EQ(file->close().code(), ErrorCode::InternetConnectionAborted);
}

TEST_F(FtpOperations, ServerTextSelectsThePort) {
  InternetSession session("Vorn FTP Client");
  session.setTimeouts(shortTimeouts());
  const std::string port = std::to_string(server_->port());
  EXPECT_TRUE(succeeded(openAs(session, "127.0.0.1:" + port)));
  EXPECT_TRUE(succeeded(openAs(session, "localhost:" + port)));
  EXPECT_EQ(openAs(session, "127.0.0.1:x").code(), ErrorCode::InternetInvalidUrl);
}

TEST_F(FtpOperations, AWrongPasswordGivesTheServersReply) {
  InternetSession session("Vorn FTP Client");
  session.setTimeouts(shortTimeouts());
  const Status opened = openAs(session, server_->address(), "wrong");
  EXPECT_EQ(opened.code(), ErrorCode::InternetExtendedError);
  EXPECT_EQ(opened.serverText().substr(0, 4), "530 ");
}

TEST(FtpConnect, ARefusedLoginGivesTheServersReply) {
  test::TestFtpServer server({.faults = {"refuse-login"}});
  InternetSession session("Vorn FTP Client");
  session.setTimeouts(shortTimeouts());
  const Status opened = openAs(session, server.address());
  EXPECT_EQ(opened.code(), ErrorCode::InternetExtendedError);
  EXPECT_EQ(opened.serverText(), "530 Authentication failed.\r\n");
}

TEST(FtpConnect, AnUnknownHostIsNotResolved) {
  InternetSession session("Vorn FTP Client");
  session.setTimeouts(shortTimeouts());
  EXPECT_EQ(openAs(session, "nosuchhost.invalid", "p").code(), ErrorCode::InternetNameNotResolved);
}

TEST(FtpConnect, AClosedPortCannotBeConnected) {
  test::TestFtpServer server;
  const std::string address = server.address();
  server.stop();
  InternetSession session("Vorn FTP Client");
  session.setTimeouts(shortTimeouts());
  EXPECT_EQ(openAs(session, address).code(), ErrorCode::InternetCannotConnect);
  // Back on the same port, the same text connects again.
  server.start();
  EXPECT_TRUE(succeeded(openAs(session, address)));
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

// What the library does when the server misbehaves: faults injected by the loopback server.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/inet/TestSession.h"

namespace skyhaul::inet {
namespace {

using test::patternBytes;
using test::readFile;
using test::writeFile;
using Steady = std::chrono::steady_clock;

// A stalled server must not hold the caller much longer than the timeouts; far more than this
// means a wait without bound.
constexpr auto kHangLimit = std::chrono::seconds(15);

// The connection is dead: every call fails at once with connection aborted (returned).
Status expectDead(RemoteSession& connection) {
  std::string directory;
  const auto start = Steady::now();
  Status asked = connection.getCurrentDirectory(directory);
  EXPECT_EQ(asked.code(), ErrorCode::InternetConnectionAborted);
  EXPECT_LT(Steady::now() - start, std::chrono::seconds(1));
  return asked;
}

void expectAlive(RemoteSession& connection) {
  std::string directory;
  EXPECT_TRUE(succeeded(connection.getCurrentDirectory(directory)));
}

struct StallRow {
  const char* name;
  std::vector<std::string> faults;
  std::function<Status(RemoteSession&)> operation;
};

class Stall : public testing::TestWithParam<StallRow> {};

TEST_P(Stall, FailsWithATimeoutAndKillsTheConnection) {
  test::TestFtpServer server;
  writeFile(server.root() / "big.bin", patternBytes(300000));
  server.setFaults(GetParam().faults);
  FtpTestSession ftp(server);
  ASSERT_NE(ftp.connection, nullptr);
  const auto start = Steady::now();
  EXPECT_EQ(GetParam().operation(*ftp.connection).code(), ErrorCode::InternetTimeout);
  EXPECT_LT(Steady::now() - start, kHangLimit);
  static_cast<void>(expectDead(*ftp.connection));
}

Status openForUpload(RemoteSession& c) {
  std::unique_ptr<RemoteStream> file;
  return c.openStream("up.bin", FileAccess::Write, TransferType::Binary, 0, file);
}
Status openForDownload(RemoteSession& c) {
  std::unique_ptr<RemoteStream> file;
  return c.openStream("big.bin", FileAccess::Read, TransferType::Binary, 0, file);
}
Status listAll(RemoteSession& c) {
  FindData entry;
  std::unique_ptr<RemoteFind> find;
  return c.findFirstFile("*", entry, find);
}
Status readWhole(RemoteSession& c) {
  std::string bytes;
  return downloadInChunks(c, "big.bin", bytes);
}
Status changeDirectory(RemoteSession& c) { return c.setCurrentDirectory("/"); }

INSTANTIATE_TEST_SUITE_P(
    Rows, Stall,
    testing::Values(StallRow{"stor", {"stall:STOR"}, openForUpload},
                    StallRow{"retr", {"stall:RETR"}, openForDownload},
                    StallRow{"pasv", {"stall:PASV"}, openForDownload},
                    StallRow{"type", {"stall:TYPE"}, openForDownload},
                    StallRow{"list", {"no-mlst", "stall:LIST"}, listAll},
                    StallRow{"mlsd", {"stall:MLSD"}, listAll},
                    StallRow{"cwd", {"stall:CWD"}, changeDirectory},
                    StallRow{"data_part_way", {"stall-data:RETR:20000"}, readWhole}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FtpFault, AStalledGreetingTimesOutTheConnect) {
  test::TestFtpServer server({.faults = {"stall:USER"}});
  InternetSession session("Vorn FTP Client");
  session.setTimeouts(shortTimeouts());
  const auto start = Steady::now();
  std::unique_ptr<RemoteSession> connection;
  EXPECT_EQ(
      session.open(server.address(), test::kFtpUser, test::kFtpPassword, true, connection).code(),
      ErrorCode::InternetTimeout);
  EXPECT_EQ(connection, nullptr);
  EXPECT_LT(Steady::now() - start, kHangLimit);
}

TEST(FtpFault, A421EndsTheConnectionWithItsReplyKept) {
  test::TestFtpServer server({.faults = {"421:CWD"}});
  FtpTestSession ftp(server);
  ASSERT_NE(ftp.connection, nullptr);
  const Status changed = ftp.connection->setCurrentDirectory("/");
  EXPECT_EQ(changed.code(), ErrorCode::InternetExtendedError);
  EXPECT_EQ(changed.serverText(), "421 Service not available, closing control connection.\r\n");
  EXPECT_EQ(expectDead(*ftp.connection).serverText().substr(0, 4), "421 ");
}

TEST(FtpFault, A421InsteadOfTheTransferStartEndsTheConnection) {
  test::TestFtpServer server({.faults = {"421:STOR"}});
  FtpTestSession ftp(server);
  ASSERT_NE(ftp.connection, nullptr);
  Status opened;
  EXPECT_EQ(openFile(*ftp.connection, "x.bin", FileAccess::Write, TransferType::Binary, &opened),
            nullptr);
  EXPECT_EQ(opened.serverText().substr(0, 4), "421 ");
  static_cast<void>(expectDead(*ftp.connection));
}

TEST(FtpFault, AResetDownloadFailsAndTheConnectionStaysInStep) {
  test::TestFtpServer server({.faults = {"reset-data:RETR:50000"}});
  writeFile(server.root() / "big.bin", patternBytes(400000));
  FtpTestSession ftp(server);
  ASSERT_NE(ftp.connection, nullptr);
  std::string bytes;
  const Status read = downloadInChunks(*ftp.connection, "big.bin", bytes);
  EXPECT_TRUE(read.code() == ErrorCode::InternetConnectionReset ||
              read.code() == ErrorCode::InternetExtendedError)
      << read;
  expectAlive(*ftp.connection);
}

TEST(FtpFault, AResetUploadFails) {
  test::TestFtpServer server({.faults = {"reset-data:STOR:50000"}});
  FtpTestSession ftp(server);
  ASSERT_NE(ftp.connection, nullptr);
  EXPECT_FALSE(uploadInChunks(*ftp.connection, "up.bin", patternBytes(4 * 1024 * 1024), 65536));
  expectAlive(*ftp.connection);
}

class RefuseComplete : public testing::TestWithParam<int> {};

TEST_P(RefuseComplete, CloseReportsTheFinalReply) {
  const std::string code = std::to_string(GetParam());
  test::TestFtpServer server({.faults = {"refuse-complete:STOR:" + code}});
  FtpTestSession ftp(server);
  ASSERT_NE(ftp.connection, nullptr);
  const Status sent = uploadInChunks(*ftp.connection, "refused.bin", patternBytes(1000));
  EXPECT_EQ(sent.code(), ErrorCode::InternetExtendedError);
  EXPECT_EQ(sent.serverText().substr(0, 4), code + " ");
  EXPECT_FALSE(std::filesystem::exists(server.root() / "refused.bin"));
  expectAlive(*ftp.connection);
}

INSTANTIATE_TEST_SUITE_P(Codes, RefuseComplete, testing::Values(451, 452, 552));

TEST(FtpFault, PutFileReportsARefusalAtTheEnd) {
  test::TestFtpServer server({.faults = {"refuse-complete:STOR:452"}});
  test::TempDir local;
  writeFile(local.path() / "f.bin", "abc");
  FtpTestSession ftp(server);
  ASSERT_NE(ftp.connection, nullptr);
  const Status put =
      ftp.connection->putFile(local.prefix() + "f.bin", "f.bin", TransferType::Binary);
  EXPECT_EQ(put.code(), ErrorCode::InternetExtendedError);
  EXPECT_EQ(put.serverText().substr(0, 4), "452 ");
}

TEST(FtpFault, ARefusedStoreGivesTheServersReply) {
  test::TestFtpServer server({.faults = {"refuse:STOR:553"}});
  FtpTestSession ftp(server);
  ASSERT_NE(ftp.connection, nullptr);
  Status opened;
  EXPECT_EQ(openFile(*ftp.connection, "x.bin", FileAccess::Write, TransferType::Binary, &opened),
            nullptr);
  EXPECT_EQ(opened.code(), ErrorCode::InternetExtendedError);
  EXPECT_EQ(opened.serverText(), "553 Refused by the test server.\r\n");
  expectAlive(*ftp.connection);
}

TEST(FtpFault, AFaultForSomeTimesOnlyIsSpentAfterThem) {
  test::TestFtpServer server({.faults = {"refuse:DELE:550:times=1"}});
  writeFile(server.root() / "d.txt", "d");
  FtpTestSession ftp(server);
  ASSERT_NE(ftp.connection, nullptr);
  EXPECT_FALSE(ftp.connection->deleteFile("d.txt"));
  EXPECT_TRUE(ftp.connection->deleteFile("d.txt"));
  EXPECT_FALSE(std::filesystem::exists(server.root() / "d.txt"));
}

TEST(FtpFault, AnUnreachablePassiveAddressIsReplacedByThePeer) {
  test::TestFtpServer server({.faults = {"pasv-address:10.1.2.3"}});
  FtpTestSession ftp(server);
  ASSERT_NE(ftp.connection, nullptr);
  const std::string bytes = patternBytes(10000);
  ASSERT_TRUE(succeeded(uploadInChunks(*ftp.connection, "nat.bin", bytes)));
  std::string back;
  ASSERT_TRUE(downloadInChunks(*ftp.connection, "nat.bin", back));
  EXPECT_EQ(back, bytes);
}

class DropControl : public testing::TestWithParam<const char*> {};

TEST_P(DropControl, FailsTheTransferAndKillsTheConnection) {
  test::TestFtpServer server({.faults = {GetParam()}});
  writeFile(server.root() / "big.bin", patternBytes(2 * 1024 * 1024));
  FtpTestSession ftp(server);
  ASSERT_NE(ftp.connection, nullptr);
  const auto start = Steady::now();
  std::string bytes;
  const bool stored = std::string(GetParam()).find("STOR") != std::string::npos;
  const Status moved = stored
                           ? uploadInChunks(*ftp.connection, "up.bin", patternBytes(4 << 20), 65536)
                           : downloadInChunks(*ftp.connection, "big.bin", bytes);
  EXPECT_FALSE(moved);
  EXPECT_NE(moved.code(), ErrorCode::InternetTimeout);
  EXPECT_LT(Steady::now() - start, kHangLimit);
  static_cast<void>(expectDead(*ftp.connection));
}

INSTANTIATE_TEST_SUITE_P(Rows, DropControl,
                         testing::Values("drop-control:STOR:100000", "drop-control:RETR:100000"),
                         [](const auto& info) { return info.index == 0 ? "stor" : "retr"; });

TEST(FtpFault, AServerThatGoesAwayFailsTheNextCallAtOnce) {
  test::TestFtpServer server;
  FtpTestSession ftp(server);
  ASSERT_NE(ftp.connection, nullptr);
  server.stop();
  std::string directory;
  const auto start = Steady::now();
  const Status asked = ftp.connection->getCurrentDirectory(directory);
  EXPECT_TRUE(asked.code() == ErrorCode::InternetConnectionAborted ||
              asked.code() == ErrorCode::InternetConnectionReset)
      << asked;
  EXPECT_LT(Steady::now() - start, kHangLimit);
}

}  // namespace
}  // namespace skyhaul::inet

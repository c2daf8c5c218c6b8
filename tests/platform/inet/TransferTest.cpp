// Streamed and whole-file transfers against the loopback server: the bytes on both sides.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "platform/inet/TestSession.h"
#include "support/TempDir.h"

namespace skyhaul::inet {
namespace {

using test::patternBytes;
using test::readFile;
using test::writeFile;

class FtpTransfer : public SharedServer<FtpTransfer> {};

class RoundTrip : public FtpTransfer, public testing::WithParamInterface<std::size_t> {};

TEST_P(RoundTrip, KeepsEveryByte) {
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  const std::size_t size = GetParam();
  const std::string bytes = patternBytes(size, static_cast<unsigned>(size));
  const std::string name = "round-" + std::to_string(size) + ".bin";
  ASSERT_TRUE(succeeded(uploadInChunks(*ftp.connection, name, bytes)));
  EXPECT_EQ(readFile(server_->root() / name), bytes);
  std::string back;
  ASSERT_TRUE(succeeded(downloadInChunks(*ftp.connection, name, back)));
  EXPECT_EQ(back, bytes);
}

// The bytes taken straight from a local file, after some written from memory, arrive in order.
TEST_P(RoundTrip, KeepsEveryByteSentStraightFromAFile) {
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  const std::size_t size = GetParam();
  const std::string bytes = patternBytes(size, static_cast<unsigned>(size) + 1);
  test::TempDir local;
  writeFile(local.path() / "source", bytes);
  const int fd = ::open((local.path() / "source").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  auto file = openFile(*ftp.connection, "direct.bin", FileAccess::Write, TransferType::Binary);
  ASSERT_NE(file, nullptr);
  const std::size_t head = std::min<std::size_t>(size, 100);
  ASSERT_TRUE(file->write(bytes.data(), head));
  for (std::size_t at = head; at < size; at += 16320) {
    const std::size_t piece = std::min<std::size_t>(16320, size - at);
    ASSERT_TRUE(succeeded(file->writeFromFile(fd, static_cast<std::int64_t>(at), piece)));
  }
  ::close(fd);  // the stream sends from a handle of its own
  ASSERT_TRUE(succeeded(file->close()));
  EXPECT_EQ(readFile(server_->root() / "direct.bin"), bytes);
}

// Around the 255-byte chunk and the 128 KiB buffer, and a few MiB of odd size.
INSTANTIATE_TEST_SUITE_P(Sizes, RoundTrip,
                         testing::Values(0, 100, 255, 510, 600, 131072, 131073,
                                         3 * 1024 * 1024 + 77));

// A file that ends before the range asked of it is a read fault, and the upload never counts.
TEST_F(FtpTransfer, AFileShorterThanItsRangeFailsTheUpload) {
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  test::TempDir local;
  writeFile(local.path() / "short", patternBytes(1000));
  const int fd = ::open((local.path() / "short").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  auto file = openFile(*ftp.connection, "short.bin", FileAccess::Write, TransferType::Binary);
  ASSERT_NE(file, nullptr);
  Status handed = file->writeFromFile(fd, 0, 600 * 1024);
  if (handed) handed = file->close();
  EXPECT_EQ(handed.code(), ErrorCode::ReadFault);
  ::close(fd);
}

TEST_F(FtpTransfer, AsciiTypeIsSentForAsciiTransfers) {
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  // The server turns CR LF into LF on an ASCII upload; a binary one keeps them.
  const std::string text = "one\r\ntwo\r\n";
  auto file = openFile(*ftp.connection, "text.txt", FileAccess::Write, TransferType::Ascii);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->write(text.data(), text.size()));
  ASSERT_TRUE(file->close());
  EXPECT_EQ(readFile(server_->root() / "text.txt"), "one\ntwo\n");
  ASSERT_TRUE(uploadInChunks(*ftp.connection, "binary.txt", text));
  EXPECT_EQ(readFile(server_->root() / "binary.txt"), text);
}

TEST_F(FtpTransfer, DownloadClosedEarlyLeavesTheConnectionUsable) {
  writeFile(server_->root() / "big.bin", patternBytes(2 * 1024 * 1024));
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  {
    auto file = openFile(*ftp.connection, "big.bin", FileAccess::Read, TransferType::Binary);
    ASSERT_NE(file, nullptr);
    char buffer[255];
    std::size_t got = 0;
    ASSERT_TRUE(file->read(buffer, sizeof buffer, got));
    EXPECT_EQ(got, sizeof buffer);
    static_cast<void>(file->close());  // a transfer broken off early: either outcome will do
  }
  std::string directory;
  EXPECT_TRUE(succeeded(ftp.connection->getCurrentDirectory(directory)));
  EXPECT_EQ(directory, "/");
  std::string back;
  writeFile(server_->root() / "small.bin", "small");
  EXPECT_TRUE(downloadInChunks(*ftp.connection, "small.bin", back));
  EXPECT_EQ(back, "small");
}

TEST_F(FtpTransfer, CloseTwiceGivesTheFirstResult) {
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  auto file = openFile(*ftp.connection, "twice.bin", FileAccess::Write, TransferType::Binary);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->close());
  EXPECT_TRUE(file->close());
  char byte = 'x';
  EXPECT_EQ(file->write(&byte, 1).code(), ErrorCode::InvalidHandle);
}

TEST_F(FtpTransfer, ReadingAnUploadIsRefused) {
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  auto file = openFile(*ftp.connection, "dir.bin", FileAccess::Write, TransferType::Binary);
  ASSERT_NE(file, nullptr);
  char byte = 0;
  std::size_t got = 0;
  EXPECT_EQ(file->read(&byte, 1, got).code(), ErrorCode::InvalidHandle);
}

TEST_F(FtpTransfer, MissingRemoteFileFailsWithTheServersReply) {
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  Status opened;
  EXPECT_EQ(
      openFile(*ftp.connection, "nosuch.bin", FileAccess::Read, TransferType::Binary, &opened),
      nullptr);
  EXPECT_EQ(opened.code(), ErrorCode::InternetExtendedError);
  EXPECT_EQ(opened.serverText().substr(0, 4), "550 ");
  // The connection goes on.
  std::string directory;
  EXPECT_TRUE(ftp.connection->getCurrentDirectory(directory));
}

TEST_F(FtpTransfer, PutFileAndGetFileReplaceTheTarget) {
  test::TempDir local;
  const std::string bytes = patternBytes(300000, 7);
  writeFile(local.path() / "up.bin", bytes);
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  writeFile(server_->root() / "put.bin", std::string(500000, 'o'));  // longer: must shrink
  ASSERT_TRUE(succeeded(
      ftp.connection->putFile(local.prefix() + "up.bin", "put.bin", TransferType::Binary)));
  EXPECT_EQ(readFile(server_->root() / "put.bin"), bytes);
  writeFile(local.path() / "down.bin", std::string(400000, 'x'));
  ASSERT_TRUE(succeeded(
      ftp.connection->getFile("put.bin", local.prefix() + "down.bin", TransferType::Binary)));
  EXPECT_EQ(readFile(local.path() / "down.bin"), bytes);
}

TEST_F(FtpTransfer, PutFileOfAMissingLocalFileLeavesTheServerAlone) {
  test::TempDir local;
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  EXPECT_EQ(
      ftp.connection->putFile(local.prefix() + "nosuch.bin", "never.bin", TransferType::Binary)
          .code(),
      ErrorCode::FileNotFound);
  EXPECT_FALSE(std::filesystem::exists(server_->root() / "never.bin"));
}

TEST_F(FtpTransfer, GetFileFailsWithALocalCodeWhenTheTargetCannotBeWritten) {
  test::TempDir local;
  writeFile(server_->root() / "g.bin", "payload");
  writeFile(local.path() / "plain", "a file, not a folder");
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  EXPECT_EQ(
      ftp.connection->getFile("g.bin", local.prefix() + "plain/g.bin", TransferType::Binary).code(),
      ErrorCode::PathNotFound);
  EXPECT_EQ(ftp.connection->getFile("g.bin", "/dev/full", TransferType::Binary).code(),
            ErrorCode::DiskFull);
  // Still in step with the server afterwards.
  ASSERT_TRUE(ftp.connection->getFile("g.bin", local.prefix() + "g.bin", TransferType::Binary));
  EXPECT_EQ(readFile(local.path() / "g.bin"), "payload");
}

TEST_F(FtpTransfer, GetFileOfAMissingRemoteFileLeavesTheLocalFileAlone) {
  test::TempDir local;
  writeFile(local.path() / "keep.bin", "keep me");
  FtpTestSession ftp(*server_);
  ASSERT_NE(ftp.connection, nullptr);
  EXPECT_EQ(ftp.connection->getFile("nosuch.bin", local.prefix() + "keep.bin", TransferType::Binary)
                .code(),
            ErrorCode::InternetExtendedError);
  EXPECT_EQ(readFile(local.path() / "keep.bin"), "keep me");
}

TEST_F(FtpTransfer, ActiveModeTransfersAndLists) {
  FtpTestSession ftp(*server_, false);
  ASSERT_NE(ftp.connection, nullptr);
  const std::string bytes = patternBytes(200000, 3);
  ASSERT_TRUE(succeeded(uploadInChunks(*ftp.connection, "active.bin", bytes)));
  std::string back;
  ASSERT_TRUE(succeeded(downloadInChunks(*ftp.connection, "active.bin", back)));
  EXPECT_EQ(back, bytes);
  FindData entry;
  std::unique_ptr<RemoteFind> find;
  ASSERT_TRUE(succeeded(ftp.connection->findFirstFile("active.bin", entry, find)));
  EXPECT_EQ(entry.fileSize, 200000);
}

// In active mode only the server may connect to us: another host that gets there first is
// turned away, and the data is the server's.
TEST_F(FtpTransfer, ActiveModeTakesTheDataOnlyFromTheServer) {
  const std::string bytes = patternBytes(3000, 5);
  test::writeFile(server_->root() / "real.bin", bytes);
  server_->setFaults({"active-intruder:127.0.0.2"});
  FtpTestSession ftp(*server_, false);
  ASSERT_NE(ftp.connection, nullptr);
  std::string back;
  ASSERT_TRUE(succeeded(downloadInChunks(*ftp.connection, "real.bin", back)));
  EXPECT_EQ(back, bytes);
}

TEST(FtpIpv6, TransfersOverLoopback) {
  if (::access("/proc/net/if_inet6", R_OK) != 0) GTEST_SKIP() << "no IPv6 on this machine";
  test::TestFtpServer server({.faults = {}, .ipv6 = true, .port = 0});
  for (bool passive : {true, false}) {
    FtpTestSession ftp(server, passive);
    ASSERT_NE(ftp.connection, nullptr);
    const std::string bytes = patternBytes(70000, passive ? 1 : 2);
    ASSERT_TRUE(succeeded(uploadInChunks(*ftp.connection, "v6.bin", bytes)));
    std::string back;
    ASSERT_TRUE(succeeded(downloadInChunks(*ftp.connection, "v6.bin", back)));
    EXPECT_EQ(back, bytes);
  }
}

}  // namespace
}  // namespace skyhaul::inet

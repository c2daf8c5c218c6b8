#include <gtest/gtest.h>

#include <algorithm>

#include "ftp/cFTPTestBase.h"
#include "platform/inet/InternetSession.h"

namespace skyhaul::test {
namespace {

using std::chrono::milliseconds;

class cFTPTransfers : public cFTPTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(cFTPTransfers, UploadStoresTheExactBytesWithOneEventPerChunk) {
  const std::size_t size = GetParam();
  const std::string bytes = patternBytes(size, 7);
  writeFile(local("up.bin"), bytes);
  ASSERT_TRUE(connect());
  std::string sLocal = local("up.bin");
  std::string sRemote = "up.bin";

  EXPECT_TRUE(ftp->FTPUploadFile(sLocal, sRemote)) << ftp->GetLastErrorMessage();
  EXPECT_EQ(readFile(remote("up.bin")), bytes);
  EXPECT_EQ(events.progress, expectedEvents(static_cast<std::int64_t>(size)));
  EXPECT_EQ(events.label11, (std::vector<std::string>{"Konec.", "INTERNET CLOSE"}));
  EXPECT_EQ(clock.sleeps, std::vector<milliseconds>{milliseconds(1000)});
  EXPECT_EQ(ftp->GetLastErrorMessage(), "");
}

TEST_P(cFTPTransfers, DownloadWritesTheExactBytesWithOneEventPerChunk) {
  const std::size_t size = GetParam();
  const std::string bytes = patternBytes(size, 11);
  writeFile(remote("down.bin"), bytes);
  ASSERT_TRUE(connect());
  std::string sLocal = local("down.bin");
  std::string sRemote = "down.bin";

  EXPECT_TRUE(ftp->FTPDownloadFile(sLocal, sRemote)) << ftp->GetLastErrorMessage();
  EXPECT_EQ(readFile(local("down.bin")), bytes);
  EXPECT_EQ(events.progress, expectedEvents(static_cast<std::int64_t>(size)));
  EXPECT_TRUE(events.label11.empty());
  EXPECT_TRUE(clock.sleeps.empty());
}

// 0: an empty file; 100: the last chunk alone; 255 and 510: full chunks only; 600: two full
// chunks and 90 bytes; and a few MiB of odd size.
INSTANTIATE_TEST_SUITE_P(Sizes, cFTPTransfers,
                         ::testing::Values(0, 1, 100, 254, 255, 256, 510, 600,
                                           3 * 1024 * 1024 + 77));

TEST_F(cFTPTest, DownloadReplacesALongerLocalFileEntirely) {
  writeFile(remote("short.txt"), "new");
  writeFile(local("short.txt"), "an old and much longer content");
  ASSERT_TRUE(connect());
  std::string sLocal = local("short.txt");
  std::string sRemote = "short.txt";
  ASSERT_TRUE(ftp->FTPDownloadFile(sLocal, sRemote));
  EXPECT_EQ(readFile(local("short.txt")), "new");
}

TEST_F(cFTPTest, NamesAreTrimmedInPlaceAndBlankNamesFailAtOnce) {
  writeFile(local("t.txt"), "trimmed");
  ASSERT_TRUE(connect());
  std::string sLocal = "  " + local("t.txt") + " ";
  std::string sRemote = " t.txt ";
  ASSERT_TRUE(ftp->FTPUploadFile(sLocal, sRemote));
  EXPECT_EQ(sLocal, local("t.txt"));
  EXPECT_EQ(sRemote, "t.txt");
  EXPECT_EQ(readFile(remote("t.txt")), "trimmed");

  std::string blank = "   ";
  std::string name = "t.txt";
  EXPECT_FALSE(ftp->FTPUploadFile(blank, name));
  EXPECT_EQ(blank, "");
  std::string blankRemote = "  ";
  std::string target = local("t2.txt");
  EXPECT_FALSE(ftp->FTPDownloadFile(target, blankRemote));
  EXPECT_EQ(blankRemote, "");
  EXPECT_EQ(ftp->GetLastErrorMessage(), "");
}

TEST_F(cFTPTest, UploadOfAMissingSourceFailsWithoutCreatingTheRemoteFile) {
  ASSERT_TRUE(connect());
  std::string sLocal = local("missing.txt");
  std::string sRemote = "missing.txt";
  EXPECT_FALSE(ftp->FTPUploadFile(sLocal, sRemote));
  EXPECT_EQ(ftp->GetLastErrorMessage(),
            "OpenLocalFile error code: 2 Message: " +
                platform::messageFor(platform::ErrorCode::FileNotFound));
  EXPECT_FALSE(std::filesystem::exists(remote("missing.txt")));
}

TEST_F(cFTPTest, DownloadIntoAFullDiskFailsWithTheLocalCause) {
  writeFile(remote("big.bin"), patternBytes(300000));
  ASSERT_TRUE(connect());
  std::string sLocal = "/dev/full";
  std::string sRemote = "big.bin";
  EXPECT_FALSE(ftp->FTPDownloadFile(sLocal, sRemote));
  EXPECT_EQ(ftp->GetLastErrorMessage().rfind("WriteLocalFile error code: 112 Message: ", 0), 0u)
      << ftp->GetLastErrorMessage();
  // The connection is still usable for the next file.
  EXPECT_EQ(ftp->GetFTPFileSize("big.bin"), 300000);
}

TEST_F(cFTPTest, DownloadIntoAMissingFolderFailsAndLeavesTheServerAlone) {
  writeFile(remote("a.txt"), "abc");
  ASSERT_TRUE(connect());
  std::string sLocal = folder.prefix() + "no/such/dir/a.txt";
  std::string sRemote = "a.txt";
  EXPECT_FALSE(ftp->FTPDownloadFile(sLocal, sRemote));
  EXPECT_EQ(ftp->GetLastErrorMessage().rfind("OpenLocalFile error code: 2 ", 0), 0u);
  EXPECT_EQ(ftp->GetFTPFileSize("a.txt"), 3);
}

TEST_F(cFTPTest, ActiveModeTransfersBothWays) {
  ftp->SetModeActive();
  writeFile(local("act.bin"), patternBytes(70000, 3));
  ASSERT_TRUE(connect());
  std::string sLocal = local("act.bin");
  std::string sRemote = "act.bin";
  ASSERT_TRUE(ftp->FTPUploadFile(sLocal, sRemote)) << ftp->GetLastErrorMessage();
  std::string back = local("back.bin");
  ASSERT_TRUE(ftp->FTPDownloadFile(back, sRemote)) << ftp->GetLastErrorMessage();
  EXPECT_EQ(readFile(local("back.bin")), patternBytes(70000, 3));
}

TEST_F(cFTPTest, TransfersWithoutAConnectionFailWithTheOpenFileText) {
  writeFile(local("x.txt"), "x");
  std::string sLocal = local("x.txt");
  std::string sRemote = "x.txt";
  EXPECT_FALSE(ftp->FTPUploadFile(sLocal, sRemote));
  EXPECT_EQ(ftp->GetLastErrorMessage().rfind("FtpOpenFile:PutFile error code: 6 ", 0), 0u);
  EXPECT_FALSE(ftp->FTPDownloadFile(sLocal, sRemote));
  EXPECT_EQ(ftp->GetLastErrorMessage().rfind("FtpFindFirstFile error code: 6 ", 0), 0u);
}

}  // namespace
}  // namespace skyhaul::test

namespace skyhaul::test {
namespace {

// In ASCII type the server sends CR LF line ends, so more bytes arrive than the file holds.
TEST_F(cFTPTest, AnAsciiDownloadIsNotFailedForItsLineEnds) {
  writeFile(remote("text.txt"), std::string(300, 'a') + "\nline two\nthree\n");
  ASSERT_TRUE(connect());
  ftp->SetTransferASCII();
  std::string sLocal = local("text.txt");
  std::string sRemote = "text.txt";
  EXPECT_TRUE(ftp->FTPDownloadFile(sLocal, sRemote)) << ftp->GetLastErrorMessage();
  EXPECT_EQ(readFile(local("text.txt")), std::string(300, 'a') + "\r\nline two\r\nthree\r\n");
  ftp->SetTransferBinary();
  EXPECT_TRUE(ftp->FTPDownloadFile(sLocal, sRemote)) << ftp->GetLastErrorMessage();
  EXPECT_EQ(readFile(local("text.txt")), std::string(300, 'a') + "\nline two\nthree\n");
}

// The window's handlers run during a yield; whatever they do, even another failing call on the
// same connection, the failure's own code and reply are kept.
TEST_F(cFTPTest, AFailedOpenKeepsItsOwnCodeAcrossTheYield) {
  class BusyEvents final : public ftp::cFTPEvents {
   public:
    explicit BusyEvents(ftp::cFTP& client) : client_(client) {}
    void FileTransferProgress(const std::int64_t&, const std::int64_t&) override {}
    void yield() override { client_.SetFTPDirectory("no such folder"); }
    void setLabel11(const std::string&) override {}

   private:
    ftp::cFTP& client_;
  } busy(*ftp);
  writeFile(remote("gone.bin"), "x");
  server.setFaults({"refuse:RETR:550"});
  ASSERT_TRUE(connect());
  ftp->setEvents(&busy);
  std::string sLocal = local("gone.bin");
  std::string sRemote = "gone.bin";
  EXPECT_FALSE(ftp->FTPDownloadFile(sLocal, sRemote));
  EXPECT_EQ(ftp->GetLastErrorMessage(), "550 Refused by the test server.\r\n");
}

}  // namespace
}  // namespace skyhaul::test

namespace skyhaul::test {
namespace {

// An upload counts only once the server tells the size it stored, with SIZE or else MLST; a
// server that offers neither is taken at its final reply.
TEST(cFTPUploadCheck, TheStoredSizeIsAskedWhereTheServerCanTell) {
  struct Case {
    std::vector<std::string> faults;
    const char* asked;  // the command that asks, or "" for none
    bool stored;        // the upload counts
  };
  for (const Case& c : std::vector<Case>{
           {{}, "SIZE in/up.bin", true},
           {{"no-size"}, "MLST in/up.bin", true},
           {{"no-size", "no-mlst"}, "", true},
           {{"stor-keep:100"}, "SIZE in/up.bin", false},
           {{"stor-keep:100", "no-size"}, "MLST in/up.bin", false},
           {{"stor-keep:100", "no-size", "no-mlst"}, "", true},  // nothing can tell
       }) {
    TestFtpServer server({.faults = c.faults});
    std::filesystem::create_directory(server.root() / "in");
    TempDir folder;
    FakeClock clock;
    ftp::cFTP ftp(clock);
    ftp.SetModePassive();
    ftp.SetTransferBinary();
    ASSERT_TRUE(ftp.OpenConnection(server.address(), kFtpUser, kFtpPassword));
    writeFile(folder.path() / "up.bin", patternBytes(600, 3));
    std::string sLocal = folder.prefix() + "up.bin";
    std::string sRemote = "in/up.bin";
    EXPECT_EQ(ftp.FTPUploadFile(sLocal, sRemote), c.stored) << c.asked;
    const auto commands = server.commandsOf(1);
    const auto stor = std::find(commands.begin(), commands.end(), "STOR in/up.bin");
    ASSERT_NE(stor, commands.end());
    EXPECT_EQ(stor + 1 != commands.end() ? *(stor + 1) : std::string(), c.asked);
    if (!c.stored) {
      EXPECT_EQ(ftp.GetLastErrorMessage(),
                "VerifyUpload error code: 12116 Message: " +
                    platform::messageFor(platform::ErrorCode::StoredSizeMismatch) +
                    " (100 od 600)");
      EXPECT_FALSE(std::filesystem::exists(server.root() / "in/up.bin")) << "a part is left";
    }
  }
}

}  // namespace
}  // namespace skyhaul::test

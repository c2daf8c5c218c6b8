// Connecting, the error text and the remote operations of cFTP.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "ftp/cFTPTestBase.h"
#include "platform/inet/InternetSession.h"
#include "support/TestCertificates.h"

namespace skyhaul::test {
namespace {

// The listing's names in byte order: the server's own order is its business.
std::string sortedListing(const std::string& listing) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (!listing.empty()) {
    const auto comma = listing.find(',', start);
    names.push_back(listing.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  std::sort(names.begin(), names.end());
  std::string joined;
  for (const auto& name : names) joined += (joined.empty() ? "" : ",") + name;
  return joined;
}

std::string libraryText(const std::string& source, platform::ErrorCode code) {
  return source + " error code: " + std::to_string(static_cast<int>(code)) +
         " Message: " + platform::messageFor(code);
}

TEST_F(cFTPTest, NoTextBeforeTheFirstFailureAndASuccessKeepsTheLastOne) {
  EXPECT_EQ(ftp->GetLastErrorMessage(), "");
  ftp->CloseConnection();
  EXPECT_EQ(ftp->GetLastErrorMessage(), "");
  ASSERT_TRUE(connect());
  EXPECT_FALSE(ftp->SetFTPDirectory("/no/such/dir"));
  const std::string failure = ftp->GetLastErrorMessage();
  EXPECT_TRUE(ftp->SetFTPDirectory("/"));
  EXPECT_EQ(ftp->GetLastErrorMessage(), failure);
}

TEST_F(cFTPTest, AServerRefusalIsTheServersReplyAlone) {
  ASSERT_TRUE(connect());
  EXPECT_FALSE(ftp->SetFTPDirectory("/no/such/dir"));
  const std::string text = ftp->GetLastErrorMessage();
  EXPECT_EQ(text.substr(0, 4), "550 ") << text;
  EXPECT_EQ(text.find("error code"), std::string::npos);
}

TEST_F(cFTPTest, ConnectFailuresNameTheSourceCodeAndMessage) {
  EXPECT_FALSE(ftp->OpenConnection("nosuchhost.invalid", kFtpUser, kFtpPassword));
  EXPECT_EQ(ftp->GetLastErrorMessage(),
            libraryText("InternetConnect", platform::ErrorCode::InternetNameNotResolved));

  const int closedPort = server.port();
  server.stop();
  EXPECT_FALSE(
      ftp->OpenConnection("127.0.0.1:" + std::to_string(closedPort), kFtpUser, kFtpPassword));
  EXPECT_EQ(ftp->GetLastErrorMessage(),
            libraryText("InternetConnect", platform::ErrorCode::InternetCannotConnect));
}

// Only the replies to USER and PASS can quote the password: a later reply that happens to hold
// the same word stays whole.
FtpServerOptions withPassword(const char* password) {
  FtpServerOptions options;
  options.password = password;
  return options;
}

class cFTPPasswordTest : public cFTPTest {
 protected:
  cFTPPasswordTest() : cFTPTest(withPassword("server")) {}
};

TEST_F(cFTPPasswordTest, OnlyTheLoginsRepliesAreMasked) {
  server.setFaults({"echo-password:530"});
  EXPECT_FALSE(ftp->OpenConnection(server.address(), kFtpUser, "server"));
  EXPECT_EQ(ftp->GetLastErrorMessage(), "530 Password **** not accepted.\r\n");
  server.setFaults({"refuse:MKD:553"});
  ASSERT_TRUE(ftp->OpenConnection(server.address(), kFtpUser, "server"));
  EXPECT_FALSE(ftp->CreateFTPDirectory("d"));
  EXPECT_EQ(ftp->GetLastErrorMessage(), "553 Refused by the test server.\r\n");
}

TEST_F(cFTPTest, ARefusedLoginReportsTheServersReply) {
  EXPECT_FALSE(ftp->OpenConnection(server.address(), kFtpUser, "wrong"));
  EXPECT_EQ(ftp->GetLastErrorMessage().substr(0, 4), "530 ") << ftp->GetLastErrorMessage();
}

TEST_F(cFTPTest, AFailedReconnectLeavesTheObjectUnconnected) {
  ASSERT_TRUE(connect());
  EXPECT_FALSE(ftp->OpenConnection(server.address(), kFtpUser, "wrong"));
  EXPECT_EQ(ftp->GetFTPDirectory(), "");
  EXPECT_EQ(ftp->GetLastErrorMessage(),
            libraryText("FtpGetCurrentDirectory", platform::ErrorCode::InvalidHandle));
}

TEST_F(cFTPTest, ListingIsBareNamesInTheServersOrderJoinedByCommas) {
  writeFile(remote("a.txt"), "1");
  writeFile(remote("b.txt"), "22");
  writeFile(remote("c.dat"), "333");
  std::filesystem::create_directory(remote("in"));
  writeFile(remote("in/x.txt"), "4444");
  std::filesystem::create_directory(remote("sub.txt"));
  ASSERT_TRUE(connect());
  ftp->SetFTPDirectory("/no/such");  // leaves a text that the listing must not replace
  const std::string before = ftp->GetLastErrorMessage();

  EXPECT_EQ(sortedListing(ftp->GetFTPdir("*.txt")), "a.txt,b.txt,sub.txt");
  EXPECT_EQ(ftp->GetFTPdir("b.txt"), "b.txt");
  EXPECT_EQ(ftp->GetFTPdir("in/x.txt"), "x.txt");
  EXPECT_EQ(ftp->GetFTPdir("/in/*.txt"), "x.txt");
  EXPECT_EQ(ftp->GetFTPdir("*.none"), "");
  EXPECT_EQ(ftp->GetLastErrorMessage(), before);
}

TEST_F(cFTPTest, FileSizeTellsMissingFromFailure) {
  writeFile(remote("empty.txt"), "");
  writeFile(remote("five.txt"), "12345");
  ASSERT_TRUE(connect());
  EXPECT_EQ(ftp->GetFTPFileSize("five.txt"), 5);
  EXPECT_EQ(ftp->GetFTPFileSize("empty.txt"), 0);
  EXPECT_EQ(ftp->GetFTPFileSize("missing.txt"), -1);
  EXPECT_EQ(ftp->GetLastErrorMessage(), "");
  ftp->CloseConnection();
  EXPECT_EQ(ftp->GetFTPFileSize("five.txt"), -2);
  EXPECT_EQ(ftp->GetLastErrorMessage(),
            libraryText("FtpFindFirstFile", platform::ErrorCode::InvalidHandle));
}

TEST_F(cFTPTest, DirectoryAndFileOperationsReachTheServer) {
  writeFile(remote("old.txt"), "content");
  ASSERT_TRUE(connect());
  EXPECT_EQ(ftp->GetFTPDirectory(), "/");
  EXPECT_TRUE(ftp->CreateFTPDirectory("made"));
  EXPECT_TRUE(ftp->SetFTPDirectory("made"));
  EXPECT_EQ(ftp->GetFTPDirectory(), "/made");
  EXPECT_TRUE(ftp->SetFTPDirectory("/"));
  EXPECT_TRUE(ftp->RenameFTPFile("old.txt", "made/new.txt"));
  EXPECT_EQ(readFile(remote("made/new.txt")), "content");
  EXPECT_FALSE(ftp->RemoveFTPDirectory("made"));
  EXPECT_EQ(ftp->GetLastErrorMessage().substr(0, 3), "550");
  EXPECT_TRUE(ftp->DeleteFTPFile("made/new.txt"));
  EXPECT_TRUE(ftp->RemoveFTPDirectory("made"));
  EXPECT_FALSE(std::filesystem::exists(remote("made")));
  EXPECT_FALSE(ftp->DeleteFTPFile("made/new.txt"));
  EXPECT_FALSE(ftp->RenameFTPFile("nothing", "x"));
}

TEST_F(cFTPTest, WholeFileTransfersReplaceAnExistingLocalFile) {
  writeFile(local("put.bin"), patternBytes(100000, 2));
  writeFile(local("got.bin"), std::string(200000, 'x'));
  ASSERT_TRUE(connect());
  ASSERT_TRUE(ftp->SimpleFTPPutFile(local("put.bin"), "put.bin"));
  ASSERT_TRUE(ftp->SimpleFTPGetFile(local("got.bin"), "put.bin"));
  EXPECT_EQ(readFile(local("got.bin")), patternBytes(100000, 2));
  EXPECT_FALSE(ftp->SimpleFTPGetFile(local("got.bin"), "missing.bin"));
  EXPECT_EQ(ftp->GetLastErrorMessage().substr(0, 3), "550");
  EXPECT_FALSE(ftp->SimpleFTPPutFile(local("missing.bin"), "x.bin"));
  EXPECT_EQ(ftp->GetLastErrorMessage(),
            libraryText("SimpleFtpPutFile", platform::ErrorCode::FileNotFound));
}

TEST(cFTPIpv6, TransfersOverIpv6Loopback) {
  if (::access("/proc/net/if_inet6", F_OK) != 0) GTEST_SKIP() << "no IPv6 on this machine";
  TestFtpServer server({.faults = {}, .ipv6 = true, .port = 0});
  FakeClock clock;
  ftp::cFTP client(clock);
  client.SetModePassive();
  client.SetTransferBinary();
  ASSERT_TRUE(client.OpenConnection(server.address(), kFtpUser, kFtpPassword))
      << client.GetLastErrorMessage();
  TempDir folder;
  writeFile(folder.path() / "six.txt", "over v6");
  std::string sLocal = folder.prefix() + "six.txt";
  std::string sRemote = "six.txt";
  EXPECT_TRUE(client.FTPUploadFile(sLocal, sRemote)) << client.GetLastErrorMessage();
  EXPECT_EQ(readFile(server.root() / "six.txt"), "over v6");
}

}  // namespace
}  // namespace skyhaul::test

namespace skyhaul::test {
namespace {

// The text of a refused certificate names the refusal and OpenSSL's reason for it.
TEST(cFTPTls, ARefusedCertificateSaysWhy) {
  FtpServerOptions options;
  options.tls = FtpTls::Explicit;
  options.tlsCert = testCertificates().selfSignedCert;
  options.tlsKey = testCertificates().selfSignedKey;
  TestFtpServer server(options);
  FakeClock clock;
  ftp::cFTP ftp(clock);
  ftp.SetTrustedCertificates(testCertificates().caCert.string());
  EXPECT_FALSE(ftp.OpenConnection("ftpes://" + server.address(), kFtpUser, kFtpPassword));
  EXPECT_EQ(ftp.GetLastErrorMessage(),
            "InternetConnect error code: 12045 Message: Potrdilo strežnika ni vredno zaupanja. "
            "(self-signed certificate)");
}

}  // namespace
}  // namespace skyhaul::test

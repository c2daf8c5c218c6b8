// cFTP against a server that refuses, drops or stalls: every failure is a false result with a
// text, never an exception, and a refused upload is never reported as stored.
#include <gtest/gtest.h>

#include "ftp/cFTPTestBase.h"

namespace skyhaul::test {
namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

struct UploadFault {
  const char* name;
  const char* fault;
  const char* expectedTextStart;
};

class cFTPUploadFaults : public cFTPTest, public ::testing::WithParamInterface<UploadFault> {};

TEST_P(cFTPUploadFaults, UploadFailsWithTheServersReplyOrTheLibraryCause) {
  server.setFaults({GetParam().fault});
  writeFile(local("f.bin"), patternBytes(200000, 5));
  ASSERT_TRUE(connect());
  std::string sLocal = local("f.bin");
  std::string sRemote = "f.bin";
  EXPECT_FALSE(ftp->FTPUploadFile(sLocal, sRemote));
  EXPECT_TRUE(startsWith(ftp->GetLastErrorMessage(), GetParam().expectedTextStart))
      << ftp->GetLastErrorMessage();
  EXPECT_EQ(readFile(local("f.bin")), patternBytes(200000, 5));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, cFTPUploadFaults,
    ::testing::Values(UploadFault{"Stor550", "refuse:STOR:550", "550"},
                      UploadFault{"Stor553", "refuse:STOR:553", "553"},
                      UploadFault{"Complete451", "refuse-complete:STOR:451", "451"},
                      UploadFault{"Complete452", "refuse-complete:STOR:452", "452"},
                      UploadFault{"Complete552", "refuse-complete:STOR:552", "552"},
                      UploadFault{"Stall", "stall:STOR", "FtpOpenFile:PutFile error code: 12002 "},
                      UploadFault{"ControlDropped", "drop-control:STOR:100000", ""},
                      UploadFault{"Reply421", "421:STOR", "421"}),
    [](const auto& info) { return std::string(info.param.name); });

struct DownloadFault {
  const char* name;
  const char* fault;
  const char* expectedTextStart;
};

class cFTPDownloadFaults : public cFTPTest, public ::testing::WithParamInterface<DownloadFault> {};

TEST_P(cFTPDownloadFaults, DownloadFailsWithATextAndNeverClaimsTheFile) {
  server.setFaults({GetParam().fault});
  writeFile(remote("g.bin"), patternBytes(200000, 9));
  ASSERT_TRUE(connect());
  std::string sLocal = local("g.bin");
  std::string sRemote = "g.bin";
  EXPECT_FALSE(ftp->FTPDownloadFile(sLocal, sRemote));
  EXPECT_TRUE(startsWith(ftp->GetLastErrorMessage(), GetParam().expectedTextStart))
      << ftp->GetLastErrorMessage();
  EXPECT_FALSE(ftp->GetLastErrorMessage().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, cFTPDownloadFaults,
    ::testing::Values(DownloadFault{"Retr550", "refuse:RETR:550", "550"},
                      DownloadFault{"DataReset", "reset-data:RETR:100000", "InternetReadFile"},
                      DownloadFault{"ControlDropped", "drop-control:RETR:100000", "InternetRead"},
                      DownloadFault{"DataStalls", "stall-data:RETR:100000",
                                    "InternetReadFile error code: 12002 "},
                      DownloadFault{"Reply421", "421:RETR", "421"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(cFTPTest, ReconnectingAfterADroppedConnectionRestoresService) {
  server.setFaults({"drop-control:STOR:1000:times=1"});
  writeFile(local("r.bin"), patternBytes(50000));
  ASSERT_TRUE(connect());
  std::string sLocal = local("r.bin");
  std::string sRemote = "r.bin";
  EXPECT_FALSE(ftp->FTPUploadFile(sLocal, sRemote));
  ftp->CloseConnection();
  ASSERT_TRUE(connect()) << ftp->GetLastErrorMessage();
  EXPECT_TRUE(ftp->FTPUploadFile(sLocal, sRemote)) << ftp->GetLastErrorMessage();
  EXPECT_EQ(readFile(remote("r.bin")), patternBytes(50000));
}

}  // namespace
}  // namespace skyhaul::test

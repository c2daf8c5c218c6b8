// Whole jobs over FTPS with DEL both ways, against a server that demands TLS for the login and
// the data and refuses every data connection that does not resume the session.
#include <gtest/gtest.h>

#include "job/JobTestBase.h"
#include "support/TestCertificates.h"

namespace skyhaul::test {
namespace {

using platform::ExitStatus;

FtpServerOptions tlsOnly(const std::string& version) {
  FtpServerOptions options;
  options.tls = FtpTls::Explicit;
  options.tlsMin = version;
  options.tlsMax = version;
  return options;
}

class FtpsJob : public JobTest, public ::testing::WithParamInterface<const char*> {
 protected:
  FtpsJob() : JobTest(tlsOnly(GetParam())) {}

  // Settings whose section "job" reaches the server over explicit TLS.
  void writeTlsSettings(const std::string& localdir) {
    writeIni("[PROGRAM]\nIZBRANO=job\n[job]\nFTPURL=ftpes://" + server.address() +
             "\nftpdir=in/\nlocaldir=" + localdir +
             "\ncertifikat=" + testCertificates().caCert.string() + "\n");
    std::filesystem::permissions(program.path() / "ftpjob.ini", std::filesystem::perms::owner_read);
  }
};

TEST_P(FtpsJob, FilesGoUpAndComeBackByteForByte) {
  std::filesystem::create_directory(server.root() / "in");
  const std::vector<std::size_t> sizes = {0, 600, 3 * 1024 * 1024 + 77};
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    writeFile(local.path() / numberedName("f", static_cast<long>(i), ".bin"),
              patternBytes(sizes[i], i));
  }
  writeTlsSettings(local.prefix());
  ASSERT_EQ(run("*.bin,UP,DEL").status, ExitStatus::Completed) << view.statuses.back();
  EXPECT_TRUE(std::filesystem::is_empty(local.path()));

  TempDir back;
  writeTlsSettings(back.prefix());
  ASSERT_EQ(run("*.bin,DOWN,DEL").status, ExitStatus::Completed) << view.statuses.back();
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const std::string name = numberedName("f", static_cast<long>(i), ".bin");
    EXPECT_TRUE(readFile(back.path() / name) == patternBytes(sizes[i], i)) << name;
    EXPECT_FALSE(std::filesystem::exists(server.root() / "in" / name)) << name;
  }
  EXPECT_EQ(logLines().size(), 6u);
}

// Fifty files: three data connections each (the listing, the transfer, none for the size),
// every one of them resuming.
TEST_P(FtpsJob, FiftyFilesInOneJob) {
  std::filesystem::create_directory(server.root() / "in");
  for (int i = 0; i < 50; ++i) writeFile(local.path() / numberedName("m", i), "x");
  writeTlsSettings(local.prefix());
  ASSERT_EQ(run("m*,UP,DEL").status, ExitStatus::Completed) << view.statuses.back();
  EXPECT_TRUE(std::filesystem::is_empty(local.path()));
  ASSERT_EQ(run("m*,DOWN").status, ExitStatus::Completed) << view.statuses.back();
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(local.path()), {}), 50);
}

INSTANTIATE_TEST_SUITE_P(Versions, FtpsJob, ::testing::Values("1.2", "1.3"), [](const auto& info) {
  return std::string(info.param) == "1.2" ? "Tls12" : "Tls13";
});

}  // namespace
}  // namespace skyhaul::test

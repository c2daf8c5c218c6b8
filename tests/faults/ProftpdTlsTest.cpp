// Whole jobs against Debian's real proftpd with mod_tls over explicit TLS 1.3, which refuses
// every data connection that does not resume the control connection's session (its default):
// many data connections in one session, each resuming at the first try; and links in a listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "faults/Expectations.h"
#include "faults/FtpesJob.h"
#include "support/ProgramFolder.h"
#include "support/TempDir.h"
#include "support/TestProftpd.h"

namespace skyhaul::test {
namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 6;

std::size_t countOf(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::string numbered(int i) {
  std::string name = std::to_string(i);
  name.insert(0, 1, 'p');
  name += ".bin";
  return name;
}

// Done at the first try: one start, the end, no failure between (the server's digest may be
// checked meanwhile).
bool triedOnce(const std::vector<std::string>& statuses, const char* working) {
  return std::ranges::count(statuses, working) == 1 && !statuses.empty() &&
         statuses.front() == working && statuses.back() == kDone;
}

class ProftpdTls : public testing::Test {
 protected:
  void SetUp() override {
    if (const auto why = TestProftpd::unavailable({.tls = true}); !why.empty()) {
      GTEST_SKIP() << why;
    }
    server_ = std::make_unique<TestProftpd>(ProftpdOptions{.tls = true});
  }

  RunOutcome run(const fs::path& local, const std::string& command,
                 const std::string& ftpdir = "/") {
    return runFtpesJob(program_, work_.path(), {server_->address(), kFtpUser, kFtpPassword}, ftpdir,
                       local, command);
  }

  std::unique_ptr<TestProftpd> server_;
  ProgramFolder program_;
  TempDir local_;
  TempDir work_;
};

// proftpd hands out tickets on the control connection and on a download's data connection, none
// on an upload's: six uploads in a row resume too.
TEST_F(ProftpdTls, EveryDataConnectionResumesTheSessionUnderTls13) {
  for (int i = 0; i < kFiles; ++i) {
    writeFile(local_.path() / numbered(i), patternBytes(static_cast<std::size_t>(i) * 50021, i));
  }
  const RunOutcome up = run(local_.path(), "p*.bin,UP,DEL");
  ASSERT_EQ(up.exitStatus, kCompleted) << up.errors << server_->log();
  TempDir back;
  const RunOutcome down = run(back.path(), "p*.bin,DOWN");
  ASSERT_EQ(down.exitStatus, kCompleted) << down.errors << server_->log();

  for (int i = 0; i < kFiles; ++i) {
    const auto bytes = patternBytes(static_cast<std::size_t>(i) * 50021, i);
    EXPECT_TRUE(readFile(back.path() / numbered(i)) == bytes) << numbered(i);
    EXPECT_TRUE(triedOnce(statusesOf(up.errors, numbered(i)), kUploading)) << up.errors;
    EXPECT_TRUE(triedOnce(statusesOf(down.errors, numbered(i)), kDownloading)) << down.errors;
  }
  const std::string log = server_->log();
  EXPECT_EQ(countOf(log, "TLSv1.3 connection accepted"), 2u) << log;
  EXPECT_EQ(countOf(log, "did not reuse"), 0u) << log;
  // Six uploads, the listing and six downloads.
  EXPECT_EQ(countOf(log, "client reused TLS session for data connection"), 2u * kFiles + 1) << log;
}

// proftpd lists a link with the link's own size, and its MLST calls a link to a file a file of
// that size: a link to a folder is left out as a folder is, a link to a file arrives whole.
TEST_F(ProftpdTls, ALinkToAFolderIsLeftOutALinkToAFileArrives) {
  const fs::path in = server_->root() / "in";
  fs::create_directories(in / "realdir");
  writeFile(in / "realdir" / "inner.txt", "inside");
  writeFile(in / "a1.txt", "first");
  writeFile(in / "b2.txt", "second");
  fs::create_directory_symlink("realdir", in / "alink");
  fs::create_symlink("b2.txt", in / "c3link");
  const RunOutcome outcome = run(local_.path(), "*,DOWN", "in/");
  EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors << server_->log();
  EXPECT_EQ(readFile(local_.path() / "a1.txt"), "first");
  EXPECT_EQ(readFile(local_.path() / "b2.txt"), "second");
  EXPECT_EQ(readFile(local_.path() / "c3link"), "second");
  EXPECT_FALSE(fs::exists(local_.path() / "alink"));
  EXPECT_TRUE(statusesOf(outcome.errors, "alink").empty()) << outcome.errors;
}

}  // namespace
}  // namespace skyhaul::test

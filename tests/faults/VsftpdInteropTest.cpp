// Whole jobs against Debian's real vsftpd over explicit TLS, which negotiates TLS 1.3 and
// refuses every data connection that does not resume the control connection's session
// (require_ssl_reuse). What a client must get right only there: each of many data connections
// in one session resumes at the first try, a folder that is not there fails its listing
// although vsftpd lists it as empty, and a link to a folder is left out although vsftpd lists
// it with a size of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <ostream>

#include "faults/Expectations.h"
#include "faults/FtpesJob.h"
#include "support/ProgramFolder.h"
#include "support/TempDir.h"
#include "support/TestVsftpd.h"

namespace skyhaul::test {
namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 6;

std::size_t countOf(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class VsftpdInterop : public testing::Test {
 protected:
  void SetUp() override {
    if (const auto why = TestVsftpd::unavailable(); !why.empty()) GTEST_SKIP() << why;
    server_ = std::make_unique<TestVsftpd>();
  }

  RunOutcome run(const std::string& ftpdir, const fs::path& local, const std::string& command) {
    return runFtpesJob(program_, work_.path(), {server_->address(), TestVsftpd::kUser, "x"}, ftpdir,
                       local, command);
  }

  std::unique_ptr<TestVsftpd> server_;
  ProgramFolder program_;
  TempDir local_;
  TempDir work_;
};

std::string numbered(int i) {
  std::string name = std::to_string(i);
  name.insert(0, 1, 'f');
  name += ".bin";
  return name;
}

// Six uploads and a listing with six downloads, each job in one session: every data connection
// resumes at its first try, so no file is tried twice and vsftpd never answers 522.
TEST_F(VsftpdInterop, EveryDataConnectionResumesTheSessionUnderTls13) {
  fs::create_directory(server_->root() / "in");
  server_->giveFilesToServer();
  for (int i = 0; i < kFiles; ++i) {
    writeFile(local_.path() / numbered(i), patternBytes(static_cast<std::size_t>(i) * 70001, i));
  }
  const RunOutcome up = run("in/", local_.path(), "*.bin,UP,DEL");
  ASSERT_EQ(up.exitStatus, kCompleted) << up.errors << server_->log();
  TempDir back;
  const RunOutcome down = run("in/", back.path(), "*.bin,DOWN");
  ASSERT_EQ(down.exitStatus, kCompleted) << down.errors << server_->log();

  for (int i = 0; i < kFiles; ++i) {
    const auto bytes = patternBytes(static_cast<std::size_t>(i) * 70001, i);
    EXPECT_TRUE(readFile(server_->root() / "in" / numbered(i)) == bytes) << numbered(i);
    EXPECT_TRUE(readFile(back.path() / numbered(i)) == bytes) << numbered(i);
    EXPECT_EQ(statusesOf(up.errors, numbered(i)), (std::vector<std::string>{kUploading, kDone}));
    EXPECT_EQ(statusesOf(down.errors, numbered(i)),
              (std::vector<std::string>{kDownloading, kDone}));
  }
  const std::string log = server_->log();
  EXPECT_EQ(countOf(log, "522"), 0u) << log;
  EXPECT_NE(log.find("SSL version: TLSv1.3"), std::string::npos) << log;
  // One full handshake per job, the control connection's; all else resumed: six uploads, the
  // listing and six downloads.
  EXPECT_EQ(countOf(log, "not reused"), 2u) << log;
  EXPECT_EQ(countOf(log, ", reused"), 2u * kFiles + 1) << log;
  EXPECT_EQ(logLines(work_.path()).size(), 2u * kFiles);
}

struct Folder {
  const char* name;
  const char* ftpdir;
  bool exists;
};

void PrintTo(const Folder& folder, std::ostream* out) { *out << folder.name; }

class VsftpdFolders : public VsftpdInterop, public testing::WithParamInterface<Folder> {};

// vsftpd lists a folder that is not there as an empty one: the job still says that folder's
// listing failed (exit 6); an empty folder that is there is no failure.
TEST_P(VsftpdFolders, OnlyAFolderThatIsThereListsAsEmpty) {
  fs::create_directories(server_->root() / "empty");
  server_->giveFilesToServer();
  const Folder& folder = GetParam();
  const RunOutcome outcome = run(folder.ftpdir, local_.path(), "*,DOWN");
  std::string listed = folder.ftpdir;
  listed += '*';
  const auto statuses = statusesOf(outcome.errors, listed);
  if (folder.exists) {
    EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
    EXPECT_TRUE(statuses.empty()) << outcome.errors;
  } else {
    EXPECT_EQ(outcome.exitStatus, kListingFailed) << outcome.errors;
    ASSERT_EQ(statuses.size(), 1u) << outcome.errors;
    EXPECT_EQ(statuses[0], "Status napaka: 550 Failed to change directory.");
  }
  EXPECT_TRUE(fs::is_empty(local_.path()));
}

INSTANTIATE_TEST_SUITE_P(Folders, VsftpdFolders,
                         testing::Values(Folder{"Missing", "nope/", false},
                                         Folder{"MissingAbsolute", "/nope/deeper/", false},
                                         Folder{"Empty", "empty/", true},
                                         Folder{"EmptyAbsolute", "/empty/", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// vsftpd lists a link as an "l" line with the link's own size whatever it points to; only SIZE
// tells a link to a folder (550) from a link to a file. The first is left out as a folder is,
// the files after it and the link to a file arrive.
TEST_F(VsftpdInterop, ALinkToAFolderIsLeftOutAndTheFilesAfterItArrive) {
  const fs::path in = server_->root() / "in";
  fs::create_directories(in / "realdir");
  writeFile(in / "realdir" / "inner.txt", "inside");
  writeFile(in / "a1.txt", "first");
  writeFile(in / "b2.txt", "second");
  fs::create_directory_symlink("realdir", in / "alink");
  fs::create_symlink("b2.txt", in / "c3link");
  server_->giveFilesToServer();
  const RunOutcome outcome = run("in/", local_.path(), "*,DOWN");
  EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors << server_->log();
  EXPECT_EQ(readFile(local_.path() / "a1.txt"), "first");
  EXPECT_EQ(readFile(local_.path() / "b2.txt"), "second");
  EXPECT_EQ(readFile(local_.path() / "c3link"), "second");
  EXPECT_FALSE(fs::exists(local_.path() / "alink"));
  EXPECT_TRUE(statusesOf(outcome.errors, "alink").empty()) << outcome.errors;
  EXPECT_EQ(countOf(server_->log(), "RETR in/alink"), 0u);
  EXPECT_EQ(logLines(work_.path()).size(), 3u);
}

}  // namespace
}  // namespace skyhaul::test

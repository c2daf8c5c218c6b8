// Digests from a real server: proftpd's mod_digest on loopback checks a binary file of a few MiB
// sent each way, and with DEL the source goes only once the server's digest agreed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <ostream>

#include "faults/Expectations.h"
#include "support/ProgramFolder.h"
#include "support/TempDir.h"
#include "support/TestProftpd.h"

namespace skyhaul::test {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kSize = 3 * 1024 * 1024 + 77;  // not a whole number of blocks

struct Way {
  const char* name;
  bool up;
};

// What ctest's test list shows of a row.
void PrintTo(const Way& way, std::ostream* out) { *out << way.name; }

class DigestInterop : public testing::TestWithParam<Way> {
 protected:
  void SetUp() override {
    if (const auto why = TestProftpd::unavailable(); !why.empty()) GTEST_SKIP() << why;
    server_ = std::make_unique<TestProftpd>();
  }

  // Where in the server's command log `prefix` first starts a line; the log's size if nowhere.
  std::ptrdiff_t firstCommand(const std::string& prefix) const {
    const auto commands = server_->commands();
    const auto found = std::ranges::find_if(
        commands, [&](const std::string& line) { return line.starts_with(prefix); });
    return found - commands.begin();
  }

  std::unique_ptr<TestProftpd> server_;
  ProgramFolder program_;
  TempDir local_;
  TempDir work_;
};

TEST_P(DigestInterop, TheCopyIsCheckedWithSha256ThroughHashAndOnlyThenTheSourceGoes) {
  const bool up = GetParam().up;
  const std::string bytes = patternBytes(kSize, up ? 11 : 12);
  const fs::path source = up ? local_.path() / "big.bin" : server_->root() / "big.bin";
  const fs::path copy = up ? server_->root() / "big.bin" : local_.path() / "big.bin";
  writeFile(source, bytes);
  program_.writeIni(jobSettings(server_->address(), local_.prefix(), "/") +
                    "uporabnik=" + kFtpUser + "\ngeslo=" + kFtpPassword + "\n");
  fs::permissions(program_.path() / "ftpjob.ini", fs::perms(0600));  // it holds a password
  RunOptions options;
  options.arguments = {up ? "big.bin,UP,DEL" : "big.bin,DOWN,DEL"};
  options.workingDirectory = work_.path();
  options.environment = {"SKYHAUL_VERBOSE=1"};
  const RunOutcome outcome = program_.run(options);

  EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors << server_->log();
  ASSERT_TRUE(fs::exists(copy)) << outcome.errors;
  EXPECT_TRUE(readFile(copy) == bytes);
  EXPECT_FALSE(fs::exists(source));
  // proftpd starts with SHA-1 in force and offers SHA-256 too: the stronger is chosen.
  EXPECT_TRUE(holdsStatus(outcome, "big.bin", "preverjeno s SHA-256 strežnika")) << outcome.errors;
  ASSERT_TRUE(server_->waitForCommand("QUIT")) << outcome.errors;
  const auto commands = server_->commands();
  const auto transfer = firstCommand(up ? "STOR " : "RETR ");
  const auto selected = firstCommand("OPTS HASH SHA-256");
  const auto hash = firstCommand("HASH ");
  ASSERT_LT(hash, static_cast<std::ptrdiff_t>(commands.size())) << outcome.errors;
  EXPECT_LT(selected, hash);
  EXPECT_LT(transfer, hash);
  EXPECT_EQ(std::ranges::count_if(commands, [](const auto& l) { return l.starts_with("HASH "); }),
            1);
  if (!up) {
    EXPECT_LT(hash, firstCommand("DELE ")) << "the source went before its copy was checked";
  }
  const auto lines = logLines(work_.path());
  ASSERT_EQ(lines.size(), 1u) << logText(work_.path());
  EXPECT_TRUE(isSuccessLine(lines[0], up ? local_.prefix() + "big.bin" : "/big.bin",
                            up ? "/big.bin" : local_.prefix() + "big.bin"))
      << lines[0];
}

INSTANTIATE_TEST_SUITE_P(Ways, DigestInterop,
                         testing::Values(Way{"Upload", true}, Way{"Download", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace skyhaul::test

// The run's record as the job fills it: the entries of files, the metrics' labels and last
// success, and which of the outputs named on the command line and in the section is used.
#include "job/RunRecord.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>

#include "job/CommandLine.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"

namespace skyhaul::job {
namespace {

using platform::ExitStatus;

class RunRecordTest : public ::testing::Test {
 protected:
  test::FakeClock clock;
  RunRecord record{clock, {}, "9.9"};
};

TEST_F(RunRecordTest, AFileRetriedIsOneEntryWithItsAttemptsAndTheLatestPaths) {
  record.describeJob({"/etc/a.ini", "nocna", "sftp://h", "ana"}, {});
  record.attemptStarted(Direction::Down, " /d/x.csv", "in/x.csv ");
  clock.advance(2.5);
  record.attemptStarted(Direction::Down, "/d/\xff.csv", "in/x.csv");
  ftp::cFTP::TransferFacts facts;
  facts.bytes = 700;
  facts.resumedFrom = 255;
  record.succeeded(facts);

  const auto document = record.document(ExitStatus::Completed);

  ASSERT_EQ(document["files"].size(), 1U);
  const auto& file = document["files"][0];
  EXPECT_EQ(file["local_path_hex"], "2f642fff2e637376");  // not UTF-8: its bytes too
  EXPECT_FALSE(file.contains("remote_path_hex"));
  EXPECT_EQ(file["remote_path"], "in/x.csv");
  EXPECT_EQ(file["attempts"], 2);
  EXPECT_EQ(file["seconds"], 2.5);
  EXPECT_EQ(file["resumed_from"], 255);
  EXPECT_EQ(document["server"]["port"], 22);
  EXPECT_EQ(document["totals"]["down"]["bytes"], 700);
}

TEST_F(RunRecordTest, LabelsAreEscapedAndAFailedRunKeepsTheLastSuccessOfItsJobOnly) {
  record.describeJob({"/etc/a\\b\".ini", "x\ny", "host", "u"}, {});
  const std::string labels = R"({settings="/etc/a\\b\".ini",section="x\ny"})";
  const std::string previous =
      "skyhaul_last_success_timestamp_seconds{settings=\"o\",section=\"x\"} 5\n"
      "skyhaul_last_success_timestamp_seconds" +
      labels + " 1700000000.25\n";
  for (const auto& [status, old, expected] :
       {std::tuple{ExitStatus::FileFailed, previous, " 1700000000.25\n"},
        std::tuple{ExitStatus::ListingFailed, previous, " 1700000000.25\n"},
        std::tuple{ExitStatus::FileFailed, std::string("garbage\n"), " 0\n"}}) {
    const std::string text = record.metricsText(status, old);
    EXPECT_NE(text.find("skyhaul_last_success_timestamp_seconds" + labels + expected),
              std::string::npos)
        << text;
  }
}

TEST_F(RunRecordTest, TheCommandLineWinsOverTheSection) {
  const test::TempDir folder;
  const std::string cli = (folder.path() / "cli.json").string();
  const std::string ini = (folder.path() / "ini.json").string();
  const std::string prom = (folder.path() / "ini.prom").string();
  const char* argv[] = {"skyhaul", "--json", cli.c_str(), "x,UP", nullptr};
  const StartRequest request = parseCommandLine(4, argv);
  RunRecord fromOptions{clock, {request.jsonPath, request.metricsPath, std::nullopt}, ""};
  fromOptions.describeJob({"a.ini", "s", "h", "u"}, {ini, prom, false});

  fromOptions.finish(ExitStatus::Completed, std::cerr);

  EXPECT_TRUE(std::filesystem::exists(cli));
  EXPECT_FALSE(std::filesystem::exists(ini));
  EXPECT_TRUE(std::filesystem::exists(prom));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);
  const char* missing[] = {"skyhaul", "--metrics=", nullptr};
  EXPECT_EQ(parseCommandLine(2, missing).action, StartAction::UsageError);
}

}  // namespace
}  // namespace skyhaul::job

// The run's record as the job fills it: the entries of files, the metrics' labels and last
// success, the summary line and the options that name the outputs.
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
using test::FakeClock;

class RunRecordTest : public ::testing::Test {
 protected:
  FakeClock clock;
  RunRecord record{clock, {}, "9.9"};
};

TEST_F(RunRecordTest, AFileRetriedIsOneEntryWithItsAttemptsAndTheLatestPaths) {
  record.describeJob({"/etc/a.ini", "nocna", "ftpes://ftp.example.com", "ana"}, {});
  record.attemptStarted(Direction::Down, " /d/x.csv", "in/x.csv ");
  clock.advance(2.5);
  record.attemptStarted(Direction::Down, "/d/x.csv", "in/x.csv");
  ftp::cFTP::TransferFacts facts;
  facts.bytes = 700;
  facts.resumedFrom = 255;
  facts.sizeConfirmed = true;
  facts.digest = "SHA-256";
  record.succeeded(facts);
  record.sourceHandled(true, "pobrisan");

  const auto document = record.document(ExitStatus::Completed);

  ASSERT_EQ(document["files"].size(), 1U);
  const auto& file = document["files"][0];
  EXPECT_EQ(file["local_path"], "/d/x.csv");
  EXPECT_EQ(file["remote_path"], "in/x.csv");
  EXPECT_EQ(file["attempts"], 2);
  EXPECT_EQ(file["seconds"], 2.5);
  EXPECT_EQ(file["resumed_from"], 255);
  EXPECT_EQ(file["checks"]["digest"], "SHA-256");
  EXPECT_EQ(document["server"]["scheme"], "ftpes");
  EXPECT_EQ(document["server"]["port"], 21);
  EXPECT_EQ(document["program"]["version"], "9.9");
  EXPECT_EQ(document["totals"]["down"]["bytes"], 700);
}

TEST_F(RunRecordTest, AFileUnderWayWhenTheProgramEndsIsInterrupted) {
  record.attemptStarted(Direction::Up, "/d/a", "a");
  const auto file = record.document(ExitStatus::ClosedByUser)["files"][0];
  EXPECT_EQ(file["outcome"], "interrupted");
  EXPECT_TRUE(file["error"].is_null());
  EXPECT_TRUE(file["bytes"].is_null());
}

TEST_F(RunRecordTest, NamesThatAreNoUtf8KeepTheirBytesInHexadecimal) {
  record.attemptStarted(Direction::Up, std::string("/d/\xff.txt"), "b.txt");
  const auto file = record.document(ExitStatus::Completed)["files"][0];
  EXPECT_EQ(file["local_path_hex"], "2f642fff2e747874");
  EXPECT_FALSE(file.contains("remote_path_hex"));
}

TEST_F(RunRecordTest, ServerTextsAreDescribedByScheme) {
  struct Row {
    const char* server;
    const char* scheme;
    int port;
  };
  for (const Row& row :
       {Row{"host", "ftp", 21}, Row{"ftps://host", "ftps", 990}, Row{"SFTP://host", "sftp", 22},
        Row{"sftp://host:2222", "sftp", 2222}, Row{"[::1]:2121", "ftp", 2121}}) {
    record.describeJob({"a.ini", "s", row.server, "u"}, {});
    const auto server = record.document(ExitStatus::Completed)["server"];
    EXPECT_EQ(server["scheme"], row.scheme) << row.server;
    EXPECT_EQ(server["port"], row.port) << row.server;
  }
}

TEST_F(RunRecordTest, LabelValuesAreEscapedAsTheFormatAsks) {
  record.describeJob({"/etc/a\\b\".ini", "x\ny", "host", "u"}, {});
  const std::string text = record.metricsText(ExitStatus::Completed, "");
  EXPECT_NE(text.find("skyhaul_last_run_exit_status{settings=\"/etc/a\\\\b\\\".ini\","
                      "section=\"x\\ny\"} 0\n"),
            std::string::npos)
      << text;
}

TEST_F(RunRecordTest, AFailedRunKeepsTheLastSuccessOfTheSameJobOnly) {
  record.describeJob({"/etc/a.ini", "nocna", "host", "u"}, {});
  const std::string labels = "{settings=\"/etc/a.ini\",section=\"nocna\"}";
  const std::string previous =
      "skyhaul_last_success_timestamp_seconds{settings=\"/etc/a.ini\",section=\"dnevna\"} 5\n"
      "skyhaul_last_success_timestamp_seconds" +
      labels + " 1700000000.25\n";
  struct Row {
    ExitStatus status;
    std::string previous;
    std::string expected;
  };
  for (const Row& row : {Row{ExitStatus::FileFailed, previous, " 1700000000.25\n"},
                         Row{ExitStatus::ListingFailed, previous, " 1700000000.25\n"},
                         Row{ExitStatus::FileFailed, "", " 0\n"},
                         Row{ExitStatus::FileFailed, "garbage\n", " 0\n"}}) {
    const std::string text = record.metricsText(row.status, row.previous);
    EXPECT_NE(text.find("skyhaul_last_success_timestamp_seconds" + labels + row.expected),
              std::string::npos)
        << text;
  }
}

TEST_F(RunRecordTest, TheSummaryLineCountsEachWayAndTheChecks) {
  record.describeJob({"/etc/a.ini", "nocna", "host", "u"}, {std::nullopt, std::nullopt, false});
  ftp::cFTP::TransferFacts facts;
  facts.bytes = 10;
  facts.sizeConfirmed = true;
  record.attemptStarted(Direction::Up, "/a", "a");
  record.succeeded(facts);
  facts.digest = "MD5";
  record.attemptStarted(Direction::Down, "/b", "b");
  record.succeeded(facts);
  clock.advance(1.25);
  record.finish(ExitStatus::Completed, std::cerr);  // writes nothing: no output asked for, no log
  EXPECT_EQ(record.summaryLine(ExitStatus::Completed),
            "Skyhaul, posel \"nocna\" (/etc/a.ini): poslanih datotek 1 (10 B), prejetih 1 (10 B), "
            "neuspelih 0; preverjenih po velikosti 2, s kontrolno vsoto 1; izhodni status 0 "
            "(opravilo je teklo do konca); trajanje 1.25 s");
}

TEST_F(RunRecordTest, TheCommandLineWinsOverTheSection) {
  const test::TempDir folder;
  const std::string cli = (folder.path() / "cli.json").string();
  const std::string ini = (folder.path() / "ini.json").string();
  const std::string prom = (folder.path() / "ini.prom").string();
  const char* argv[] = {"skyhaul", "--json", cli.c_str(), "x,UP", nullptr};
  const StartRequest request = parseCommandLine(4, argv);
  ASSERT_EQ(request.jsonPath, cli);
  RunRecord fromOptions{clock, {request.jsonPath, request.metricsPath, std::nullopt}, ""};
  fromOptions.describeJob({"a.ini", "s", "h", "u"}, {ini, prom, false});

  fromOptions.finish(ExitStatus::Completed, std::cerr);

  EXPECT_TRUE(std::filesystem::exists(cli));
  EXPECT_FALSE(std::filesystem::exists(ini));
  EXPECT_TRUE(std::filesystem::exists(prom));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                          std::filesystem::directory_iterator()),
            2);  // no temporary left behind
}

TEST(RunOutputOptions, AMissingFileIsAUsageError) {
  for (const auto& arguments : std::vector<std::vector<const char*>>{
           {"skyhaul", "--json"}, {"skyhaul", "--metrics="}, {"skyhaul", "--json="}}) {
    std::vector<const char*> argv = arguments;
    argv.push_back(nullptr);
    const StartRequest request = parseCommandLine(static_cast<int>(arguments.size()), argv.data());
    EXPECT_EQ(request.action, StartAction::UsageError) << arguments.back();
    EXPECT_NE(request.message.find("manjka datoteka"), std::string::npos) << request.message;
  }
}

}  // namespace
}  // namespace skyhaul::job

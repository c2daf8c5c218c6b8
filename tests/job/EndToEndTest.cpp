// The real program, copied beside its own ftpjob.ini, run as a scheduler would run it. The fixed
// waits are real here, so the cases are few.
#include <gtest/gtest.h>

#include "SkyhaulVersion.h"
#include "support/JobFiles.h"
#include "support/ProgramFolder.h"
#include "support/TempDir.h"
#include "support/TestFtpServer.h"

namespace skyhaul::test {
namespace {

class EndToEnd : public ::testing::Test {
 protected:
  EndToEnd() {
    std::filesystem::create_directory(server.root() / "in");
    program.writeIni(jobSettings(server.address(), local.prefix()));
  }
  // Runs the copy in the working directory, standard input from /dev/null, to its end.
  RunOutcome run(std::vector<std::string> arguments) const {
    RunOptions options;
    options.arguments = std::move(arguments);
    options.workingDirectory = work.path();
    return program.run(std::move(options));
  }

  TestFtpServer server;
  ProgramFolder program;
  TempDir local;
  TempDir work;
};

TEST_F(EndToEnd, AScheduledUploadWithDeleteMovesLogsAndExitsZero) {
  writeFile(local.path() / "one.txt", patternBytes(5000, 1));
  writeFile(local.path() / "two.txt", patternBytes(70000, 2));

  const RunOutcome result = run({"*.txt,UP,DEL"});

  EXPECT_EQ(result.exitStatus, 0) << result.errors;
  EXPECT_EQ(readFile(server.root() / "in/one.txt"), patternBytes(5000, 1));
  EXPECT_EQ(readFile(server.root() / "in/two.txt"), patternBytes(70000, 2));
  EXPECT_FALSE(std::filesystem::exists(local.path() / "one.txt"));
  EXPECT_FALSE(std::filesystem::exists(local.path() / "two.txt"));
  const std::string log = readFile(work.path() / "SKYHAUL.log");
  EXPECT_NE(log.find(local.prefix() + "one.txt----->in/one.txt\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(local.prefix() + "two.txt----->in/two.txt\r\n"), std::string::npos) << log;
  // Nobody watches a scheduled run: all went well, so there is nothing to say.
  EXPECT_EQ(result.errors, "");
}

TEST_F(EndToEnd, AFileRefusedThreeTimesEndsWithStatusOneAndKeepsItsSource) {
  writeFile(local.path() / "no.txt", "refused");
  server.setFaults({"refuse:STOR:553"});

  const RunOutcome result = run({"no.txt,UP,DEL"});

  EXPECT_EQ(result.exitStatus, 1) << result.errors;
  EXPECT_EQ(readFile(local.path() / "no.txt"), "refused");
  const std::string log = readFile(work.path() / "SKYHAUL.log");
  EXPECT_EQ(log.rfind("NAPAKA", 0), 0u) << log;
  EXPECT_NE(result.errors.find("no.txt: Status napaka:553"), std::string::npos) << result.errors;
}

TEST_F(EndToEnd, AnUnwritableLogEndsWithStatusTwoAndASlovenianCause) {
  writeFile(local.path() / "keep.txt", "keep");
  std::filesystem::create_directory(work.path() / "SKYHAUL.log");

  const RunOutcome result = run({"keep.txt,UP,DEL"});

  EXPECT_EQ(result.exitStatus, 2) << result.errors;
  EXPECT_NE(result.errors.find("Dnevnika prenosov"), std::string::npos) << result.errors;
  EXPECT_EQ(readFile(local.path() / "keep.txt"), "keep");
}

TEST_F(EndToEnd, SettingsGivenElsewhereRunTheJobWithNoFileBesideTheProgram) {
  std::filesystem::remove(program.path() / "ftpjob.ini");
  const TempDir etc;
  writeFile(etc.path() / "nocna.ini", jobSettings(server.address(), local.prefix()));
  writeFile(local.path() / "night.csv", patternBytes(3000, 3));
  // Relative to the working directory the program starts in.
  const auto settings = std::filesystem::relative(etc.path() / "nocna.ini", work.path());

  const RunOutcome result = run({"--settings", settings.string(), "night.csv,UP,DEL"});

  EXPECT_EQ(result.exitStatus, 0) << result.errors;
  EXPECT_EQ(readFile(server.root() / "in/night.csv"), patternBytes(3000, 3));
  EXPECT_FALSE(std::filesystem::exists(local.path() / "night.csv"));
}

struct AnswerCase {
  const char* name;
  const char* argument;
  int exitStatus;
  std::string output;       // its first line, or "" for none
  std::string inErrorLine;  // "": nothing on stderr
};

void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }

// A stored command would move the local file if a job ran at all.
class AnswerWithoutAJob : public EndToEnd, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(AnswerWithoutAJob, AnswersAndEndsBeforeAnyTransfer) {
  program.writeIni(jobSettings(server.address(), local.prefix()) + "prenos1=*.txt,UP,DEL\n");
  writeFile(local.path() / "stay.txt", "stay");

  const RunOutcome result = run({GetParam().argument});

  EXPECT_EQ(result.exitStatus, GetParam().exitStatus) << result.errors;
  EXPECT_EQ(result.output.substr(0, result.output.find('\n')), GetParam().output);
  if (GetParam().inErrorLine.empty()) {
    EXPECT_EQ(result.errors, "");
  } else {
    EXPECT_NE(result.errors.find(GetParam().inErrorLine), std::string::npos);
    EXPECT_EQ(result.errors.find('\n'), result.errors.size() - 1) << result.errors;
  }
  EXPECT_EQ(readFile(local.path() / "stay.txt"), "stay");
  EXPECT_FALSE(std::filesystem::exists(server.root() / "in/stay.txt"));
  EXPECT_FALSE(std::filesystem::exists(work.path() / "SKYHAUL.log"));
}

INSTANTIATE_TEST_SUITE_P(
    Options, AnswerWithoutAJob,
    ::testing::Values(AnswerCase{"Help", "--help", 0,
                                 "Uporaba: skyhaul [MOŽNOST]... [--] [UKAZ]...", ""},
                      AnswerCase{"Version", "--version", 0, "skyhaul " + std::string(kVersion), ""},
                      AnswerCase{"Unknown", "--x", 64, "", "\"--x\""}),
    [](const ::testing::TestParamInfo<AnswerCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace skyhaul::test

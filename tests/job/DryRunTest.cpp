// --dry-run and --verbose with the real program against the loopback server: a dry run reports
// every command's files and the follow-up programs, changes nothing anywhere and ends with the
// status the run would have; --verbose tells how the run goes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/JobFiles.h"
#include "support/ProgramFolder.h"
#include "support/TempDir.h"
#include "support/TestFtpServer.h"

namespace skyhaul::test {
namespace {

// Commands that change something on the server.
bool changesTheServer(const std::string& recorded) {
  const std::string command = recorded.substr(recorded.find(' ') + 1);
  for (const char* verb : {"STOR", "RETR", "DELE", "RNFR", "RNTO", "MKD", "APPE", "RMD"}) {
    if (command.starts_with(std::string(verb) + " ")) return true;
  }
  return false;
}

class DryRun : public ::testing::Test {
 protected:
  DryRun() {
    std::filesystem::create_directory(server.root() / "in");
    writeFile(local.path() / "a.txt", "aaaaa");
    writeFile(local.path() / "b.txt", patternBytes(1234, 2));
    writeFile(server.root() / "in/c.zip", patternBytes(777, 3));
    program.writeIni(jobSettings(server.address(), local.prefix()) +
                     "prenos1=*.zip,DOWN,DEL\nrun1=touch " + (work.path() / "after").string() +
                     "\n");
  }
  RunOutcome run(std::vector<std::string> arguments) const {
    RunOptions options;
    options.arguments = std::move(arguments);
    options.workingDirectory = work.path();
    return program.run(std::move(options));
  }
  // Every file on both sides is as the case wrote it, and nothing else appeared.
  void expectNothingChanged(const RunOutcome& result) const {
    EXPECT_EQ(readFile(local.path() / "a.txt"), "aaaaa");
    EXPECT_EQ(readFile(local.path() / "b.txt"), patternBytes(1234, 2));
    EXPECT_EQ(readFile(server.root() / "in/c.zip"), patternBytes(777, 3));
    EXPECT_FALSE(std::filesystem::exists(local.path() / "c.zip"));
    EXPECT_FALSE(std::filesystem::exists(server.root() / "in/a.txt"));
    EXPECT_FALSE(std::filesystem::exists(work.path() / "SKYHAUL.log"));
    EXPECT_FALSE(std::filesystem::exists(work.path() / "after")) << "a follow-up program ran";
    for (const auto& command : server.commands())
      EXPECT_FALSE(changesTheServer(command)) << command;
    EXPECT_TRUE(
        result.output.starts_with("Poskusni zagon: nič se ne prenese, nič se ne izbriše.\n"))
        << result.output;
  }

  TestFtpServer server;
  ProgramFolder program;
  TempDir local;
  TempDir work;
};

TEST_F(DryRun, ListsWhatEachCommandWouldMoveAndChangesNothing) {
  const RunOutcome result = run({"--dry-run", "*.txt,UP,DEL"});

  EXPECT_EQ(result.exitStatus, 0) << result.errors;
  expectNothingChanged(result);
  EXPECT_EQ(result.output,
            "Poskusni zagon: nič se ne prenese, nič se ne izbriše.\n"
            "Strežnik \"" +
                server.address() +
                "\": prijava kot ftpjob uspela.\n"
                "Lokalna mapa: \"" +
                local.prefix() +
                "\"\n"
                "Mapa na strežniku: \"in/\"\n"
                "Ukaz \"*.txt,UP,DEL\": 2 datoteki\n"
                "  na strežnik  a.txt  5 B  (izvor se izbriše)\n"
                "  na strežnik  b.txt  1234 B  (izvor se izbriše)\n"
                "Ukaz \"*.zip,DOWN,DEL\": 1 datoteka\n"
                "  s strežnika  c.zip  777 B  (izvor se izbriše)\n"
                "Po prenosih bi se zagnal run1: touch " +
                (work.path() / "after").string() +
                "\n"
                "Konec poskusnega zagona.\n");
  // Nobody watches, and all is well: nothing to say.
  EXPECT_EQ(result.errors, "");
}

TEST_F(DryRun, EndsWithFourWhenTheServerCannotBeReached) {
  server.stop();

  const RunOutcome result = run({"--dry-run", "*.txt,UP,DEL"});

  EXPECT_EQ(result.exitStatus, 4) << result.errors;
  server.start();
  expectNothingChanged(result);
  EXPECT_NE(result.output.find("Po prenosih bi se zagnal run1: "), std::string::npos);
}

TEST_F(DryRun, EndsWithSixWhenTheRemoteFolderCannotBeListed) {
  std::filesystem::rename(server.root() / "in", server.root() / "elsewhere");

  const RunOutcome result = run({"--dry-run", "*.txt,UP"});

  EXPECT_EQ(result.exitStatus, 6) << result.errors;
  std::filesystem::rename(server.root() / "elsewhere", server.root() / "in");
  expectNothingChanged(result);
  EXPECT_NE(result.output.find("Mape na strežniku \"in/\" ni mogoče prebrati.\n"),
            std::string::npos)
      << result.output;
}

// Without a terminal, --verbose prints what a person watching needs; without it, the same run
// says nothing (EndToEnd.AScheduledUploadWithDeleteMovesLogsAndExitsZero).
TEST_F(DryRun, VerboseTellsHowARealRunGoes) {
  program.writeIni(jobSettings(server.address(), local.prefix()));

  const RunOutcome result = run({"--verbose", "a.txt,UP"});

  EXPECT_EQ(result.exitStatus, 0) << result.errors;
  EXPECT_EQ(readFile(server.root() / "in/a.txt"), "aaaaa");
  EXPECT_EQ(result.errors, "Povezovanje s strežnikom " + server.address() +
                               " ...\n"
                               "Prijavljen kot ftpjob.\n"
                               "Ukaz \"a.txt,UP\": imen 1, za prenos 1.\n"
                               "a.txt: Status: prenos na strežnik...\n"
                               "a.txt: Status: Prenos je končan.\n"
                               "Konec, izhodni status 0.\n");
}

}  // namespace
}  // namespace skyhaul::test

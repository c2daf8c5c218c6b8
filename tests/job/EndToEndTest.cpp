// The real program, copied beside its own ftpjob.ini, run as a scheduler would run it. The fixed
// waits are real here, so the cases are few.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fcntl.h>
#include <cstdlib>

#include "SkyhaulVersion.h"
#include "support/TempDir.h"
#include "support/TestFtpServer.h"

extern char** environ;

namespace skyhaul::test {
namespace {

struct ProgramRun {
  int exitStatus = -1;
  std::string output;
  std::string errorOutput;
};

// Runs a copy of the program in `work` with stdin from /dev/null, stdout and stderr captured.
ProgramRun runProgram(const std::filesystem::path& program, const std::filesystem::path& work,
                      const std::vector<std::string>& arguments) {
  const auto output = work / "stdout.txt";
  const auto errors = work / "stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> words{program.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const std::string cwd = std::filesystem::current_path().string();
  ::setenv("XDG_RUNTIME_DIR", work.c_str(), 1);
  std::filesystem::current_path(work);
  ::setenv("SKYHAUL_UI", "console", 1);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  std::filesystem::current_path(cwd);
  posix_spawn_file_actions_destroy(&actions);
  ProgramRun run;
  if (spawned != 0) return run;
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.output = readFile(output);
  run.errorOutput = readFile(errors);
  return run;
}

class EndToEnd : public ::testing::Test {
 protected:
  EndToEnd() {
    std::filesystem::copy_file(SKYHAUL_BINARY, program.path() / "skyhaul");
    std::filesystem::permissions(program.path() / "skyhaul", std::filesystem::perms::owner_all);
    std::filesystem::create_directory(server.root() / "in");
    writeFile(program.path() / "ftpjob.ini", settingsFor(local.prefix()));
  }
  ProgramRun run(const std::string& command) {
    return runProgram(program.path() / "skyhaul", work.path(), {command});
  }
  std::string settingsFor(const std::string& localPrefix) const {
    return "[PROGRAM]\nIZBRANO=e2e\n[e2e]\nFTPURL=" + server.address() +
           "\nftpdir=in/\nlocaldir=" + localPrefix + "\n";
  }

  TestFtpServer server;
  TempDir program;
  TempDir local;
  TempDir work;
};

TEST_F(EndToEnd, AScheduledUploadWithDeleteMovesLogsAndExitsZero) {
  writeFile(local.path() / "one.txt", patternBytes(5000, 1));
  writeFile(local.path() / "two.txt", patternBytes(70000, 2));

  const ProgramRun result = run("*.txt,UP,DEL");

  EXPECT_EQ(result.exitStatus, 0) << result.errorOutput;
  EXPECT_EQ(readFile(server.root() / "in/one.txt"), patternBytes(5000, 1));
  EXPECT_EQ(readFile(server.root() / "in/two.txt"), patternBytes(70000, 2));
  EXPECT_FALSE(std::filesystem::exists(local.path() / "one.txt"));
  EXPECT_FALSE(std::filesystem::exists(local.path() / "two.txt"));
  const std::string log = readFile(work.path() / "SKYHAUL.log");
  EXPECT_NE(log.find(local.prefix() + "one.txt----->in/one.txt\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(local.prefix() + "two.txt----->in/two.txt\r\n"), std::string::npos) << log;
  // Nobody watches a scheduled run: all went well, so there is nothing to say.
  EXPECT_EQ(result.errorOutput, "");
}

TEST_F(EndToEnd, AFileRefusedThreeTimesEndsWithStatusOneAndKeepsItsSource) {
  writeFile(local.path() / "no.txt", "refused");
  server.setFaults({"refuse:STOR:553"});

  const ProgramRun result = run("no.txt,UP,DEL");

  EXPECT_EQ(result.exitStatus, 1) << result.errorOutput;
  EXPECT_EQ(readFile(local.path() / "no.txt"), "refused");
  const std::string log = readFile(work.path() / "SKYHAUL.log");
  EXPECT_EQ(log.rfind("NAPAKA", 0), 0u) << log;
  EXPECT_NE(result.errorOutput.find("no.txt: Status napaka:553"), std::string::npos)
      << result.errorOutput;
}

TEST_F(EndToEnd, AnUnwritableLogEndsWithStatusTwoAndASlovenianCause) {
  writeFile(local.path() / "keep.txt", "keep");
  std::filesystem::create_directory(work.path() / "SKYHAUL.log");

  const ProgramRun result = run("keep.txt,UP,DEL");

  EXPECT_EQ(result.exitStatus, 2) << result.errorOutput;
  EXPECT_NE(result.errorOutput.find("Dnevnika prenosov"), std::string::npos) << result.errorOutput;
  EXPECT_EQ(readFile(local.path() / "keep.txt"), "keep");
}

TEST_F(EndToEnd, SettingsGivenElsewhereRunTheJobWithNoFileBesideTheProgram) {
  std::filesystem::remove(program.path() / "ftpjob.ini");
  const TempDir etc;
  writeFile(etc.path() / "nocna.ini", settingsFor(local.prefix()));
  writeFile(local.path() / "night.csv", patternBytes(3000, 3));
  // Relative to the working directory the program starts in.
  const auto settings = std::filesystem::relative(etc.path() / "nocna.ini", work.path());

  const ProgramRun result = runProgram(program.path() / "skyhaul", work.path(),
                                       {"--settings", settings.string(), "night.csv,UP,DEL"});

  EXPECT_EQ(result.exitStatus, 0) << result.errorOutput;
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
  writeFile(program.path() / "ftpjob.ini", settingsFor(local.prefix()) + "prenos1=*.txt,UP,DEL\n");
  writeFile(local.path() / "stay.txt", "stay");

  const ProgramRun result = run(GetParam().argument);

  EXPECT_EQ(result.exitStatus, GetParam().exitStatus) << result.errorOutput;
  EXPECT_EQ(result.output.substr(0, result.output.find('\n')), GetParam().output);
  if (GetParam().inErrorLine.empty()) {
    EXPECT_EQ(result.errorOutput, "");
  } else {
    EXPECT_NE(result.errorOutput.find(GetParam().inErrorLine), std::string::npos);
    EXPECT_EQ(result.errorOutput.find('\n'), result.errorOutput.size() - 1) << result.errorOutput;
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

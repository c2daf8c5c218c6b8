// Whole jobs against the loopback server: the road of a file, the commands, the stored entries,
// retries, the end after a third failure, and the follow-up programs.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "job/JobTestBase.h"

namespace skyhaul::test {
namespace {

using platform::ExitStatus;

TEST_F(JobTest, UploadWithDeleteMovesEveryMatchingFileAndLogsEach) {
  std::filesystem::create_directory(server.root() / "in");
  writeFile(local.path() / "b.txt", patternBytes(600, 2));
  writeFile(local.path() / "a.txt", patternBytes(1000, 1));
  writeFile(local.path() / "c.dat", "stays");
  writeFile(local.path() / ".hidden.txt", "hidden");
  writeSettings("run1=touch " + work.prefix() + "after\n");

  const RunResult result = run("*.txt,UP,DEL");

  ASSERT_EQ(result.status, ExitStatus::Completed) << result.unhandledError;
  EXPECT_EQ(readFile(server.root() / "in/a.txt"), patternBytes(1000, 1));
  EXPECT_EQ(readFile(server.root() / "in/b.txt"), patternBytes(600, 2));
  EXPECT_FALSE(std::filesystem::exists(local.path() / "a.txt"));
  EXPECT_FALSE(std::filesystem::exists(local.path() / "b.txt"));
  EXPECT_TRUE(std::filesystem::exists(local.path() / "c.dat"));
  EXPECT_TRUE(std::filesystem::exists(local.path() / ".hidden.txt"));
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(isSuccessLine(lines[0], local.prefix() + "a.txt", "in/a.txt")) << lines[0];
  EXPECT_TRUE(isSuccessLine(lines[1], local.prefix() + "b.txt", "in/b.txt")) << lines[1];
  EXPECT_EQ(view.statuses, (std::vector<std::string>{
                               "Status: prenos na strežnik...", "Status: Prenos je končan.",
                               "Status: prenos na strežnik...", "Status: Prenos je končan."}));
  EXPECT_EQ(sleepsInMilliseconds(), (std::vector<long>{100, 1000, 100, 1000, 5000}));
  EXPECT_EQ(form.Tdir.text(), "");
  EXPECT_EQ(form.Textimedat.text(), "b.txt");
  EXPECT_TRUE(appears(work.path() / "after"));
}

TEST_F(JobTest, DownloadWithDeleteFetchesAndRemovesTheRemoteSources) {
  std::filesystem::create_directory(server.root() / "in");
  writeFile(server.root() / "in/x.dat", patternBytes(3000, 4));
  writeFile(server.root() / "in/y.dat", "");
  writeFile(server.root() / "in/z.txt", "not matched");
  writeSettings();

  const RunResult result = run("*.dat,DOWN,DEL");

  ASSERT_EQ(result.status, ExitStatus::Completed) << result.unhandledError;
  EXPECT_EQ(readFile(local.path() / "x.dat"), patternBytes(3000, 4));
  EXPECT_EQ(readFile(local.path() / "y.dat"), "");
  EXPECT_FALSE(std::filesystem::exists(server.root() / "in/x.dat"));
  EXPECT_FALSE(std::filesystem::exists(server.root() / "in/y.dat"));
  EXPECT_TRUE(std::filesystem::exists(server.root() / "in/z.txt"));
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(isSuccessLine(lines[0], "in/x.dat", local.prefix() + "x.dat") ||
              isSuccessLine(lines[1], "in/x.dat", local.prefix() + "x.dat"));
}

struct CommandCase {
  const char* name;
  const char* command;
  bool downloads;
  bool deletesSource;
};

class TransferCommands : public JobTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(TransferCommands, DirectionAndDeleteFlagFollowTheCommand) {
  const CommandCase& c = GetParam();
  std::filesystem::create_directory(server.root() / "in");
  writeFile(server.root() / "in/f.txt", "remote");
  writeFile(local.path() / "f.txt", "local");
  writeSettings();

  ASSERT_EQ(run(c.command).status, ExitStatus::Completed);

  const std::string source = c.downloads ? "remote" : "local";
  EXPECT_EQ(readFile(c.downloads ? local.path() / "f.txt" : server.root() / "in/f.txt"), source);
  const auto sourcePath = c.downloads ? server.root() / "in/f.txt" : local.path() / "f.txt";
  EXPECT_EQ(std::filesystem::exists(sourcePath), !c.deletesSource);
  EXPECT_EQ(form.Chkbrisi.ticked(), c.deletesSource);
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, TransferCommands,
    ::testing::Values(CommandCase{"LowerDown", "f.txt,down", true, false},
                      CommandCase{"MixedDown", "f.txt,Down", true, false},
                      CommandCase{"LowerDel", "f.txt,UP,del", false, true},
                      CommandCase{"BlankBeforeDel", "f.txt,UP, DEL", false, true},
                      CommandCase{"DelThenMore", "f.txt,UP,DEL,x", false, false},
                      CommandCase{"DelThenNote", "f.txt,UP,DEL;note", false, false},
                      CommandCase{"MaskAlone", "f.txt", false, false},
                      CommandCase{"MistypedDirection", "f.txt,DOWNN", false, false},
                      CommandCase{"NoteEndsTheList", "f.txt;note,DOWN", false, false},
                      CommandCase{"DownloadWithDelete", "f.txt,DOWN,Del", true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(JobTest, StoredCommandsRunInOrderSkippingGapsAndNeverBeyondTwenty) {
  std::filesystem::create_directory(server.root() / "in");
  for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) {
    writeFile(local.path() / name, name);
  }
  writeSettings(
      "prenos1=a.txt,UP\nprenos2=\nprenos3=b.txt,UP\nprenos20=c.txt,UP\n"
      "prenos21=d.txt,UP\n");

  ASSERT_EQ(run("").status, ExitStatus::Completed);

  for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
    EXPECT_TRUE(std::filesystem::exists(server.root() / "in" / name)) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(server.root() / "in/d.txt"));
  // The empty command line asked for a command, and the cancelled answer ran the stored ones.
  EXPECT_EQ(view.prompts, (std::vector<std::string>{"Ime datoteke za prenos:|Prenos"}));
}

TEST_F(JobTest, TheCommandLineCommandRunsBeforeTheStoredOnes) {
  std::filesystem::create_directory(server.root() / "in");
  writeFile(local.path() / "first.txt", "1");
  writeFile(local.path() / "second.txt", "2");
  writeSettings("prenos1=second.txt,UP\n");

  ASSERT_EQ(run("first.txt,UP").status, ExitStatus::Completed);

  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("first.txt"), std::string::npos);
  EXPECT_NE(lines[1].find("second.txt"), std::string::npos);
}

TEST_F(JobTest, ASectionNamedOnTheCommandLineReplacesTheSettingsWithoutDefaults) {
  std::filesystem::create_directory(server.root() / "other");
  writeFile(local.path() / "s.txt", "via section");
  writeIni("[PROGRAM]\nIZBRANO=unused\n[unused]\nFTPURL=127.0.0.1:1\n[Other]\nFTPURL=" +
           server.address() + "\nftpdir=other/\nlocaldir=" + local.prefix() +
           "\nuporabnik=ftpjob\ngeslo=pelmun\n");

  ASSERT_EQ(run("other,s.txt,UP").status, ExitStatus::Completed);

  EXPECT_EQ(form.SelectedSection, "other");
  EXPECT_EQ(readFile(server.root() / "other/s.txt"), "via section");
}

TEST_F(JobTest, AFileThatFailsOnceIsRetriedAndLoggedOnlyAsSuccess) {
  std::filesystem::create_directory(server.root() / "in");
  writeFile(local.path() / "r.txt", "retried");
  writeSettings();
  server.setFaults({"refuse:STOR:550:times=1"});

  ASSERT_EQ(run("r.txt,UP").status, ExitStatus::Completed);

  EXPECT_EQ(readFile(server.root() / "in/r.txt"), "retried");
  ASSERT_EQ(view.statuses.size(), 4u);
  EXPECT_EQ(view.statuses[0], "Status: prenos na strežnik...");
  EXPECT_EQ(view.statuses[1].substr(0, 4), "550 ");
  EXPECT_EQ(view.statuses[2], "Status: prenos na strežnik...");
  EXPECT_EQ(view.statuses[3], "Status: Prenos je končan.");
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(isSuccessLine(lines[0], local.prefix() + "r.txt", "in/r.txt"));
  EXPECT_EQ(sleepsInMilliseconds(), (std::vector<long>{100, 1000, 1000, 1000, 5000}));
}

struct ThirdFailureCase {
  const char* name;
  const char* command;
  const char* fault;
  const char* working;
  const char* finalPrefix;
};

class ThirdFailure : public JobTest, public ::testing::WithParamInterface<ThirdFailureCase> {};

TEST_P(ThirdFailure, EndsTheProgramAfterTheFailureLineAndRunsNothingElse) {
  const ThirdFailureCase& c = GetParam();
  std::filesystem::create_directory(server.root() / "in");
  writeFile(local.path() / "a.txt", "a");
  writeFile(local.path() / "b.txt", "b");
  writeFile(server.root() / "in/a.txt", "a");
  writeFile(server.root() / "in/b.txt", "b");
  writeSettings("prenos1=b.txt,UP\nrun1=touch " + work.prefix() + "after\n");
  server.setFaults({c.fault});

  const RunResult result = run(c.command);

  ASSERT_EQ(result.status, ExitStatus::FileFailed) << result.unhandledError;
  ASSERT_EQ(view.statuses.size(), 6u);
  const std::string error = view.statuses[1];
  EXPECT_EQ(error.substr(0, 4), "550 ");
  EXPECT_EQ(view.statuses, (std::vector<std::string>{c.working, error, c.working, error, c.working,
                                                     c.finalPrefix + error}));
  // The window shows each of them, the last during the final wait: no step is left to the
  // pacing of a transfer's yields.
  std::vector<std::string> shown = {"Status:"};  // the window's first state
  shown.insert(shown.end(), view.statuses.begin(), view.statuses.end());
  EXPECT_EQ(view.shown, shown);
  // One failure line, the last thing written, ending with the error text unchanged.
  const bool up = std::string(c.name) == "Upload";
  const std::string localPath = local.prefix() + "a.txt";
  const std::string tail =
      (up ? localPath + "----->in/a.txt" : "in/a.txt----->" + localPath) + " " + error + "\r\n";
  const std::string log = readFile(work.path() / "SKYHAUL.log");
  ASSERT_GT(log.size(), tail.size());
  EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
  const std::string head = log.substr(0, log.size() - tail.size());
  EXPECT_TRUE(std::regex_match(head, std::regex("NAPAKA[^ \r\n][^\r\n]* "))) << head;
  EXPECT_EQ(sleepsInMilliseconds(), (std::vector<long>{100, 1000, 1000, 1000, 1000, 5000}));
  // The sources stay, the stored command and the follow-up program never ran.
  EXPECT_TRUE(std::filesystem::exists(local.path() / "a.txt"));
  EXPECT_TRUE(std::filesystem::exists(server.root() / "in/a.txt"));
  EXPECT_EQ(form.Textimedat.text(), "a.txt");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(std::filesystem::exists(work.path() / "after"));
}

INSTANTIATE_TEST_SUITE_P(
    Directions, ThirdFailure,
    ::testing::Values(ThirdFailureCase{"Upload", "a.txt,UP,DEL", "refuse:STOR:550",
                                       "Status: prenos na strežnik...", "Status napaka:"},
                      ThirdFailureCase{"Download", "a.txt,DOWN,DEL", "refuse:RETR:550",
                                       "Status: prenos iz strežnika...", "Status napaka: "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(JobTest, ARefusedConnectionSkipsTheTransfersButNotTheFollowUpPrograms) {
  writeFile(local.path() / "a.txt", "a");
  writeIni("[PROGRAM]\nIZBRANO=job\n[job]\nFTPURL=127.0.0.1:1\nlocaldir=" + local.prefix() +
           "\nprenos1=a.txt,UP\nrun1=touch " + work.prefix() + "one\nrun2=touch " + work.prefix() +
           "two\n");

  ASSERT_EQ(run("a.txt,UP").status, ExitStatus::ConnectionFailed);

  EXPECT_TRUE(logLines().empty());
  const std::string failure =
      "Povezave s strežnikom 127.0.0.1:1 ni bilo mogoče odpreti: InternetConnect error code: "
      "12029 Message: " +
      platform::messageFor(platform::ErrorCode::InternetCannotConnect);
  EXPECT_EQ(view.notices, std::vector<std::string>{failure});
  EXPECT_EQ(view.statuses, std::vector<std::string>{"Status napaka: " + failure});
  EXPECT_EQ(sleepsInMilliseconds(), std::vector<long>{5000});
  EXPECT_TRUE(appears(work.path() / "one"));
  EXPECT_TRUE(appears(work.path() / "two"));
}

TEST_F(JobTest, AFollowUpProgramThatCannotStartEndsTheJobBeforeTheNextOne) {
  writeIni("[PROGRAM]\nIZBRANO=job\n[job]\nFTPURL=127.0.0.1:1\nrun1=/no/such/program\nrun2=touch " +
           work.prefix() + "two\n");

  const RunResult result = run("");

  EXPECT_FALSE(result.status.has_value());
  EXPECT_NE(result.unhandledError.find("/no/such/program"), std::string::npos);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(std::filesystem::exists(work.path() / "two"));
}

TEST_F(JobTest, ALogThatCannotBeWrittenEndsTheJobAndKeepsTheSource) {
  std::filesystem::create_directory(server.root() / "in");
  std::filesystem::create_directory(work.path() / "SKYHAUL.log");  // not a file: no line fits
  writeFile(local.path() / "keep.txt", "keep");
  writeSettings();

  const RunResult result = run("keep.txt,UP,DEL");

  EXPECT_FALSE(result.status.has_value());
  EXPECT_NE(result.unhandledError.find("SKYHAUL.log"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(local.path() / "keep.txt"));
}

}  // namespace
}  // namespace skyhaul::test

// What a scheduler and an administrator rely on: one run of a job at a time, the program's own
// files never sent away or written over, and a display that does not answer costing nothing.
#include <gtest/gtest.h>

#include "faults/ConcurrentCases.h"

namespace skyhaul::test {
namespace {

using namespace std::chrono_literals;

// The first run hangs in a stalled download while the others start.
TEST(Scheduler, ASecondRunOfTheSameJobEndsAtOnceAndAKilledRunLeavesNoLock) {
  Scene scene;
  scene.writeSettings(scene.markerFollowUp() + "[other]\nFTPURL=" + scene.server.address() +
                      "\nftpdir=in/\nlocaldir=" + scene.local.prefix() +
                      "\nuporabnik=ftpjob\ngeslo=pelmun\n");
  std::filesystem::permissions(scene.program.path() / "ftpjob.ini",
                               std::filesystem::perms::owner_read);  // it holds a password
  writeFile(scene.remote("slow.bin"), patternBytes(200000, 3));
  writeFile(scene.localFile("x.txt"), "other section");
  scene.server.setFaults({"stall-data:RETR:1000"});
  RunOptions patient;
  patient.environment = {"SKYHAUL_TIMEOUT=60"};
  auto first = scene.start({"slow.bin,DOWN"}, patient);
  ASSERT_TRUE(first->waitForErrors(kDownloading, 20s)) << first->errors();

  const RunOutcome second = scene.start({"slow.bin,DOWN,DEL"})->finish();
  EXPECT_EQ(second.exitStatus, kAlreadyRunning) << second.errors;
  EXPECT_EQ(second.errors, "Posel \"job\" iz \"" + (scene.program.path() / "ftpjob.ini").string() +
                               "\" že teče (proces " + std::to_string(first->pid()) +
                               "); ta zagon se konča, ne da bi kaj prenesel.\n");
  EXPECT_LT(second.elapsed, 4s) << "it waited as a job does at its end";
  const RunOutcome other = scene.start({"other,x.txt,UP"})->finish();
  EXPECT_EQ(other.exitStatus, kCompleted) << other.errors;
  EXPECT_EQ(readFile(scene.remote("x.txt")), "other section");

  first->kill();
  EXPECT_FALSE(std::filesystem::exists(scene.markerPath())) << "a follow-up program ran";
  scene.server.setFaults({});
  const RunOutcome third = scene.start({"slow.bin,DOWN"})->finish();
  EXPECT_EQ(third.exitStatus, kCompleted) << third.errors;
  EXPECT_EQ(readFile(scene.localFile("slow.bin")), patternBytes(200000, 3));
  EXPECT_TRUE(std::filesystem::exists(scene.remote("slow.bin")));
  EXPECT_EQ(scene.logLines().size(), 2u) << scene.logText();  // x.txt, then slow.bin
}

// With no localdir the local folder is the program's own, here also the working folder.
TEST(Scheduler, TheProgramItsSettingsAndItsLogAreNeverSentNorWrittenOver) {
  Scene scene;
  const auto folder = scene.program.path();
  std::filesystem::create_directories(scene.server.root() / "in");
  scene.writeIni("[PROGRAM]\nIZBRANO=job\n[job]\nFTPURL=" + scene.server.address() +
                 "\nftpdir=in/\n");
  const std::string ini = readFile(folder / "ftpjob.ini");
  writeFile(folder / "SKYHAUL.log", "an earlier line\r\n");
  writeFile(folder / "a.txt", "goes");
  const auto module = folder / "skyhaul-okno.so";
  if (!std::filesystem::exists(module)) writeFile(module, "the window");
  const std::string moduleBytes = readFile(module);
  RunOptions here;
  here.workingDirectory = folder;

  const RunOutcome up = scene.start({"*,UP,DEL"}, here)->finish();
  EXPECT_EQ(up.exitStatus, kCompleted) << up.errors;
  EXPECT_EQ(readFile(scene.remote("a.txt")), "goes");
  for (const char* own : {"skyhaul", "ftpjob.ini", "SKYHAUL.log", "skyhaul-okno.so"}) {
    EXPECT_TRUE(std::filesystem::exists(folder / own)) << own;
    EXPECT_FALSE(std::filesystem::exists(scene.remote(own))) << own;
  }
  EXPECT_EQ(statusesOf(up.errors, "skyhaul"),
            std::vector<std::string>{"Status: izpuščena: to je program sam."});

  for (const char* own : {"skyhaul", "ftpjob.ini", "SKYHAUL.log", "skyhaul-okno.so"}) {
    writeFile(scene.remote(own), "from the server");
  }
  writeFile(scene.remote("b.txt"), "comes");
  const RunOutcome down = scene.start({"*,DOWN"}, here)->finish();
  EXPECT_EQ(down.exitStatus, kCompleted) << down.errors;
  EXPECT_EQ(readFile(folder / "b.txt"), "comes");
  EXPECT_EQ(readFile(folder / "skyhaul"), readFile(SKYHAUL_BINARY));
  EXPECT_EQ(readFile(folder / "ftpjob.ini"), ini);
  EXPECT_EQ(readFile(module), moduleBytes);
  EXPECT_TRUE(readFile(folder / "SKYHAUL.log").starts_with("an earlier line\r\n"));
  EXPECT_EQ(statusesOf(down.errors, "ftpjob.ini"),
            std::vector<std::string>{"Status: izpuščena: to so nastavitve tega posla."});
  EXPECT_EQ(statusesOf(down.errors, "SKYHAUL.log"),
            std::vector<std::string>{"Status: izpuščena: to je dnevnik prenosov."});
  EXPECT_EQ(statusesOf(down.errors, "skyhaul-okno.so"),
            std::vector<std::string>{"Status: izpuščena: to je okenski modul programa."});
}

// A display that is named but does not answer: the job runs in the terminal, and says so.
TEST(Scheduler, AStaleDisplayFallsBackToTheTerminal) {
  if (!ProgramFolder::hasWindowModule()) GTEST_SKIP() << "the display is probed by the window";
  struct Display {
    const char* name;
    std::vector<std::string> environment;
    const char* notice;
  };
  std::vector<Case> cases;
  for (const Display& row : {
           Display{"X", {"DISPLAY=:8597", "WAYLAND_DISPLAY"}, "zaslon :8597 se ne odziva"},
           Display{"Wayland",
                   {"DISPLAY", "WAYLAND_DISPLAY=skyhaul-none"},
                   "zaslon Wayland skyhaul-none se ne odziva"},
       }) {
    Case c;
    c.name = row.name;
    c.prepare = [](Scene& scene) {
      scene.writeSettings();
      writeFile(scene.localFile("f.txt"), "moves");
      return std::vector<std::string>{"f.txt,UP,DEL"};
    };
    c.check = [row](Scene& scene, const RunOutcome& outcome) {
      EXPECT_EQ(outcome.signal, 0);
      EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
      EXPECT_EQ(readFile(scene.remote("f.txt")), "moves");
      EXPECT_TRUE(outcome.errors.starts_with(std::string("Okna ni mogoče odpreti (") + row.notice +
                                             "); Skyhaul teče v terminalu.\n"))
          << outcome.errors;
    };
    c.options.environment = row.environment;
    for (const char* unset : {"SKYHAUL_UI", "QT_QPA_PLATFORM"}) {
      c.options.environment.emplace_back(unset);
    }
    cases.push_back(std::move(c));
  }
  runConcurrently(cases);
}

}  // namespace
}  // namespace skyhaul::test

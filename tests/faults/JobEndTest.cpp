// A job of many commands in which one file fails its third attempt: the documented end. The
// commands before it are done, its failure line is the last line of the log, the program ends
// after one pause of 5 s with status 1, and nothing after it runs: no further file of its
// command, no later stored command, no follow-up program.
#include <gtest/gtest.h>

#include "faults/Scene.h"

namespace skyhaul::test {
namespace {

TEST(JobEnd, AThirdFailureEndsTheJobAndNothingAfterItRuns) {
  Scene scene;
  scene.writeSettings(
      "prenos1=a.txt,UP\nprenos2=*.dat,DOWN,DEL\nprenos3=c.txt,UP\n"
      "prenos4=d.txt,UP,DEL\n" +
      scene.markerFollowUp() + "run2=touch " + scene.markerPath().string() + "2\n");
  for (const char* name : {"first.txt", "a.txt", "c.txt", "d.txt"}) {
    writeFile(scene.localFile(name), name);
  }
  writeFile(scene.remote("r.dat"), "r");
  writeFile(scene.remote("s.dat"), "s");
  scene.server.setFaults({"refuse:RETR:550"});

  auto run = scene.start({"first.txt,UP,DEL"});
  ASSERT_TRUE(run->waitForErrors(kDownloadFailed, std::chrono::seconds(60))) << run->errors();
  const auto failed = std::chrono::steady_clock::now();
  const RunOutcome outcome = run->finish();
  const std::chrono::duration<double> pause = std::chrono::steady_clock::now() - failed;

  EXPECT_EQ(outcome.exitStatus, kFileFailed) << outcome.errors;
  EXPECT_GE(pause.count(), 4.5) << "no pause for the operator to read the failure";
  EXPECT_LT(pause.count(), 9.0) << "more than the one pause after a third failure";
  // Done before the failure.
  EXPECT_EQ(readFile(scene.remote("first.txt")), "first.txt");
  EXPECT_FALSE(std::filesystem::exists(scene.localFile("first.txt")));
  EXPECT_EQ(readFile(scene.remote("a.txt")), "a.txt");
  EXPECT_EQ(readFile(scene.localFile("a.txt")), "a.txt");
  // The failed command: both remote files stay, neither arrived.
  for (const char* name : {"r.dat", "s.dat"}) {
    EXPECT_TRUE(std::filesystem::exists(scene.remote(name))) << name;
    EXPECT_FALSE(std::filesystem::exists(scene.localFile(name))) << name;
  }
  // Nothing after it.
  for (const char* name : {"c.txt", "d.txt"}) {
    EXPECT_FALSE(std::filesystem::exists(scene.remote(name))) << name;
    EXPECT_EQ(readFile(scene.localFile(name)), name);
    EXPECT_TRUE(statusesOf(outcome.errors, name).empty()) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(scene.markerPath()));
  EXPECT_FALSE(std::filesystem::exists(scene.markerPath().string() + "2"));
  // One of r.dat and s.dat failed three times; the other was never tried.
  const auto r = statusesOf(outcome.errors, "r.dat");
  const auto s = statusesOf(outcome.errors, "s.dat");
  const std::string failedName = r.empty() ? "s.dat" : "r.dat";
  const auto& statuses = r.empty() ? s : r;
  EXPECT_TRUE(r.empty() != s.empty()) << outcome.errors;
  const std::string error = "550 Refused by the test server.";
  EXPECT_EQ(statuses, failedStatuses(kDownloading, error, kDownloadFailed));
  const auto log = scene.logLines();
  ASSERT_EQ(log.size(), 4u) << scene.logText();  // two done, the failure, its line break
  EXPECT_TRUE(isSuccessLine(log[0], scene.localPath("first.txt"), scene.remotePath("first.txt")));
  EXPECT_TRUE(isSuccessLine(log[1], scene.localPath("a.txt"), scene.remotePath("a.txt")));
  const std::string rest = scene.logText().substr(scene.logText().find(log[2]));
  EXPECT_TRUE(
      isOnlyFailureLine(rest, scene.remotePath(failedName), scene.localPath(failedName), error))
      << rest;
}

}  // namespace
}  // namespace skyhaul::test

// Big files over bad links: a download cut part-way is taken up again (REST) only while the
// remote file is provably the same, a killed run's part by the next run, and where the server
// computes digests no copy counts, and no source goes, unless the digests agree.
#include <gtest/gtest.h>

#include <thread>

#include "faults/ConcurrentCases.h"
#include "platform/PartFile.h"

namespace skyhaul::test {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kSize = 300000;
constexpr int kCut = 100000;

// The REST commands the server received, in order.
std::vector<std::string> restCommands(const Scene& scene) {
  std::vector<std::string> rests;
  for (const auto& line : scene.server.commands()) {
    const auto command = line.substr(line.find(' ') + 1);
    if (command.starts_with("REST ")) rests.push_back(command);
  }
  return rests;
}

// The first attempt's data connection is cut after kCut bytes; the next attempt asks for the
// rest, and the whole file arrives, checked by the server's digest where it offers one.
Case cutDownload(const char* name, std::vector<std::string> faults, const char* check) {
  Case c;
  c.name = name;
  c.prepare = [faults](Scene& scene) {
    scene.writeSettings();
    writeFile(scene.remote("big.bin"), patternBytes(kSize, 3));
    scene.server.setFaults(faults);
    return std::vector<std::string>{"big.bin,DOWN,DEL"};
  };
  c.check = [check](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
    EXPECT_TRUE(readFile(scene.localFile("big.bin")) == patternBytes(kSize, 3));
    EXPECT_FALSE(std::filesystem::exists(scene.remote("big.bin")));
    ASSERT_EQ(restCommands(scene).size(), 1u);
    const auto offset = std::stoll(restCommands(scene)[0].substr(5));
    EXPECT_GT(offset, 0);
    EXPECT_LE(offset, kCut);
    EXPECT_TRUE(holdsStatus(outcome, "big.bin", "nadaljevano od bajta " + std::to_string(offset)))
        << outcome.errors;
    if (check != nullptr) {
      EXPECT_TRUE(holdsStatus(outcome, "big.bin", check)) << outcome.errors;
    }
    ASSERT_EQ(scene.logLines().size(), 1u);
    EXPECT_TRUE(std::string(scene.logLines()[0]).find("NAPAKA") == std::string::npos);
  };
  return c;
}

// Where the server's digest disagrees, the copy never counts: a download leaves no file, an
// upload's remote copy is removed, and the source stays either way. Turned off, no digest is
// asked for.
Case wrongDigest(const char* name, bool up, const std::string& settings, int exitStatus) {
  Case c;
  c.name = name;
  c.prepare = [up, settings](Scene& scene) {
    scene.writeSettings(settings);
    writeFile(up ? scene.localFile("d.bin") : scene.remote("d.bin"), patternBytes(5000, 9));
    scene.server.setFaults({"digests:XSHA256,XCRC", "digest-wrong"});
    return std::vector<std::string>{up ? "d.bin,UP,DEL" : "d.bin,DOWN,DEL"};
  };
  c.check = [up, exitStatus](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.exitStatus, exitStatus) << outcome.errors;
    const auto source = up ? scene.localFile("d.bin") : scene.remote("d.bin");
    const auto copy = up ? scene.remote("d.bin") : scene.localFile("d.bin");
    if (exitStatus == kCompleted) {
      EXPECT_TRUE(readFile(copy) == patternBytes(5000, 9));
      EXPECT_FALSE(std::filesystem::exists(source));
      return;
    }
    EXPECT_TRUE(readFile(source) == patternBytes(5000, 9));
    EXPECT_FALSE(std::filesystem::exists(copy));
    EXPECT_NE(outcome.errors.find("SHA-256"), std::string::npos) << outcome.errors;
  };
  return c;
}

// With zacasno=1 an upload cut part-way is finished into its own temporary (REST, then STOR);
// under its real name it would start again.
Case cutUpload(const char* name, std::vector<std::string> faults) {
  Case c;
  c.name = name;
  c.prepare = [faults](Scene& scene) {
    scene.writeSettings("zacasno=1\n");
    writeFile(scene.localFile("up.bin"), patternBytes(kSize, 7));
    scene.server.setFaults(faults);
    return std::vector<std::string>{"up.bin,UP,DEL"};
  };
  c.check = [](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
    EXPECT_TRUE(readFile(scene.remote("up.bin")) == patternBytes(kSize, 7));
    EXPECT_FALSE(std::filesystem::exists(scene.localFile("up.bin")));
    ASSERT_EQ(restCommands(scene).size(), 1u) << outcome.errors;
    EXPECT_TRUE(holdsStatus(outcome, "up.bin", "nadaljevano od bajta")) << outcome.errors;
  };
  return c;
}

TEST(Resume, ADownloadCutPartWayIsTakenUpAgainAndDigestsGuardTheSource) {
  runConcurrently({
      cutDownload("CutOnce", {"reset-data:RETR:100000:times=1"}, nullptr),
      cutDownload("CutOnceCheckedByHash", {"reset-data:RETR:100000:times=1", "digests:HASH"},
                  "preverjeno s SHA-256"),
      cutDownload("ControlCutCheckedByXcrc", {"drop-control:RETR:100000:times=1", "digests:XCRC"},
                  "preverjeno s CRC32"),
      wrongDigest("WrongDigestDown", false, "", kFileFailed),
      wrongDigest("WrongDigestUp", true, "", kFileFailed),
      wrongDigest("DigestsTurnedOff", false, "kontrolnevsote=0\n", kCompleted),
      cutUpload("UploadCutIntoItsTemporary", {"reset-data:STOR:100000:times=1"}),
      cutUpload("UploadCutCheckedByXsha256", {"reset-data:STOR:100000:times=1", "digests:XSHA256"}),
  });
}

// A file replaced between two attempts is fetched whole again: old and new bytes are never
// spliced. Its new modification time shows it; a replacement within the same second and of the
// same size only the server's digest can show, and then the spliced copy never counts.
void replaceBetweenAttempts(const std::vector<std::string>& faults, bool newTime) {
  Scene scene;
  scene.writeSettings();
  writeFile(scene.remote("r.bin"), patternBytes(kSize, 4));
  scene.server.setFaults(faults);
  auto run = scene.start({"r.bin,DOWN"});
  // The first attempt's error: the next attempt begins two seconds later, after reconnecting.
  ASSERT_TRUE(run->waitForErrors("r.bin: ", 20s, 2)) << run->errors();
  writeFile(scene.remote("r.bin"), patternBytes(kSize, 5));
  if (newTime) {
    std::filesystem::last_write_time(scene.remote("r.bin"),
                                     std::filesystem::last_write_time(scene.remote("r.bin")) + 10s);
  }
  const RunOutcome outcome = run->finish();
  EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
  EXPECT_TRUE(readFile(scene.localFile("r.bin")) == patternBytes(kSize, 5));
  if (newTime) {
    EXPECT_TRUE(restCommands(scene).empty());
  }
}

TEST(Resume, AFileReplacedBetweenAttemptsStartsAgainFromItsFirstByte) {
  replaceBetweenAttempts({"reset-data:RETR:100000:times=1"}, true);
  replaceBetweenAttempts({"reset-data:RETR:100000:times=1", "digests:HASH"}, false);
}

// A run killed in the middle of a download keeps what it got; the next run asks only for the
// rest, and leaves no temporary behind.
TEST(Resume, AKilledRunIsTakenUpByTheNext) {
  constexpr std::size_t kLarge = 3000000;
  Scene scene;
  scene.writeSettings();
  writeFile(scene.remote("k.bin"), patternBytes(kLarge, 6));
  scene.server.setFaults({"stall-data:RETR:1000000"});
  RunOptions patient;
  patient.environment = {"SKYHAUL_TIMEOUT=60"};
  auto run = scene.start({"k.bin,DOWN"}, patient);
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  std::filesystem::path part;
  while (part.empty() && std::chrono::steady_clock::now() < deadline) {
    for (const auto& entry : std::filesystem::directory_iterator(scene.local.path())) {
      if (platform::isPartFileName(entry.path().filename().string()) &&
          std::filesystem::file_size(entry.path()) > 0) {
        part = entry.path();
      }
    }
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_FALSE(part.empty()) << run->errors();
  run->kill();
  scene.server.setFaults({});
  // Another command into the same folder leaves the part for the run that wants it.
  const RunOutcome other = scene.start({"nothing.bin,DOWN"})->finish();
  EXPECT_EQ(other.exitStatus, kCompleted) << other.errors;
  ASSERT_TRUE(std::filesystem::exists(part));
  const RunOutcome next = scene.start({"k.bin,DOWN"})->finish();
  EXPECT_EQ(next.exitStatus, kCompleted) << next.errors;
  EXPECT_TRUE(readFile(scene.localFile("k.bin")) == patternBytes(kLarge, 6));
  ASSERT_EQ(restCommands(scene).size(), 1u);
  EXPECT_GT(std::stoll(restCommands(scene)[0].substr(5)), 0);
  for (const auto& entry : std::filesystem::directory_iterator(scene.local.path())) {
    EXPECT_FALSE(platform::isPartFileName(entry.path().filename().string())) << entry.path();
  }
}

}  // namespace
}  // namespace skyhaul::test

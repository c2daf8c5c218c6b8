// Nothing of the user's is lost to a local race or a half-done transfer: a source that changes
// while it is sent, a download that fails or is killed part-way, names that no FTP command,
// terminal or log can carry, folders among the files, and uploads published only whole.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <thread>

#include "faults/ConcurrentCases.h"
#include "platform/PartFile.h"

namespace skyhaul::test {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kLarge = 40 * 1024 * 1024;  // long enough to change it while it moves

// Waits (bounded) until `path` exists.
bool waitForFile(const std::filesystem::path& path, std::chrono::seconds limit = 20s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!std::filesystem::exists(path)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

// The program's temporaries in `folder`.
std::vector<std::filesystem::path> partFiles(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> parts;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (platform::isPartFileName(entry.path().filename().string())) parts.push_back(entry.path());
  }
  return parts;
}

// Waits (bounded) until `folder` holds a temporary, and names it.
std::optional<std::filesystem::path> waitForPartFile(const std::filesystem::path& folder,
                                                     std::chrono::seconds limit = 20s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (auto parts = partFiles(folder); parts.empty(); parts = partFiles(folder)) {
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(5ms);
  }
  return partFiles(folder).front();
}

// The first attempt sends what the file held when it was opened; what it holds by the end is
// another file, so the attempt fails and the next one sends it whole before it is deleted.
TEST(DataSafety, ASourceChangedWhileItIsSentIsSentAgainBeforeItIsDeleted) {
  struct Change {
    const char* name;
    std::function<void(const std::filesystem::path&)> change;
  };
  for (const Change& row : {
           Change{"Appended", [](const auto& path) { std::ofstream(path, std::ios::app) << "+"; }},
           Change{"RenamedOver",
                  [](const auto& path) {
                    writeFile(path.string() + ".new", patternBytes(5000, 9));
                    std::filesystem::rename(path.string() + ".new", path);
                  }},
       }) {
    SCOPED_TRACE(row.name);
    Scene scene;
    scene.writeSettings();
    writeFile(scene.localFile("big.bin"), patternBytes(kLarge, 4));
    auto run = scene.start({"big.bin,UP,DEL"});
    ASSERT_TRUE(waitForFile(scene.remote("big.bin"))) << run->errors();
    row.change(scene.localFile("big.bin"));
    const std::string changed = readFile(scene.localFile("big.bin"));
    const RunOutcome outcome = run->finish();
    EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
    EXPECT_TRUE(readFile(scene.remote("big.bin")) == changed) << "the server holds another file";
    EXPECT_FALSE(std::filesystem::exists(scene.localFile("big.bin")));
    const auto statuses = statusesOf(outcome.errors, "big.bin");
    EXPECT_EQ(statuses, recoveredStatuses(kUploading,
                                          "VerifyUpload error code: 1006 Message: Izvorna "
                                          "datoteka se je med prenosom spremenila."));
  }
}

// Yesterday's file stays whole through every failed attempt; what arrived is kept only in a
// hidden temporary, for the next run to take up.
TEST(DataSafety, AFailedDownloadLeavesTheExistingFileAsItWas) {
  Scene scene;
  scene.writeSettings();
  writeFile(scene.localFile("r.csv"), "yesterday");
  writeFile(scene.remote("r.csv"), patternBytes(20000, 6));
  scene.server.setFaults({"reset-data:RETR:5000"});
  const RunOutcome outcome = scene.start({"r.csv,DOWN,DEL"})->finish();
  EXPECT_EQ(outcome.exitStatus, kFileFailed) << outcome.errors;
  EXPECT_EQ(readFile(scene.localFile("r.csv")), "yesterday");
  EXPECT_LE(snapshot(scene.local.path()).files.size(), 2u);
  EXPECT_LE(partFiles(scene.local.path()).size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(scene.remote("r.csv")));
}

// A killed run leaves at most a hidden temporary, never a partial file under the real name, and
// the next run of the job takes the temporary away.
TEST(DataSafety, AKilledDownloadLeavesOnlyATemporaryThatTheNextRunRemoves) {
  Scene scene;
  scene.writeSettings();
  writeFile(scene.remote("k.bin"), patternBytes(200000, 2));
  scene.server.setFaults({"stall-data:RETR:50000"});
  RunOptions patient;
  patient.environment = {"SKYHAUL_TIMEOUT=60"};
  auto run = scene.start({"k.bin,DOWN"}, patient);
  ASSERT_TRUE(waitForPartFile(scene.local.path())) << run->errors();
  run->kill();
  EXPECT_FALSE(std::filesystem::exists(scene.localFile("k.bin")));
  writeFile(scene.localFile(platform::newPartFileName()), "from a run before");

  scene.server.setFaults({});
  const RunOutcome next = scene.start({"k.bin,DOWN"})->finish();
  EXPECT_EQ(next.exitStatus, kCompleted) << next.errors;
  EXPECT_EQ(readFile(scene.localFile("k.bin")), patternBytes(200000, 2));
  EXPECT_EQ(snapshot(scene.local.path()).files.size(), 1u) << "a temporary was left";
}

// Names with ESC, CR and code 1 stay where they are, named once with the characters escaped;
// a folder among the matches is no file to fetch. The names after them still move.
TEST(DataSafety, NamesThatCannotBeCarriedAndFoldersAreLeftOut) {
  const std::vector<std::string> uncarried = {"a\x1b[2Jb.txt", "c\rd.txt",
                                              "\x01"
                                              "e.txt"};
  std::vector<Case> cases;
  for (const bool up : {true, false}) {
    Case c;
    c.name = up ? "Up" : "Down";
    c.prepare = [up, uncarried](Scene& scene) {
      scene.writeSettings();
      const auto folder = up ? scene.local.path() : scene.server.root() / "in";
      for (const auto& name : uncarried) writeFile(folder / name, "stays");
      writeFile(folder / "f.txt", "moves");
      std::filesystem::create_directory(folder / "g.txt");
      return std::vector<std::string>{up ? "*.txt,UP,DEL" : "*.txt,DOWN,DEL"};
    };
    c.check = [up, uncarried](Scene& scene, const RunOutcome& outcome) {
      EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
      const auto source = up ? scene.local.path() : scene.server.root() / "in";
      const auto target = up ? scene.server.root() / "in" : scene.local.path();
      EXPECT_EQ(readFile(target / "f.txt"), "moves");
      EXPECT_FALSE(std::filesystem::exists(source / "f.txt"));
      for (const auto& name : uncarried) {
        EXPECT_EQ(readFile(source / name), "stays");
        EXPECT_FALSE(std::filesystem::exists(target / name));
      }
      for (const char* shown : {"a\\x1B[2Jb.txt", "c\\x0Dd.txt", "\\x01e.txt"}) {
        EXPECT_EQ(statusesOf(outcome.errors, shown).size(), 1u) << shown << outcome.errors;
      }
      for (const char raw : {'\x1b', '\r', '\x01'}) {
        EXPECT_EQ(outcome.errors.find(raw), std::string::npos) << int(raw);
      }
      ASSERT_EQ(scene.logLines().size(), 1u) << scene.logText();
      EXPECT_EQ(scene.logText(), scene.logLines()[0] + "\r\n");  // no other control character
    };
    cases.push_back(std::move(c));
  }
  runConcurrently(cases);
}

// With zacasno=1 the file arrives under a hidden name and takes its own only once it is whole.
TEST(DataSafety, AnUploadPublishedByRenameAppearsOnlyWhole) {
  Scene scene;
  scene.writeSettings("zacasno=1\n");
  writeFile(scene.localFile("pub.bin"), patternBytes(kLarge, 8));
  auto run = scene.start({"pub.bin,UP,DEL"});
  ASSERT_TRUE(waitForPartFile(scene.server.root() / "in")) << run->errors();
  EXPECT_FALSE(std::filesystem::exists(scene.remote("pub.bin")));
  const RunOutcome outcome = run->finish();
  EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
  EXPECT_TRUE(readFile(scene.remote("pub.bin")) == patternBytes(kLarge, 8));
  EXPECT_TRUE(partFiles(scene.server.root() / "in").empty());
  EXPECT_FALSE(std::filesystem::exists(scene.localFile("pub.bin")));
  ASSERT_EQ(scene.logLines().size(), 1u);
  EXPECT_TRUE(
      isSuccessLine(scene.logLines()[0], scene.localPath("pub.bin"), scene.remotePath("pub.bin")));
}

}  // namespace
}  // namespace skyhaul::test

// What a remote file's name and age mean to the job: a listed name is that file and no other,
// whatever it holds; a name equal to another of its queue but for case may be the same file on
// the server; and a download's source that may still be being written stays where it is.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "faults/ConcurrentCases.h"
#include "support/ProgramFolder.h"
#include "support/TempDir.h"
#include "support/TestSshServer.h"

namespace skyhaul::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::minutes;

// Names that hold pattern characters, each beside a name it would match as a pattern, with
// contents of different sizes so that the one sized for the other cannot pass.
const std::vector<std::pair<std::string, std::string>> kNeighbours = {
    {"x?.csv", "x1.csv"}, {"a*b.dat", "aXXb.dat"}, {"[ab].log", "a.log"}, {"r 1?.txt", "r 12.txt"},
    {"*", "any"},
};

Case listedNamesAreThemselves(const char* name, std::vector<std::string> faults) {
  Case c;
  c.name = name;
  c.server.faults = std::move(faults);
  c.prepare = [](Scene& scene) {
    scene.writeSettings();
    for (std::size_t i = 0; i < kNeighbours.size(); ++i) {
      writeFile(scene.remote(kNeighbours[i].first), patternBytes(1000 + i, 1));
      writeFile(scene.remote(kNeighbours[i].second), patternBytes(3000 + i, 2));
    }
    // Without DEL the neighbours stay on the server while each special name is sized.
    return std::vector<std::string>{"*,DOWN"};
  };
  c.check = [](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
    for (std::size_t i = 0; i < kNeighbours.size(); ++i) {
      const auto& [special, plain] = kNeighbours[i];
      EXPECT_TRUE(readFile(scene.localFile(special)) == patternBytes(1000 + i, 1)) << special;
      EXPECT_TRUE(readFile(scene.localFile(plain)) == patternBytes(3000 + i, 2)) << plain;
    }
    EXPECT_EQ(scene.logLines().size(), 2 * kNeighbours.size()) << scene.logText();
  };
  return c;
}

// Each way a server can be asked about one name: MLST, SIZE alone, or only its listing.
TEST(RemoteSource, AListedNameIsSizedAsItselfNeverAsAPattern) {
  runConcurrently(
      {listedNamesAreThemselves("Mlst", {}), listedNamesAreThemselves("SizeOnly", {"no-mlst"}),
       listedNamesAreThemselves("ListOnly", {"no-mlst", "no-size"}),
       listedNamesAreThemselves("DosListOnly", {"no-mlst", "no-size", "list-format:dos"})});
}

Case caseTwins(bool foldingServer) {
  Case c;
  c.name = foldingServer ? "FoldingServer" : "CaseSensitiveServer";
  if (foldingServer) c.server.faults = {"fold-case"};
  c.prepare = [](Scene& scene) {
    scene.writeSettings();
    writeFile(scene.localFile("Report.csv"), "the first report, the longer one");
    writeFile(scene.localFile("report.csv"), "the second");
    writeFile(scene.localFile("other.csv"), "unrelated");
    return std::vector<std::string>{"*.csv,UP,DEL"};
  };
  c.check = [foldingServer](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
    EXPECT_EQ(readFile(scene.remote("Report.csv")), "the first report, the longer one");
    EXPECT_EQ(readFile(scene.remote("other.csv")), "unrelated");
    EXPECT_FALSE(fs::exists(scene.localFile("Report.csv")));
    EXPECT_FALSE(fs::exists(scene.localFile("other.csv")));
    if (foldingServer) {
      EXPECT_EQ(readFile(scene.localFile("report.csv")), "the second");
      EXPECT_TRUE(holdsStatus(outcome, "report.csv", "ne loči velikih in malih črk"))
          << outcome.errors;
      EXPECT_EQ(scene.logLines().size(), 2u) << scene.logText();
    } else {
      EXPECT_EQ(readFile(scene.remote("report.csv")), "the second");
      EXPECT_FALSE(fs::exists(scene.localFile("report.csv")));
      EXPECT_EQ(scene.logLines().size(), 3u) << scene.logText();
    }
  };
  return c;
}

TEST(RemoteSource, NamesEqualButForCaseAreNotBothSentAwayToAServerThatFoldsThem) {
  runConcurrently({caseTwins(true), caseTwins(false)});
}

void setModified(const fs::path& path, fs::file_time_type::duration fromNow) {
  fs::last_write_time(path, fs::file_time_type::clock::now() + fromNow);
}

TEST(RemoteSource, ADownloadLeavesASourceThatMayStillBeBeingWritten) {
  Scene scene({.faults = {"grow-after:grows.csv:100"}});
  scene.writeIni(jobSettings(scene.serverUrl(), scene.local.prefix(), "in/", ""));
  fs::create_directories(scene.server.root() / "in");
  const std::vector<std::string> names = {"new.csv", "old.csv", "grows.csv", "ahead.csv"};
  for (const auto& name : names) writeFile(scene.remote(name), "contents of " + name);
  setModified(scene.remote("old.csv"), -minutes(10));
  setModified(scene.remote("grows.csv"), -minutes(10));
  setModified(scene.remote("ahead.csv"), minutes(90));
  const RunOutcome outcome = scene.start({"*.csv,DOWN,DEL"})->finish();
  EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
  for (const auto& name : names) {
    EXPECT_EQ(readFile(scene.localFile(name)), "contents of " + name) << name;
  }
  EXPECT_EQ(scene.logLines().size(), names.size()) << scene.logText();
  EXPECT_FALSE(fs::exists(scene.remote("old.csv")));
  EXPECT_TRUE(fs::exists(scene.remote("new.csv")));
  EXPECT_TRUE(fs::exists(scene.remote("grows.csv")));
  EXPECT_TRUE(fs::exists(scene.remote("ahead.csv")));
  EXPECT_TRUE(holdsStatus(outcome, "new.csv", "morda se še piše (starost=60)")) << outcome.errors;
  EXPECT_TRUE(holdsStatus(outcome, "grows.csv", "med prenosom se je spremenila")) << outcome.errors;
  EXPECT_TRUE(holdsStatus(outcome, "ahead.csv", "v prihodnosti")) << outcome.errors;
  EXPECT_FALSE(holdsStatus(outcome, "old.csv", "ostane na strežniku")) << outcome.errors;
}

// The same over SFTP, where the time is the attributes' mtime.
TEST(RemoteSource, OverSftpANewSourceStaysAndAnOldOneGoes) {
  TestSshServer server;
  const fs::path remote = server.root() / "in";
  fs::create_directories(remote);
  if (::geteuid() == 0) fs::permissions(remote, fs::perms::all);
  for (const char* name : {"new.csv", "old.csv"}) {
    writeFile(remote / name, std::string("contents of ") + name);
    if (::geteuid() == 0) fs::permissions(remote / name, fs::perms(0666));
  }
  setModified(remote / "old.csv", -minutes(10));
  ProgramFolder program;
  TempDir local;
  TempDir work;
  program.writeIni(
      "[PROGRAM]\nIZBRANO=job\n[job]\nFTPURL=sftp://127.0.0.1:" + std::to_string(server.port()) +
      "\nftpdir=" + remote.string() + "/\nlocaldir=" + local.prefix() +
      "\nuporabnik=" + server.user() + "\nkljuc=" + server.clientKey().string() +
      "\nznanigostitelji=" + server.knownHosts().string() + "\n");
  RunOptions options;
  options.arguments = {"*.csv,DOWN,DEL"};
  options.workingDirectory = work.path();
  options.environment = {"SKYHAUL_VERBOSE=1"};
  const RunOutcome outcome = program.run(options);
  EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
  EXPECT_EQ(readFile(local.path() / "new.csv"), "contents of new.csv");
  EXPECT_EQ(readFile(local.path() / "old.csv"), "contents of old.csv");
  EXPECT_TRUE(fs::exists(remote / "new.csv"));
  EXPECT_FALSE(fs::exists(remote / "old.csv"));
  EXPECT_TRUE(holdsStatus(outcome, "new.csv", "morda se še piše (starost=60)")) << outcome.errors;
}

}  // namespace
}  // namespace skyhaul::test

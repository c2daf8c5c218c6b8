// Faults on the local side: a full disk, a file size limit, an unreadable source, a source that
// vanishes before its turn, a log that cannot be written
// and a follow-up program that does not exist.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "faults/ConcurrentCases.h"

namespace skyhaul::test {
namespace {

constexpr const char* kDiskFull = "Na disku ni dovolj prostora.";
constexpr const char* kAccessDenied = "Dostop je zavrnjen.";
constexpr const char* kNotFound = "Datoteke ni mogoče najti.";
constexpr std::size_t kFileSize = 20000;

// A download that cannot be written fails its three attempts; the remote source stays. (A local
// folder that is missing from the start ends the job before it connects: SettingsMistakes.)
Case unwritableDownload(const std::string& name, const char* mark,
                        const std::function<void(Scene&)>& spoil, RunOptions options = {}) {
  Case c;
  c.name = name;
  c.prepare = [spoil](Scene& scene) {
    scene.writeSettings("prenos1=next.txt,UP\n");
    writeFile(scene.remote("f.bin"), patternBytes(kFileSize, 5));
    writeFile(scene.localFile("next.txt"), "the next command");
    scene.sources = snapshot(scene.server.root() / "in");
    spoil(scene);
    return std::vector<std::string>{"f.bin,DOWN,DEL"};
  };
  c.check = [mark](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.exitStatus, kFileFailed) << outcome.errors << "signal " << outcome.signal;
    EXPECT_TRUE(expectNothingLost(scene.sources, scene.local.path()).empty());
    const auto statuses = statusesOf(outcome.errors, "f.bin");
    const std::string error = statuses.size() > 1 ? statuses[1] : "";
    EXPECT_NE(error.find(mark), std::string::npos) << outcome.errors;
    EXPECT_EQ(statuses, failedStatuses(kDownloading, error, kDownloadFailed));
    EXPECT_TRUE(isOnlyFailureLine(scene.logText(), scene.remotePath("f.bin"),
                                  scene.localPath("f.bin"), mark))
        << scene.logText();
    EXPECT_FALSE(std::filesystem::exists(scene.remote("next.txt"))) << "the job went on";
  };
  c.options = std::move(options);
  return c;
}

// An upload whose source cannot be read fails its three attempts; the source stays.
Case unreadableUpload() {
  Case c;
  c.name = "UnreadableSource";
  c.prepare = [](Scene& scene) {
    scene.writeSettings();
    writeFile(scene.localFile("f.bin"), patternBytes(kFileSize, 6));
    std::filesystem::permissions(scene.localFile("f.bin"), std::filesystem::perms::none);
    scene.sources = snapshot(scene.local.path());
    return std::vector<std::string>{"f.bin,UP,DEL"};
  };
  c.check = [](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.exitStatus, kFileFailed) << outcome.errors;
    EXPECT_TRUE(expectNothingLost(scene.sources, scene.server.root() / "in").empty());
    EXPECT_FALSE(std::filesystem::exists(scene.remote("f.bin")));
    const auto statuses = statusesOf(outcome.errors, "f.bin");
    const std::string error = statuses.size() > 1 ? statuses[1] : "";
    EXPECT_NE(error.find(kAccessDenied), std::string::npos) << outcome.errors;
    EXPECT_EQ(statuses, failedStatuses(kUploading, error, kUploadFailed));
    EXPECT_TRUE(isOnlyFailureLine(scene.logText(), scene.localPath("f.bin"),
                                  scene.remotePath("f.bin"), kAccessDenied))
        << scene.logText();
  };
  c.options.obeyFileModes = true;
  return c;
}

// An error the job does not handle ends the program with status 2 and its cause on the
// console, at the point where it happened: what came before stays done, nothing after runs.
struct Unhandled {
  const char* name;
  std::function<void(Scene&)> prepare;  // settings and spoilers; the source is in place
  bool transferred;                     // the file reached the server before the error
  const char* cause;                    // what the console must say
  bool obeyFileModes;
};

Case unhandledCase(const Unhandled& row) {
  Case c;
  c.name = row.name;
  c.prepare = [row](Scene& scene) {
    writeFile(scene.localFile("f.bin"), patternBytes(kFileSize, 8));
    scene.sources = snapshot(scene.local.path());
    row.prepare(scene);
    return std::vector<std::string>{"f.bin,UP,DEL"};
  };
  c.check = [row](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.exitStatus, kUnhandledError) << outcome.errors;
    EXPECT_NE(outcome.errors.find(std::string("Napaka: ") + row.cause), std::string::npos)
        << outcome.errors;
    const auto moved = expectNothingLost(scene.sources, scene.server.root() / "in");
    EXPECT_EQ(std::filesystem::exists(scene.remote("f.bin")), row.transferred);
    if (row.transferred) {
      EXPECT_EQ(readFile(scene.remote("f.bin")), patternBytes(kFileSize, 8));
      EXPECT_EQ(statusesOf(outcome.errors, "f.bin"), (std::vector<std::string>{kUploading, kDone}));
    }
    // A copy that was never logged does not let its source go.
    if (scene.logLines().empty()) {
      EXPECT_TRUE(moved.empty());
    }
    EXPECT_FALSE(std::filesystem::exists(scene.markerPath())) << "a later program ran";
  };
  c.options.obeyFileModes = row.obeyFileModes;
  return c;
}

TEST(LocalFaults, UnwritableOrUnreadableFiles) {
  RunOptions limited;
  limited.fileSizeLimit = 8192;
  runConcurrently({
      unwritableDownload(
          "DownloadOverTheFileSizeLimit", kDiskFull, [](Scene&) {}, limited),
      unreadableUpload(),
  });
}

TEST(LocalFaults, ErrorsTheJobDoesNotHandle) {
  const char* const logCause = "Dnevnika prenosov \"SKYHAUL.log\" ni mogoče pisati";
  std::vector<Case> cases;
  for (const Unhandled& row : {
           Unhandled{"LogInAReadOnlyFolder",
                     [](Scene& scene) {
                       scene.writeSettings();
                       std::filesystem::permissions(
                           scene.work.path(),
                           std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
                     },
                     true, logCause, true},
           Unhandled{"LogOfAnotherUser",
                     [](Scene& scene) {
                       scene.writeSettings();
                       const auto log = scene.work.path() / "SKYHAUL.log";
                       writeFile(log, "");
                       ASSERT_EQ(::chown(log.c_str(), 65534, 65534), 0);
                     },
                     true,
                     "Dnevnika prenosov \"SKYHAUL.log\" ni mogoče pisati: dostop ni dovoljen "
                     "(datoteka je last uporabnika nobody, posel pa teče kot uporabnik root; "
                     "popravite z: sudo chown root /",
                     true},
           Unhandled{"LogOnAFullDisk",
                     [](Scene& scene) {
                       scene.writeSettings();
                       std::filesystem::create_symlink("/dev/full",
                                                       scene.work.path() / "SKYHAUL.log");
                     },
                     true, logCause, false},
           Unhandled{"MissingFollowUpProgram",
                     [](Scene& scene) {
                       scene.writeSettings("run1=/nonexistent/skyhaul-follow-up\nrun2=touch " +
                                           scene.markerPath().string() + "\n");
                     },
                     true, "Programa \"/nonexistent/skyhaul-follow-up\" ni mogoče zagnati", false},
       }) {
    cases.push_back(unhandledCase(row));
  }
  runConcurrently(cases);
}

// Three local files are queued; the second vanishes while the first is sent. The second fails
// its attempts and ends the job: the first is done, the third is never touched.
TEST(LocalFaults, SourceDeletedBetweenListingAndUpload) {
  Scene scene;
  scene.writeSettings();
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) writeFile(scene.localFile(name), name);

  auto run = scene.start({"*.txt,UP,DEL"});
  ASSERT_TRUE(run->waitForErrors(std::string("a.txt: ") + kUploading, std::chrono::seconds(20)))
      << run->errors();
  std::filesystem::remove(scene.localFile("b.txt"));
  const RunOutcome outcome = run->finish();

  EXPECT_EQ(outcome.exitStatus, kFileFailed) << outcome.errors;
  EXPECT_EQ(readFile(scene.remote("a.txt")), "a.txt");
  EXPECT_FALSE(std::filesystem::exists(scene.localFile("a.txt")));
  EXPECT_FALSE(std::filesystem::exists(scene.remote("b.txt")));
  EXPECT_EQ(readFile(scene.localFile("c.txt")), "c.txt");
  EXPECT_FALSE(std::filesystem::exists(scene.remote("c.txt")));
  const auto statuses = statusesOf(outcome.errors, "b.txt");
  const std::string error = statuses.size() > 1 ? statuses[1] : "";
  EXPECT_NE(error.find(kNotFound), std::string::npos) << outcome.errors;
  EXPECT_EQ(statuses, failedStatuses(kUploading, error, kUploadFailed));
  EXPECT_TRUE(statusesOf(outcome.errors, "c.txt").empty());
  const auto log = scene.logLines();
  ASSERT_GE(log.size(), 2u) << scene.logText();
  EXPECT_TRUE(isSuccessLine(log[0], scene.localPath("a.txt"), scene.remotePath("a.txt")));
  const std::string failure = scene.logText().substr(scene.logText().find("\r\n") + 2);
  EXPECT_TRUE(
      isOnlyFailureLine(failure, scene.localPath("b.txt"), scene.remotePath("b.txt"), kNotFound))
      << failure;
}

}  // namespace
}  // namespace skyhaul::test

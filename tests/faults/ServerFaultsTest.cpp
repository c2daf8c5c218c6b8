// Faults of the server during a transfer, once (the next attempt makes good) and on every
// attempt (the file fails its third attempt and the program ends): the exit status, the status
// lines, the log, the bytes on both sides, and that a source goes only when its copy is whole.
#include <gtest/gtest.h>

#include "faults/ConcurrentCases.h"

namespace skyhaul::test {
namespace {

enum class Direction { Up, Down };

struct ServerFault {
  const char* name;
  const char* fault;  // a fault line of the test server
  bool recovers;      // true when only the first attempt meets the fault
  const char* mark;   // what the error text must hold
};

constexpr std::size_t kFileSize = 20000;
constexpr unsigned kSeed = 7;
const char* const kFile = "f.bin";
// The library's own texts; a server's refusal shows its reply code instead.
constexpr const char* kTimedOut = "Čas za operacijo je potekel.";
constexpr const char* kAborted = "Povezava s strežnikom je bila prekinjena.";
constexpr const char* kReset = "Strežnik je ponastavil povezavo.";
constexpr const char* kProtocol = "Strežnik je odgovoril v nasprotju s protokolom FTP.";

// What "the memory stays small" allows. AddressSanitizer's shadow memory and its quarantine of
// freed blocks about double what the program itself holds (38 MiB at rest, not 18).
#if defined(__SANITIZE_ADDRESS__)
constexpr long kSmallMemoryKiB = 128 * 1024;
#else
constexpr long kSmallMemoryKiB = 64 * 1024;
#endif

// The file under test moves with DEL; a stored command and a follow-up program show whether
// the job went on after it.
std::vector<std::string> prepare(Scene& scene, Direction direction, const ServerFault& row) {
  scene.writeSettings("prenos1=next.txt,UP\n" + scene.markerFollowUp());
  const bool up = direction == Direction::Up;
  writeFile(up ? scene.localFile(kFile) : scene.remote(kFile), patternBytes(kFileSize, kSeed));
  writeFile(scene.localFile("next.txt"), "the next command");
  scene.sources = snapshot(up ? scene.local.path() : scene.server.root() / "in");
  scene.server.setFaults({row.fault});
  return {std::string(kFile) + (up ? ",UP,DEL" : ",DOWN,DEL")};
}

void check(Scene& scene, const RunOutcome& outcome, Direction direction, const ServerFault& row) {
  const bool up = direction == Direction::Up;
  const char* working = up ? kUploading : kDownloading;
  const auto source = up ? scene.localPath(kFile) : scene.remotePath(kFile);
  const auto target = up ? scene.remotePath(kFile) : scene.localPath(kFile);
  const auto targetFolder = up ? scene.server.root() / "in" : scene.local.path();
  auto statuses = statusesOf(outcome.errors, kFile);
  // A download taken up again says so; the rest of the statuses are as for any file.
  std::erase_if(statuses,
                [](const std::string& s) { return s.starts_with("Status: nadaljevano"); });
  const auto moved = expectNothingLost(scene.sources, targetFolder);
  const std::string error = statuses.size() > 1 ? statuses[1] : "";
  EXPECT_NE(error.find(row.mark), std::string::npos) << outcome.errors;
  if (row.recovers) {
    EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
    EXPECT_EQ(moved, std::vector<std::string>{kFile});
    EXPECT_EQ(statuses, recoveredStatuses(working, error));
    const auto log = scene.logLines();
    ASSERT_EQ(log.size(), 2u) << scene.logText();  // f.bin, then next.txt
    EXPECT_TRUE(isSuccessLine(log[0], source, target)) << log[0];
    EXPECT_TRUE(std::filesystem::exists(scene.remote("next.txt")));
    EXPECT_TRUE(appears(scene.markerPath()));
    return;
  }
  EXPECT_EQ(outcome.exitStatus, kFileFailed) << outcome.errors;
  EXPECT_TRUE(moved.empty());
  EXPECT_TRUE(isAbsentOrPrefixOf(targetFolder / kFile, patternBytes(kFileSize, kSeed)));
  EXPECT_EQ(statuses, failedStatuses(working, error, up ? kUploadFailed : kDownloadFailed));
  EXPECT_TRUE(isOnlyFailureLine(scene.logText(), source, target, row.mark)) << scene.logText();
  EXPECT_FALSE(std::filesystem::exists(scene.remote("next.txt"))) << "the job went on";
  EXPECT_FALSE(std::filesystem::exists(scene.markerPath())) << "a follow-up program ran";
}

void runTable(Direction direction, const std::vector<ServerFault>& rows,
              const FtpServerOptions& server = {}) {
  std::vector<Case> cases;
  for (const ServerFault& row : rows) {
    Case c;
    c.name = row.name;
    c.server = server;
    c.prepare = [direction, row](Scene& scene) { return prepare(scene, direction, row); };
    c.check = [direction, row](Scene& scene, const RunOutcome& outcome) {
      check(scene, outcome, direction, row);
    };
    if (std::string(row.fault).starts_with("stall") ||
        std::string(row.fault).starts_with("trickle")) {
      c.options.environment = {"SKYHAUL_TIMEOUT=2"};  // a stalled wait gives up after 2 s
    }
    cases.push_back(std::move(c));
  }
  runConcurrently(cases);
}

// The same faults over FTPS (explicit TLS, every data connection resumed), where they make
// sense: the TLS connections break, reset or stall the way the plain ones do.
FtpServerOptions overTls() {
  FtpServerOptions options;
  options.tls = FtpTls::Explicit;
  return options;
}

TEST(ServerFaults, OverTls) {
  runTable(Direction::Up,
           {
               {"UpControlDroppedOnce", "drop-control:STOR:5000:times=1", true, kReset},
               {"UpDataResetEveryTime", "reset-data:STOR:5000", false, "426"},
               {"UpRefused553", "refuse:STOR:553", false, "553"},
               {"UpKeepsOnlyAPart", "stor-keep:1000", false, "(1000 od 20000)"},
           },
           overTls());
  runTable(Direction::Down,
           {
               {"DownControlDroppedOnce", "drop-control:RETR:5000:times=1", true, kReset},
               {"DownDataResetEveryTime", "reset-data:RETR:5000", false, ""},
               {"DownDataStallsOnce", "stall-data:RETR:5000:times=1", true, kTimedOut},
           },
           overTls());
}

TEST(ServerFaults, Upload) {
  runTable(Direction::Up,
           {
               {"ControlDroppedOnce", "drop-control:STOR:5000:times=1", true, kReset},
               {"ControlDroppedEveryTime", "drop-control:STOR:5000", false, kReset},
               {"DataResetOnce", "reset-data:STOR:5000:times=1", true, "426"},
               {"DataResetEveryTime", "reset-data:STOR:5000", false, "426"},
               {"Refused550", "refuse:STOR:550", false, "550"},
               {"Refused553", "refuse:STOR:553", false, "553"},
               {"RefusedAtCompletion451", "refuse-complete:STOR:451", false, "451"},
               {"RefusedAtCompletion452Once", "refuse-complete:STOR:452:times=1", true, "452"},
               {"RefusedAtCompletion552", "refuse-complete:STOR:552", false, "552"},
               {"ClosedWith421BeforeTheTransfer", "421:CWD:times=1", true, kAborted},
               {"ClosedWith421OnStore", "421:STOR", false, "421"},
               {"StallsWithoutReply", "stall:STOR", false, kTimedOut},
               // Trusted on the final reply alone, these would cost the source.
               {"KeepsOnlyAPart", "stor-keep:1000", false, "(1000 od 20000)"},
               {"CompleteBeforeItStarted", "early-226:STOR", false, kProtocol},
               {"ReplyTrickles", "trickle:STOR:0.5", false, kTimedOut},
           });
}

TEST(ServerFaults, Download) {
  runTable(Direction::Down,
           {
               {"ControlDroppedOnce", "drop-control:RETR:5000:times=1", true, kReset},
               {"ControlDroppedEveryTime", "drop-control:RETR:5000", false, kReset},
               {"DataResetEveryTime", "reset-data:RETR:5000", false, kReset},
               {"Refused550", "refuse:RETR:550", false, "550"},
               {"Refused553Once", "refuse:RETR:553:times=1", true, "553"},
               {"ClosedWith421OnRetrieveOnce", "421:RETR:times=1", true, "421"},
               {"DataStallsOnce", "stall-data:RETR:5000:times=1", true, kTimedOut},
               {"StallsWithoutReply", "stall:RETR", false, kTimedOut},
               {"CompleteBeforeItStarted", "early-226:RETR", false, kProtocol},
               {"DataTrickles", "trickle-data:RETR:0.5", false, kTimedOut},
               // Listed, then gone: the text is this file's own, not another's reply.
               {"VanishedAfterTheListing", "vanished:f.bin", false, "550 No such file"},
           });
}

constexpr int kListedFiles = 40;

std::string listedName(int i) {
  std::string name = "r";  // appended: GCC 12's -Wrestrict misreads "r" + ... at -O3
  return name.append(std::to_string(10 + i)).append(".dat");
}

// A listing cut part-way gives a shorter queue: the files listed move, the others stay, and
// the job ends normally.
Case listingCut(const std::string& name, const std::string& fault) {
  Case c;
  c.name = name;
  c.prepare = [fault](Scene& scene) {
    scene.writeSettings();
    for (int i = 0; i < kListedFiles; ++i) {
      writeFile(scene.remote(listedName(i)), patternBytes(300 + i, i));
    }
    scene.sources = snapshot(scene.server.root() / "in");
    scene.server.setFaults({fault});
    return std::vector<std::string>{"*.dat,DOWN,DEL"};
  };
  c.check = [](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
    const auto moved = expectNothingLost(scene.sources, scene.local.path());
    EXPECT_GT(moved.size(), 0u);
    EXPECT_LT(moved.size(), static_cast<std::size_t>(kListedFiles));
    EXPECT_EQ(scene.logLines().size(), moved.size());
  };
  return c;
}

// A listing that is refused, never ends, stalls or trickles, or a folder that is not there,
// fails within its bounds: nothing is fetched, the status line names the listing and says why,
// the job goes on over a new connection to its end, which tells the scheduler (exit 6), and the
// memory stays small.
Case listingFails(const std::string& name, const std::vector<std::string>& faults, const char* mark,
                  const std::string& mask = "*.txt") {
  Case c;
  c.name = name;
  c.prepare = [faults, mask](Scene& scene) {
    scene.writeSettings("prenos1=next.txt,UP\n" + scene.markerFollowUp());
    writeFile(scene.remote("a.txt"), "listed");
    writeFile(scene.localFile("next.txt"), "the next command");
    scene.server.setFaults(faults);
    return std::vector<std::string>{mask + ",DOWN,DEL"};
  };
  c.check = [mark, mask](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.exitStatus, kListingFailed) << outcome.errors;
    const auto statuses = statusesOf(outcome.errors, scene.remotePath(mask));
    ASSERT_EQ(statuses.size(), 1u) << outcome.errors;
    EXPECT_TRUE(statuses[0].starts_with("Status napaka: ")) << statuses[0];
    EXPECT_NE(statuses[0].find(mark), std::string::npos) << outcome.errors;
    EXPECT_EQ(outcome.errors.find('\r'), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(scene.remote("a.txt")));
    EXPECT_TRUE(std::filesystem::exists(scene.remote("next.txt")));
    EXPECT_TRUE(appears(scene.markerPath()));
    EXPECT_LT(outcome.peakMemoryKiB, kSmallMemoryKiB);
  };
  c.options.environment = {"SKYHAUL_TIMEOUT=2"};
  return c;
}

TEST(ServerFaults, TheJobGoesOn) {
  Case deleteRefused;
  deleteRefused.name = "DeleteRefusedAfterDownload";
  deleteRefused.prepare = [](Scene& scene) {
    scene.writeSettings("prenos1=next.txt,UP\n" + scene.markerFollowUp());
    writeFile(scene.remote("a.dat"), patternBytes(1000, 1));
    writeFile(scene.remote("b.dat"), patternBytes(2000, 2));
    writeFile(scene.localFile("next.txt"), "the next command");
    scene.server.setFaults({"refuse:DELE:550"});
    return std::vector<std::string>{"*.dat,DOWN,DEL"};
  };
  deleteRefused.check = [](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
    for (const auto& [name, seed] : {std::pair{"a.dat", 1u}, std::pair{"b.dat", 2u}}) {
      const auto bytes = patternBytes(seed * 1000, seed);
      EXPECT_EQ(readFile(scene.localFile(name)), bytes) << name;
      EXPECT_EQ(readFile(scene.remote(name)), bytes) << name << " left the server";
      EXPECT_EQ(statusesOf(outcome.errors, name), (std::vector<std::string>{kDownloading, kDone}));
    }
    const auto log = scene.logLines();
    ASSERT_EQ(log.size(), 3u) << scene.logText();
    // The server's listing order decides which comes first.
    for (const char* name : {"a.dat", "b.dat"}) {
      EXPECT_TRUE(isSuccessLine(log[0], scene.remotePath(name), scene.localPath(name)) ||
                  isSuccessLine(log[1], scene.remotePath(name), scene.localPath(name)))
          << name;
    }
    EXPECT_TRUE(std::filesystem::exists(scene.remote("next.txt")));
    EXPECT_TRUE(appears(scene.markerPath()));
  };
  runConcurrently(
      {deleteRefused, listingCut("ListingCutOnce", "list-fail:600:times=1"),
       listingCut("ListingCutEveryTime", "list-fail:600"),
       listingFails("EndlessListing", {"endless-list"}, "Seznam datotek na strežniku je predolg."),
       listingFails("ListingTrickles", {"trickle-data:MLSD:0.5"}, kTimedOut),
       listingFails("ListingStalls", {"stall:MLSD"}, kTimedOut),
       listingFails("ListingRefused", {"refuse:MLSD:425", "refuse:LIST:425"}, "425"),
       listingFails("NoSuchFolder", {}, "No such directory", "nope/*.txt")});
}

}  // namespace
}  // namespace skyhaul::test

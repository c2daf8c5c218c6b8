// Names and neighbours that try to make the job act on files they do not name: the program's
// own files behind a trailing blank, FIFOs, names that no temporary may outgrow or equal, links
// another user put into a shared inbox, Telnet's 0xFF, and a server that refuses a stored file
// only at its end.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "faults/ConcurrentCases.h"

namespace skyhaul::test {
namespace {

constexpr uid_t kOtherUser = 65534;  // nobody

Case ownFilesBehindATrailingBlank() {
  Case c;
  c.name = "OwnFilesBehindATrailingBlank";
  c.prepare = [](Scene& scene) {
    // Downloads land in the program's own folder, as they do when localdir is not set.
    scene.writeSettings({}, "in/", scene.program.path().string() + "/");
    const std::string hostile = "[job]\nFTPURL=127.0.0.1:1\n" + scene.markerFollowUp();
    for (const char* name : {"ftpjob.ini ", "ftpjob.ini", " skyhaul", "skyhaul "}) {
      writeFile(scene.remote(name), hostile);
    }
    scene.sources = snapshot(scene.program.path());
    return std::vector<std::string>{"*,DOWN,DEL"};
  };
  c.check = [](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
    EXPECT_EQ(snapshot(scene.program.path()).files, scene.sources.files);
    EXPECT_FALSE(std::filesystem::exists(scene.markerPath()));
    for (const char* name : {"ftpjob.ini ", "ftpjob.ini", " skyhaul", "skyhaul "}) {
      EXPECT_TRUE(std::filesystem::exists(scene.remote(name))) << name;
      EXPECT_TRUE(holdsStatus(outcome, name, "izpuščena")) << name << outcome.errors;
    }
    EXPECT_TRUE(scene.logLines().empty()) << scene.logText();
  };
  return c;
}

// A FIFO as the target would hold the job (and its lock) for ever.
Case fifoAsTheTarget() {
  Case c;
  c.name = "FifoAsTheTarget";
  c.prepare = [](Scene& scene) {
    scene.writeSettings();
    writeFile(scene.remote("d.csv"), "stays");
    EXPECT_EQ(::mkfifo(scene.localFile("d.csv").c_str(), 0600), 0);
    return std::vector<std::string>{"d.csv,DOWN,DEL"};
  };
  c.check = [](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
    EXPECT_TRUE(holdsStatus(outcome, "d.csv", "ni navadna datoteka")) << outcome.errors;
    EXPECT_EQ(readFile(scene.remote("d.csv")), "stays");
    EXPECT_TRUE(std::filesystem::is_fifo(scene.localFile("d.csv")));
  };
  return c;
}

// 250 bytes: the longest names a folder holds still move, their temporaries being short.
// A name of the temporaries' form never moves, so neither is taken for the other.
Case longAndTemporaryNames(bool up) {
  Case c;
  c.name = up ? "LongAndTemporaryNamesUp" : "LongAndTemporaryNamesDown";
  c.prepare = [up](Scene& scene) {
    // "*" leaves hidden names alone; asked for by a mask of its own, the temporary's name is
    // still left out.
    scene.writeSettings(up ? "" : "prenos1=.skyhaul*,DOWN,DEL\n");
    const auto source = up ? scene.local.path() : scene.server.root() / "in";
    writeFile(source / (std::string(246, 'n') + ".csv"), patternBytes(3000, 5));
    writeFile(source / ".skyhaul-0123456789abcdef.part", "a ledger");
    return std::vector<std::string>{up ? "*,UP,DEL" : "*,DOWN,DEL"};
  };
  c.check = [up](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
    const auto source = up ? scene.local.path() : scene.server.root() / "in";
    const auto target = up ? scene.server.root() / "in" : scene.local.path();
    const std::string longName = std::string(246, 'n') + ".csv";
    EXPECT_EQ(readFile(target / longName), patternBytes(3000, 5));
    EXPECT_FALSE(std::filesystem::exists(source / longName));
    EXPECT_EQ(readFile(source / ".skyhaul-0123456789abcdef.part"), "a ledger");
    EXPECT_FALSE(std::filesystem::exists(target / ".skyhaul-0123456789abcdef.part"));
    EXPECT_EQ(holdsStatus(outcome, ".skyhaul-0123456789abcdef.part", "začasne"), !up)
        << outcome.errors;
  };
  return c;
}

// Another user's link in a shared (1777) inbox could send a download over any file of the job's
// user, or send that file away; it is followed neither way.
Case foreignLinksInASharedInbox() {
  Case c;
  c.name = "ForeignLinksInASharedInbox";
  c.prepare = [](Scene& scene) {
    scene.writeSettings("prenos1=u.csv,UP,DEL\n");
    std::filesystem::permissions(scene.local.path(),
                                 std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
    writeFile(scene.work.path() / "victim", "precious");
    writeFile(scene.remote("r.csv"), "attack");
    for (const char* name : {"r.csv", "u.csv"}) {
      std::filesystem::create_symlink(scene.work.path() / "victim", scene.localFile(name));
      EXPECT_EQ(::lchown(scene.localFile(name).c_str(), kOtherUser, kOtherUser), 0);
    }
    return std::vector<std::string>{"r.csv,DOWN,DEL"};
  };
  c.check = [](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
    EXPECT_EQ(readFile(scene.work.path() / "victim"), "precious");
    EXPECT_EQ(readFile(scene.remote("r.csv")), "attack");
    EXPECT_FALSE(std::filesystem::exists(scene.remote("u.csv")));
    for (const char* name : {"r.csv", "u.csv"}) {
      EXPECT_TRUE(holdsStatus(outcome, name, "drugega uporabnika")) << name << outcome.errors;
    }
  };
  return c;
}

// proftpd reads the control connection as Telnet: an undoubled 0xFF 0xF4 is an interrupt, and
// two names would become one.
Case telnetInterruptInAName() {
  Case c;
  c.name = "TelnetInterruptInAName";
  c.prepare = [](Scene& scene) {
    scene.writeSettings();
    writeFile(scene.localFile("x\xFF\xF4.csv"), "first");
    writeFile(scene.localFile("x.csv"), "second");
    scene.server.setFaults({"byte-names", "telnet-iac"});
    return std::vector<std::string>{"x*.csv,UP,DEL"};
  };
  c.check = [](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
    EXPECT_EQ(readFile(scene.remote("x\xFF\xF4.csv")), "first");
    EXPECT_EQ(readFile(scene.remote("x.csv")), "second");
  };
  return c;
}

// What the server kept of an upload it refused at the end is no file anybody may take.
Case refusedAtItsEnd() {
  Case c;
  c.name = "RefusedAtItsEnd";
  c.prepare = [](Scene& scene) {
    scene.writeSettings();
    writeFile(scene.localFile("f.csv"), patternBytes(5000, 3));
    scene.server.setFaults({"refuse-kept:STOR:451"});
    return std::vector<std::string>{"f.csv,UP,DEL"};
  };
  c.check = [](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.exitStatus, kFileFailed) << outcome.errors;
    EXPECT_FALSE(std::filesystem::exists(scene.remote("f.csv")));
    EXPECT_EQ(readFile(scene.localFile("f.csv")), patternBytes(5000, 3));
  };
  return c;
}

TEST(HostileNames, NothingReachesAFileItDoesNotName) {
  std::vector<Case> cases = {ownFilesBehindATrailingBlank(), fifoAsTheTarget(),
                             longAndTemporaryNames(true),    longAndTemporaryNames(false),
                             telnetInterruptInAName(),       refusedAtItsEnd()};
  if (::geteuid() == 0) cases.push_back(foreignLinksInASharedInbox());  // lchown needs root
  runConcurrently(cases);
}

// A queued source that became a FIFO meanwhile is left out, not waited on.
TEST(HostileNames, AQueuedUploadSwappedForAFifoIsLeftOut) {
  Scene scene;
  scene.writeSettings();
  writeFile(scene.localFile("a.csv"), "first");
  writeFile(scene.localFile("b.csv"), "second");
  auto run = scene.start({"*.csv,UP,DEL"});
  ASSERT_TRUE(run->waitForErrors(std::string("a.csv: ") + kUploading, std::chrono::seconds(20)))
      << run->errors();
  std::filesystem::remove(scene.localFile("b.csv"));
  ASSERT_EQ(::mkfifo(scene.localFile("b.csv").c_str(), 0600), 0);
  const RunOutcome outcome = run->finish();
  EXPECT_FALSE(outcome.hung);
  EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
  EXPECT_EQ(readFile(scene.remote("a.csv")), "first");
  EXPECT_FALSE(std::filesystem::exists(scene.remote("b.csv")));
  EXPECT_TRUE(holdsStatus(outcome, "b.csv", "ni navadna datoteka")) << outcome.errors;
}

}  // namespace
}  // namespace skyhaul::test

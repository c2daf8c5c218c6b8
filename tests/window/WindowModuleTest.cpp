// The window is a module the real program loads only when it shows the window. Without it, or
// with a module that does not load, the job runs in the terminal after one notice.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "support/JobFiles.h"
#include "support/ProgramFolder.h"
#include "support/TempDir.h"
#include "support/TestFtpServer.h"

namespace skyhaul::test {
namespace {

constexpr const char* kFallback = "); Skyhaul teče v terminalu.\n";

class WindowModule : public ::testing::Test {
 protected:
  WindowModule() {
    std::filesystem::create_directory(server.root() / "in");
    program.writeIni(jobSettings(server.address(), local.prefix()));
    writeFile(local.path() / "f.txt", "moves");
  }
  // A job that asks for the window on a screen that needs no display.
  RunOutcome runWithWindow() const {
    RunOptions options;
    options.arguments = {"f.txt,UP"};
    options.environment = {"SKYHAUL_UI=window", "QT_QPA_PLATFORM=offscreen"};
    options.workingDirectory = work.path();
    return program.run(std::move(options));
  }
  std::filesystem::path module() const { return program.path() / "skyhaul-okno.so"; }

  TestFtpServer server;
  ProgramFolder program;
  TempDir local;
  TempDir work;
};

TEST_F(WindowModule, AMissingModuleLeavesTheJobToTheTerminalWithOneNotice) {
  std::filesystem::remove(module());

  const RunOutcome result = runWithWindow();

  EXPECT_EQ(result.exitStatus, 0) << result.errors;
  EXPECT_EQ(readFile(server.root() / "in/f.txt"), "moves");
  EXPECT_EQ(result.errors,
            std::string("Okna ni mogoče odpreti (okenski modul skyhaul-okno.so ni nameščen; "
                        "prinese ga paket skyhaul-okno") +
                kFallback);
}

TEST_F(WindowModule, AModuleThatDoesNotLoadLeavesTheJobToTheTerminalWithOneNotice) {
  writeFile(module(), "not a shared object");

  const RunOutcome result = runWithWindow();

  EXPECT_EQ(result.exitStatus, 0) << result.errors;
  EXPECT_EQ(readFile(server.root() / "in/f.txt"), "moves");
  EXPECT_TRUE(result.errors.starts_with("Okna ni mogoče odpreti (okenskega modula " +
                                        module().string() + " ni mogoče naložiti ("))
      << result.errors;
  EXPECT_TRUE(result.errors.ends_with(kFallback)) << result.errors;
  EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << result.errors;
}

TEST_F(WindowModule, TheModuleBesideTheProgramShowsTheWindow) {
  if (!ProgramFolder::hasWindowModule()) GTEST_SKIP() << "built without the window";

  const RunOutcome result = runWithWindow();

  EXPECT_EQ(result.exitStatus, 0) << result.errors;
  EXPECT_EQ(readFile(server.root() / "in/f.txt"), "moves");
  EXPECT_EQ(result.errors.find(kFallback), std::string::npos) << result.errors;
}

// The module runs with the job's rights: one that a job's user, or anyone but root and the
// program's owner, could have put there or changed is never loaded.
TEST_F(WindowModule, AModuleOthersCouldHaveWrittenIsNotLoaded) {
  if (!ProgramFolder::hasWindowModule()) GTEST_SKIP() << "built without the window";
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the module to another user";
  namespace fs = std::filesystem;
  const std::string file = "okenskega modula " + module().string() + " ni varno naložiti: ";
  const fs::path real = program.path() / "real.so";
  fs::copy_file(module(), real);
  struct Row {
    const char* name;
    std::function<void()> change;
    std::string reason;  // "" when it loads
  };
  const std::vector<Row> rows = {
      {"as installed", [] {}, ""},
      {"world writable",
       [&] { fs::permissions(module(), fs::perms::others_write, fs::perm_options::add); },
       "v datoteko lahko pišejo tudi drugi uporabniki"},
      {"another user's", [&] { ASSERT_EQ(::chown(module().c_str(), 65534, 65534), 0); },
       "datoteka ni last uporabnika root ali lastnika programa"},
      {"in a folder others write",
       [&] { fs::permissions(program.path(), fs::perms::others_write, fs::perm_options::add); },
       "v mapo lahko pišejo tudi drugi uporabniki"},
      {"a link",
       [&] {
         fs::remove(module());
         fs::create_symlink(real, module());
       },
       "datoteka je simbolna povezava"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove(module());
    fs::copy_file(real, module());
    fs::permissions(module(), fs::perms(0644));
    fs::permissions(program.path(), fs::perms(0700));
    row.change();

    const RunOutcome result = runWithWindow();

    EXPECT_EQ(result.exitStatus, 0) << result.errors;
    if (row.reason.empty()) {
      EXPECT_EQ(result.errors.find(kFallback), std::string::npos) << result.errors;
    } else {
      EXPECT_EQ(result.errors, "Okna ni mogoče odpreti (" + file + row.reason + kFallback);
    }
  }
  fs::permissions(program.path(), fs::perms(0700));
}

}  // namespace
}  // namespace skyhaul::test

// The window is a module the real program loads only when it shows the window. Without it, or
// with a module that does not load, the job runs in the terminal after one notice.
#include <gtest/gtest.h>

#include <algorithm>

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
  EXPECT_TRUE(
      result.errors.starts_with("Okna ni mogoče odpreti (okenskega modula ni mogoče "
                                "naložiti: " +
                                module().string()))
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

}  // namespace
}  // namespace skyhaul::test

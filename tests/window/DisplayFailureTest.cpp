// A display that fails the window never aborts the job: at the start the program begins again
// in the terminal, and a display lost in the middle of a transfer ends the job as closing the
// window does (exit status 3), the file under way left as its part file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/ChildExit.h"
#include "support/JobFiles.h"
#include "support/ProgramFolder.h"
#include "support/TempDir.h"
#include "support/TestFtpServer.h"

namespace skyhaul::test {
namespace {

using namespace std::chrono_literals;

class DisplayFailure : public ::testing::Test {
 protected:
  DisplayFailure() {
    std::filesystem::create_directory(server.root() / "in");
    program.writeIni(jobSettings(server.address(), local.prefix()));
  }
  RunOptions windowOptions(std::vector<std::string> arguments,
                           std::vector<std::string> environment) const {
    RunOptions options;
    options.arguments = std::move(arguments);
    options.environment = std::move(environment);
    options.environment.push_back("SKYHAUL_UI=window");
    options.workingDirectory = work.path();
    return options;
  }

  TestFtpServer server;
  ProgramFolder program;
  TempDir local;
  TempDir work;
};

// Qt is told to connect where nothing answers, past the program's own probe: it would abort.
TEST_F(DisplayFailure, AtTheStartTheTerminalTakesOverWithOneLine) {
  if (!ProgramFolder::hasWindowModule()) GTEST_SKIP() << "built without the window";
  writeFile(local.path() / "f.txt", "moves");

  const RunOutcome result =
      program.run(windowOptions({"f.txt,UP"}, {"QT_QPA_PLATFORM=xcb", "DISPLAY=:8598"}));

  EXPECT_EQ(result.exitStatus, 0) << result.errors;
  EXPECT_EQ(result.errors,
            "Okna ni mogoče odpreti (Qt: could not connect to display :8598); Skyhaul teče v "
            "terminalu.\n");
  EXPECT_EQ(readFile(server.root() / "in/f.txt"), "moves");
}

// A real X server (Xvfb) goes away while a download trickles in.
TEST_F(DisplayFailure, ADisplayLostMidTransferEndsTheJobWithStatusThree) {
  if (!ProgramFolder::hasWindowModule()) GTEST_SKIP() << "built without the window";
  if (::access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
  int pipe[2];
  ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
  const pid_t xvfb =
      startServer("/usr/bin/Xvfb",
                  {"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"},
                  {work.path() / "xvfb.log", pipe[1]});
  ::close(pipe[1]);
  std::string display;
  char c = 0;
  while (display.size() < 8 && ::read(pipe[0], &c, 1) == 1 && c != '\n') display += c;
  ::close(pipe[0]);
  ASSERT_FALSE(display.empty()) << readFile(work.path() / "xvfb.log");
  writeFile(server.root() / "in/big.bin", patternBytes(200000, 4));
  server.setFaults({"trickle-data:RETR:0.0005"});

  auto run = program.start(
      windowOptions({"big.bin,DOWN"}, {"QT_QPA_PLATFORM=xcb", "DISPLAY=:" + display}));
  bool underWay = false;
  for (int i = 0; i < 300 && !underWay; ++i) {
    for (const auto& entry : std::filesystem::directory_iterator(local.path())) {
      underWay = underWay || entry.path().filename().string().ends_with(".part");
    }
    if (!underWay) std::this_thread::sleep_for(100ms);
  }
  ::kill(xvfb, SIGTERM);
  waitForExit(xvfb, 10s);
  const RunOutcome result = run->finish();

  ASSERT_TRUE(underWay) << result.errors;
  EXPECT_EQ(result.exitStatus, 3) << result.errors;
  EXPECT_EQ(result.errors,
            "Zaslon okna se je izgubil; posel se konča kot ob zaprtju okna, datoteka v prenosu "
            "ostane nedokončana.\n");
  EXPECT_FALSE(std::filesystem::exists(local.path() / "big.bin"));
  EXPECT_FALSE(std::filesystem::exists(work.path() / "SKYHAUL.log"));
  int parts = 0;
  for (const auto& entry : std::filesystem::directory_iterator(local.path())) {
    parts += entry.path().filename().string().ends_with(".part") ? 1 : 0;
  }
  EXPECT_EQ(parts, 1);
}

}  // namespace
}  // namespace skyhaul::test

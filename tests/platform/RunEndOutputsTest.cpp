// What the platform gives a run's end: steps that run however the program ends, ISO times,
// files replaced whole, and the syslog line.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <regex>
#include <stdexcept>

#include "platform/IsoTime.h"
#include "platform/ReplacedFile.h"
#include "platform/SystemLog.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"

namespace skyhaul::platform {
namespace {

TEST(EndSteps, RunOnceInOrderPastAThrowingStepAndBeforeTheEnd) {
  test::FakeProgramEnd end;
  std::vector<std::string> ran;
  end.atEnd([&](ExitStatus status) { ran.push_back("a" + std::to_string(int(status))); });
  end.atEnd([&](ExitStatus) { throw std::runtime_error("disk full"); });
  end.atEnd([&](ExitStatus) { ran.push_back("c"); });

  EXPECT_THROW(end.endProgram(ExitStatus::FileFailed), test::ProgramEnded);
  EXPECT_EQ(ran, (std::vector<std::string>{"a1", "c"}));
  EXPECT_THROW(end.endProgram(ExitStatus::Completed), test::ProgramEnded);
  EXPECT_EQ(ran.size(), 2U);  // a second end runs none of them again
}

// Restores TZ when the case ends.
class TimeZone {
 public:
  explicit TimeZone(const char* zone) {
    const char* old = std::getenv("TZ");
    if (old != nullptr) old_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~TimeZone() {
    if (old_) {
      ::setenv("TZ", old_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

 private:
  std::optional<std::string> old_;
};

TEST(IsoTime, GivesUtcAndLocalTimeWithItsOffset) {
  // 2026-07-01 12:34:56.789 UTC.
  const auto when = std::chrono::system_clock::time_point(std::chrono::milliseconds(1782909296789));
  struct Row {
    const char* zone;
    const char* local;
  };
  for (const Row& row : {Row{"UTC0", "2026-07-01T12:34:56.789+00:00"},
                         Row{"CET-1CEST,M3.5.0,M10.5.0/3", "2026-07-01T14:34:56.789+02:00"},
                         Row{"<-0330>3:30", "2026-07-01T09:04:56.789-03:30"}}) {
    const TimeZone zone(row.zone);
    EXPECT_EQ(isoUtcText(when), "2026-07-01T12:34:56.789Z") << row.zone;
    EXPECT_EQ(isoLocalText(when), row.local) << row.zone;
  }
}

TEST(ReplacedFile, ReplacesWholeAndLeavesNothingElse) {
  const test::TempDir folder;
  const std::string path = (folder.path() / "m.prom").string();
  test::writeFile(path, "old\n");
  EXPECT_EQ(replaceFileWith(path, "new content\n"), ErrorCode::Success);
  EXPECT_EQ(wholeFileText(path), "new content\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(ReplacedFile, AFolderThatIsMissingFailsAndWritesNothing) {
  const test::TempDir folder;
  const std::string path = (folder.path() / "no" / "m.prom").string();
  EXPECT_NE(replaceFileWith(path, "x"), ErrorCode::Success);
  EXPECT_FALSE(wholeFileText(path));
}

TEST(SystemLog, SendsOneSyslogLineToTheNamedSocket) {
  const test::TempDir folder;
  const std::string path = (folder.path() / "log").string();
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ::setenv(kSyslogSocketVariable, path.c_str(), 1);

  const bool sent = writeSystemLog(LogPriority::Warning, "posel\tkonec\n", {{"SKYHAUL_X", "1"}});

  ::unsetenv(kSyslogSocketVariable);
  ASSERT_TRUE(sent);
  std::array<char, 1024> line{};
  const ssize_t got = ::recv(fd, line.data(), line.size(), MSG_DONTWAIT);
  ::close(fd);
  ASSERT_GT(got, 0);
  const std::regex form(
      R"(<12>[A-Z][a-z]{2} [ 0-9]\d \d\d:\d\d:\d\d skyhaul\[\d+\]: posel\\x09konec\\x0a)");
  EXPECT_TRUE(std::regex_match(std::string(line.data(), static_cast<std::size_t>(got)), form))
      << line.data();
}

TEST(SystemLog, ASocketNobodyListensOnTakesNothing) {
  const test::TempDir folder;
  ::setenv(kSyslogSocketVariable, (folder.path() / "none").c_str(), 1);
  EXPECT_FALSE(writeSystemLog(LogPriority::Info, "x", {}));
  ::unsetenv(kSyslogSocketVariable);
}

}  // namespace
}  // namespace skyhaul::platform

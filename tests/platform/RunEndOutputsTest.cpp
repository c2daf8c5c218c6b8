// What the platform gives a run's end: steps that run however the program ends, and ISO times.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <stdexcept>

#include "platform/IsoTime.h"
#include "support/FakeClock.h"

namespace skyhaul::platform {
namespace {

TEST(EndSteps, RunOnceInOrderPastAThrowingStepAndBeforeTheEnd) {
  test::FakeProgramEnd end;
  std::vector<std::string> ran;
  end.atEnd([&](ExitStatus status) {
    ran.push_back(std::string("a").append(std::to_string(int(status))));
  });
  end.atEnd([&](ExitStatus) { throw std::runtime_error("disk full"); });
  end.atEnd([&](ExitStatus) { ran.push_back("c"); });

  EXPECT_THROW(end.endProgram(ExitStatus::FileFailed), test::ProgramEnded);
  EXPECT_EQ(ran, (std::vector<std::string>{"a1", "c"}));
  EXPECT_THROW(end.endProgram(ExitStatus::Completed), test::ProgramEnded);
  EXPECT_EQ(ran.size(), 2U);  // a second end runs none of them again
}

TEST(IsoTime, GivesUtcAndLocalTimeWithItsOffset) {
  // 2026-07-01 12:34:56.789 UTC.
  const auto when = std::chrono::system_clock::time_point(std::chrono::milliseconds(1782909296789));
  const char* old = std::getenv("TZ");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  for (const auto& [zone, local] :
       {std::pair{"CET-1CEST,M3.5.0,M10.5.0/3", "2026-07-01T14:34:56.789+02:00"},
        std::pair{"<-0330>3:30", "2026-07-01T09:04:56.789-03:30"}}) {
    ::setenv("TZ", zone, 1);
    ::tzset();
    EXPECT_EQ(isoUtcText(when), "2026-07-01T12:34:56.789Z") << zone;
    EXPECT_EQ(isoLocalText(when), local) << zone;
  }
  saved ? ::setenv("TZ", saved->c_str(), 1) : ::unsetenv("TZ");
  ::tzset();
}

}  // namespace
}  // namespace skyhaul::platform

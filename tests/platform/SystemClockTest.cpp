// The machine's clock: a wait ends as close to its end as the system allows, never before.

#include <gtest/gtest.h>

#include <chrono>

#include "platform/Clock.h"

namespace skyhaul::platform {
namespace {

TEST(SystemClockSleep, NeverEndsBeforeTheTimeAsked) {
  SystemClock clock;
  for (const int milliseconds : {0, 1, 2, 7, 30}) {
    const auto start = std::chrono::steady_clock::now();
    clock.sleep(std::chrono::milliseconds(milliseconds));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(milliseconds))
        << milliseconds;
  }
}

}  // namespace
}  // namespace skyhaul::platform

#include "window/qt/YieldTicker.h"

#include <gtest/gtest.h>

#include <chrono>

namespace skyhaul::window {
namespace {

using Steady = std::chrono::steady_clock;

TEST(YieldTicker, TheFirstLookIsDueAtOnce) {
  YieldTicker ticker;
  EXPECT_TRUE(ticker.takeDue());
}

TEST(YieldTicker, ALookBecomesDueAgainAfterItWasTaken) {
  YieldTicker ticker;
  ASSERT_TRUE(ticker.takeDue());
  const auto limit = Steady::now() + std::chrono::seconds(5);
  bool dueAgain = false;
  while (!dueAgain && Steady::now() < limit) dueAgain = ticker.takeDue();
  EXPECT_TRUE(dueAgain);
}

// However often it is asked, a look is due at most once per tick (plus the first one).
TEST(YieldTicker, IsDueAtMostOncePerTick) {
  YieldTicker ticker;
  const auto start = Steady::now();
  int due = 0;
  for (long i = 0; i < 20'000'000 && Steady::now() - start < std::chrono::milliseconds(50); ++i) {
    if (ticker.takeDue()) ++due;
  }
  const auto ticks = (Steady::now() - start) / YieldTicker::kTick;
  EXPECT_LE(due, ticks + 2);
  EXPECT_GE(due, 1);
}

}  // namespace
}  // namespace skyhaul::window

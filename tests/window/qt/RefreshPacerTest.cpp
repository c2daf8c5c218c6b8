#include "window/qt/RefreshPacer.h"

#include <gtest/gtest.h>

#include <vector>

namespace skyhaul::window {
namespace {

using std::chrono::milliseconds;

struct YieldCase {
  int atMs;            // time of the yield, from an arbitrary start
  bool changed;        // a field changed since the last refresh
  bool refresh;        // expected: fields pushed into the widgets
  bool processEvents;  // expected: events handled
};

// One run of yields through a single pacer, each row depending on the rows before it.
void expectRun(const std::vector<YieldCase>& run) {
  RefreshPacer pacer;
  const auto start = std::chrono::steady_clock::now();
  for (const YieldCase& row : run) {
    SCOPED_TRACE(testing::Message() << "yield at " << row.atMs << " ms");
    const RefreshPacer::Step step = pacer.onYield(start + milliseconds(row.atMs), row.changed);
    EXPECT_EQ(step.refresh, row.refresh);
    EXPECT_EQ(step.processEvents, row.processEvents);
  }
}

TEST(RefreshPacer, FirstYieldAfterAChangeRefreshesAndHandlesEvents) {
  expectRun({{0, true, true, true}});
}

TEST(RefreshPacer, FirstYieldWithoutChangesOnlyHandlesEvents) {
  expectRun({{0, false, false, true}});
}

TEST(RefreshPacer, RefreshesAtMostEvery33Milliseconds) {
  expectRun({
      {0, true, true, true},
      {1, true, false, false},
      {20, true, false, true},
      {32, true, false, true},
      {33, true, true, true},
      {34, true, false, false},
      {66, true, true, true},
  });
}

TEST(RefreshPacer, AChangeAfterAQuietSpellShowsAtOnce) {
  expectRun({
      {0, true, true, true},
      {500, false, false, true},
      {501, true, true, true},
  });
}

TEST(RefreshPacer, HandlesEventsEvery10MillisecondsEvenWithoutChanges) {
  expectRun({
      {0, false, false, true},
      {5, false, false, false},
      {9, false, false, false},
      {10, false, false, true},
      {19, false, false, false},
      {25, false, false, true},
  });
}

TEST(RefreshPacer, ARefreshRestartsTheEventInterval) {
  expectRun({
      {0, false, false, true},
      {8, false, false, false},
      {40, true, true, true},
      {45, false, false, false},
      {50, false, false, true},
  });
}

TEST(RefreshPacer, ManyYieldsWithinOneIntervalRefreshOnce) {
  RefreshPacer pacer;
  const auto start = std::chrono::steady_clock::now();
  int refreshes = 0;
  int eventRounds = 0;
  for (int i = 0; i < 100000; ++i) {  // a burst of yields all within the same 5 ms
    const auto step = pacer.onYield(start + std::chrono::microseconds(i / 20), true);
    refreshes += step.refresh ? 1 : 0;
    eventRounds += step.processEvents ? 1 : 0;
  }
  EXPECT_EQ(refreshes, 1);
  EXPECT_EQ(eventRounds, 1);
}

}  // namespace
}  // namespace skyhaul::window

// Deadlines: a limit of none never comes, one of nothing has come already, the earlier one is
// the smaller.
#include "platform/Deadline.h"

#include <gtest/gtest.h>

#include <chrono>

namespace skyhaul::platform {
namespace {

using std::chrono::milliseconds;

TEST(Deadline, NoLimitNeverComes) {
  const Deadline never(milliseconds::max());
  EXPECT_FALSE(never.expired());
  EXPECT_FALSE(never.passed());
  EXPECT_GT(never.remaining(), milliseconds(24LL * 3600 * 1000 * 365));
  EXPECT_EQ(never.at(), SteadyClock::time_point::max());
}

TEST(Deadline, NoTimeHasComeAlready) {
  const Deadline now(milliseconds(0));
  EXPECT_TRUE(now.expired());
  EXPECT_TRUE(now.passed());
  EXPECT_EQ(now.remaining(), milliseconds(0));
  const Deadline past(milliseconds(-5));
  EXPECT_EQ(past.remaining(), milliseconds(0));
}

TEST(Deadline, TheEarlierIsTheSmaller) {
  const Deadline soon(milliseconds(1000));
  const Deadline later(milliseconds(60000));
  EXPECT_LT(soon, later);
  EXPECT_FALSE(soon.expired());
  EXPECT_LE(soon.remaining(), milliseconds(1000));
}

}  // namespace
}  // namespace skyhaul::platform

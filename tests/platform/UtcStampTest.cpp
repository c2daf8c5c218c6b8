#include "platform/UtcStamp.h"

#include <gtest/gtest.h>

#include <chrono>

namespace skyhaul::platform {
namespace {

struct StampCase {
  const char* name;
  const char* stamp;
  long long secondsSinceEpoch;  // -1: no time
};

class UtcStampTest : public ::testing::TestWithParam<StampCase> {};

TEST_P(UtcStampTest, NamesTheMomentOrNothing) {
  const auto& c = GetParam();
  const auto time = timeOfUtcStamp(c.stamp);
  if (c.secondsSinceEpoch < 0) {
    EXPECT_FALSE(time.has_value());
    return;
  }
  ASSERT_TRUE(time.has_value());
  EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(time->time_since_epoch()).count(),
            c.secondsSinceEpoch);
}

INSTANTIATE_TEST_SUITE_P(
    Stamps, UtcStampTest,
    ::testing::Values(StampCase{"Epoch", "19700101000000", 0},
                      StampCase{"Plain", "20261209081530", 1796804130},
                      StampCase{"FractionDropped", "20261209081530.987", 1796804130},
                      StampCase{"LeapDay", "20240229235959", 1709251199},
                      StampCase{"NoLeapDay", "20250229000000", -1},
                      StampCase{"Hour24", "20261209240000", -1},
                      StampCase{"Short", "2026120908153", -1},
                      StampCase{"Letters", "2026120908153x", -1}, StampCase{"Empty", "", -1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace skyhaul::platform

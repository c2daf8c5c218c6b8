#include "platform/UtcStamp.h"

#include <gtest/gtest.h>

namespace skyhaul::platform {
namespace {

TEST(UtcStamp, NamesTheMomentToTheSecondOrNothing) {
  const struct {
    const char* stamp;
    long long seconds;  // since the epoch; -1: no time
  } rows[] = {{"19700101000000", 0},          {"20261209081530.987", 1796804130},
              {"20240229235959", 1709251199}, {"20250229000000", -1},
              {"20261209240000", -1},         {"2026120908153", -1},
              {"2026120908153x", -1},         {"", -1}};
  for (const auto& row : rows) {
    const auto time = timeOfUtcStamp(row.stamp);
    const long long got =
        time ? std::chrono::duration_cast<std::chrono::seconds>(time->time_since_epoch()).count()
             : -1;
    EXPECT_EQ(got, row.seconds) << row.stamp;
  }
}

}  // namespace
}  // namespace skyhaul::platform

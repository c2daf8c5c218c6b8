#include "platform/FtpPassiveAddress.h"

#include <gtest/gtest.h>

#include <string>

namespace skyhaul::platform {
namespace {

struct PassiveRow {
  const char* name;
  Ipv4Address named;
  Ipv4Address peer;
  bool usePeer;
};

class PassiveTarget : public testing::TestWithParam<PassiveRow> {};

TEST_P(PassiveTarget, ChoosesThePeerOnlyForAnUnreachableNamedAddress) {
  const auto& row = GetParam();
  EXPECT_EQ(usePeerForPassive(row.named, row.peer), row.usePeer);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PassiveTarget,
    testing::Values(
        PassiveRow{"same_address", {127, 0, 0, 1}, {127, 0, 0, 1}, false},
        PassiveRow{"private_behind_loopback", {10, 1, 2, 3}, {127, 0, 0, 1}, true},
        PassiveRow{"private_behind_public", {192, 168, 1, 5}, {203, 0, 113, 7}, true},
        PassiveRow{"private_172_behind_public", {172, 20, 0, 1}, {198, 51, 100, 1}, true},
        PassiveRow{"not_private_172", {172, 32, 0, 1}, {198, 51, 100, 1}, false},
        PassiveRow{"shared_range_behind_public", {100, 64, 0, 1}, {198, 51, 100, 1}, true},
        PassiveRow{"loopback_behind_public", {127, 0, 0, 1}, {198, 51, 100, 1}, true},
        PassiveRow{"link_local_behind_public", {169, 254, 1, 1}, {198, 51, 100, 1}, true},
        PassiveRow{"unspecified_always_peer", {0, 0, 0, 0}, {192, 168, 1, 1}, true},
        PassiveRow{"private_within_private_lan", {192, 168, 1, 6}, {192, 168, 1, 5}, false},
        PassiveRow{"other_public_host", {198, 51, 100, 9}, {203, 0, 113, 7}, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace skyhaul::platform

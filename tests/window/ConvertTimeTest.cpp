#include "window/ConvertTime.h"

#include <gtest/gtest.h>

#include <string>

namespace skyhaul::window {
namespace {

struct TimeCase {
  float seconds;
  std::string text;
};

void PrintTo(const TimeCase& c, std::ostream* os) { *os << c.seconds << " -> " << c.text; }

class ConvertTimeTable : public ::testing::TestWithParam<TimeCase> {};

TEST_P(ConvertTimeTable, WritesAClockText) {
  EXPECT_EQ(ConvertTime(GetParam().seconds), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(TimesOfDay, ConvertTimeTable,
                         ::testing::Values(TimeCase{0.0F, "00:00:00"}, TimeCase{7.0F, "00:00:07"},
                                           TimeCase{13.0F, "00:00:13"}, TimeCase{59.0F, "00:00:59"},
                                           TimeCase{60.0F, "00:01:00"}, TimeCase{61.0F, "00:01:01"},
                                           TimeCase{3599.0F, "00:59:59"},
                                           TimeCase{3600.0F, "01:00:00"},
                                           TimeCase{3661.0F, "01:01:01"},
                                           TimeCase{45296.0F, "12:34:56"},
                                           TimeCase{86399.0F, "23:59:59"}));

// No time of day: the built text comes back as it is.
INSTANTIATE_TEST_SUITE_P(
    OtherCounts, ConvertTimeTable,
    ::testing::Values(TimeCase{86400.0F, "24:0:0"}, TimeCase{90061.0F, "25:1:1"},
                      TimeCase{100000000.0F, "27777:46:40"}, TimeCase{-5.0F, "00:00:-5"},
                      TimeCase{59.5F, "00:00:59.5"}, TimeCase{60.5F, "0:1:0.5"}));

}  // namespace
}  // namespace skyhaul::window

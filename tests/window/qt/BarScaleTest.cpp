#include "window/qt/BarScale.h"

#include <gtest/gtest.h>

#include <limits>

namespace skyhaul::window {
namespace {

struct BarCase {
  float min;
  float max;
  float value;
  int steps;
};

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

class BarScaleTest : public testing::TestWithParam<BarCase> {};

TEST_P(BarScaleTest, ShowsThePositionWithinTheRange) {
  const BarCase& c = GetParam();
  EXPECT_EQ(barSteps(c.min, c.max, c.value), c.steps)
      << "min " << c.min << ", max " << c.max << ", value " << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, BarScaleTest,
    testing::Values(BarCase{0, 100, 0, 0},                           // the window's initial bar
                    BarCase{0, 100, 100, kBarSteps},                 //
                    BarCase{0, 100, 50, kBarSteps / 2},              //
                    BarCase{0, 1000000, 123456, 1235},               // rounded to the nearest step
                    BarCase{0, 2147483648.0F, 1073741824.0F, 5000},  // the largest 32-bit sizes
                    BarCase{0, 2147483648.0F, 2147483520.0F,
                            10000},                           // one float step short of the end
                    BarCase{0, 2147483648.0F, 214748.0F, 1},  //
                    BarCase{100, 200, 150, 5000},             // a minimum above zero
                    BarCase{0, 100, -5, 0},                   // below the range: empty
                    BarCase{0, 100, 150, kBarSteps},          // above the range: full
                    BarCase{0, 0, 0, kBarSteps},              // an empty file, done
                    BarCase{50, 10, 5, 0},                    // inverted, not reached
                    BarCase{50, 10, 20, kBarSteps},           // inverted, reached
                    BarCase{0, 100, kNaN, 0},                 //
                    BarCase{kNaN, 100, 50, 0},                //
                    BarCase{0, kNaN, 50, 0},                  //
                    BarCase{0, kInf, 50, 0},                  //
                    BarCase{-kInf, 100, 50, 0},               //
                    BarCase{0, kInf, kInf, kBarSteps}));      //

}  // namespace
}  // namespace skyhaul::window

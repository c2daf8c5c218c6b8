#include "window/qt/BarScale.h"

#include <cmath>

namespace skyhaul::window {

int barSteps(float min, float max, float value) {
  if (std::isnan(min) || std::isnan(max) || std::isnan(value)) return 0;
  if (!(max > min)) return value >= max ? kBarSteps : 0;
  if (value <= min) return 0;
  if (value >= max) return kBarSteps;
  // Double precision: the difference of two floats near 2^31 is exact there.
  const double fraction = (static_cast<double>(value) - min) / (static_cast<double>(max) - min);
  if (!std::isfinite(fraction)) return 0;  // an infinite end of the range
  return static_cast<int>(std::lround(fraction * kBarSteps));
}

}  // namespace skyhaul::window

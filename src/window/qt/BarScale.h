#pragma once
// The progress bar field holds single-precision byte counts up to 2^31; the widget takes ints.
// The widget gets a fixed range and the field's position scaled into it, for display only.

namespace skyhaul::window {

inline constexpr int kBarSteps = 10000;

// The position in 0..kBarSteps that shows `value` within `min`..`max`. Values outside the range
// are clamped; an empty or inverted range shows full when the value has reached the maximum,
// empty otherwise; values that are not numbers show empty.
int barSteps(float min, float max, float value);

}  // namespace skyhaul::window

#pragma once
#include <string>

namespace skyhaul::settings {

// A text counts as present when it sorts after a single space: not empty, not a lone space,
// not beginning with a control character.
bool IsFilled(const std::string& text);

}  // namespace skyhaul::settings

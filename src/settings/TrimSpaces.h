#pragma once
#include <string>

namespace skyhaul::settings {

// The text without its leading and trailing spaces (only spaces: tabs stay), as the command
// line and the transfer names are taken.
std::string trimSpaces(const std::string& text);

}  // namespace skyhaul::settings

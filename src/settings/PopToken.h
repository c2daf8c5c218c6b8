#pragma once
#include <string>

namespace skyhaul::settings {

// Takes the first token off a comma-separated list and returns it; `list` keeps the rest,
// left-trimmed of spaces. ";" ends the list; '"' and '\'' switch quoting; a character of code
// 1 stands for a literal '"'.
std::string PopToken(std::string& list);

}  // namespace skyhaul::settings

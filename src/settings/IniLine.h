#pragma once
// One line of a profile file, taken apart without reading any file.

#include <string>
#include <string_view>

namespace skyhaul::settings {

// What one line of a profile file holds. `name` is the section name or the key, `value` the
// raw text after the first "="; both are views into the line, blanks trimmed.
struct IniLine {
  enum class Kind { Other, Section, Pair };
  Kind kind = Kind::Other;
  std::string_view name;
  std::string_view value;
};

// Classifies one line (without its line end): "[name]" opens a section, "key=value" gives a
// value, a line starting with ";" and anything else is ignored.
IniLine parseIniLine(std::string_view line);

// Compares two names with ASCII letters folded to one case; other bytes must match exactly.
bool sameName(std::string_view a, std::string_view b);

// The value as a caller sees it: one pair of matching quotes removed, cut to 254 bytes.
std::string iniValue(std::string_view raw);

}  // namespace skyhaul::settings

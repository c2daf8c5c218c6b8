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

// Compares two names without regard to letter case (UTF-8 letters of any script); bytes that
// are not UTF-8 must match exactly.
bool sameName(std::string_view a, std::string_view b);

// The name in one letter case, so that names that sameName() takes as one are equal texts.
std::string foldedName(std::string_view name);

// The value as a caller sees it: one pair of matching quotes removed, cut to 254 characters
// (a byte that is not UTF-8 counts as one).
std::string iniValue(std::string_view raw);

}  // namespace skyhaul::settings

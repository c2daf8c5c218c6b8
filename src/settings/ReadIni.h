#pragma once
#include <string>

namespace skyhaul::settings {

// Reads one value from a profile file ("[section]" lines, "key=value" lines). Section and key
// are matched without regard to case; the value is the text after the first "=", blanks
// trimmed, one pair of matching quotes removed, cut to 254 characters. A missing file, section
// or key gives "". Never throws for those reasons.
std::string ReadIni(const std::string& section, const std::string& key, const std::string& file);

// Whether any section of the file gives `key` a filled value (for instance a password).
bool AnySectionHolds(const std::string& key, const std::string& file);

}  // namespace skyhaul::settings

#pragma once
// What a profile file holds as a whole: its sections and the keys a section gives, for checking
// the settings before a job runs. ReadIni reads the values.

#include <string>
#include <vector>

namespace skyhaul::settings {

// One "key=value" line: the key as written and its line number, counted from 1.
struct IniKey {
  std::string name;
  int line = 0;
};

// The keys given in `section` (under every header of that name, letter case aside), in file
// order. None when the file or the section does not exist.
std::vector<IniKey> SectionKeys(const std::string& section, const std::string& file);

// The section names of the file as first written, each once (letter case aside), in file order.
std::vector<std::string> SectionNames(const std::string& file);

// How many characters must be inserted, deleted, replaced or swapped with a neighbour to turn
// one name into the other, letter case aside: 1 for "gselo" and "geslo".
int nameDistance(const std::string& a, const std::string& b);

// Whether `typed` is close enough to `known` to be taken for a slip of the keyboard: at most one
// change in a name of up to four characters, two in a longer one. Equal names resemble each other.
bool resemblesName(const std::string& typed, const std::string& known);

}  // namespace skyhaul::settings

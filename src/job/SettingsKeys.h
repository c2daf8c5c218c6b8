#pragma once
// The keys the job reads from its settings file, in one table: a key the file gives that is not
// here is a slip worth a warning. A new setting is one row.

#include <string>

namespace skyhaul::job {

// Which section a key belongs in.
enum class KeyPlace { Program, Connection };

// Whether the job reads `key` (letter case aside) in a section of that kind; prenos and run
// count from 1 to 20 without leading zeros.
bool isKnownKey(KeyPlace place, const std::string& key);

// For an unknown key: the known key it most resembles (see settings::resemblesName), or "".
std::string resemblingKey(KeyPlace place, const std::string& key);

}  // namespace skyhaul::job

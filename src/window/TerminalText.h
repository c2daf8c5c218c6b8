#pragma once
// Fitting the console's progress meter into one line of a terminal.

#include <cstddef>
#include <string>

namespace skyhaul::window {

// The number of characters of a UTF-8 text (each taken as one column).
std::size_t columnsOf(const std::string& text);

// "<file>: <figures>" in at most `columns` - 1 columns, so that it never wraps: the file name
// is shortened in its middle ("…") first, then left out; the figures are cut last. `columns`
// of 0 or less means no limit is known.
std::string fitMeterLine(const std::string& file, const std::string& figures, int columns);

}  // namespace skyhaul::window

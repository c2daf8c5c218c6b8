#pragma once
// What the program needs to know of a terminal it writes to.

namespace skyhaul::platform {

// Whether the descriptor is a terminal.
bool isTerminal(int fd);

// The width of the terminal behind the descriptor in columns, or 0 when it is no terminal or
// cannot tell.
int terminalColumns(int fd);

}  // namespace skyhaul::platform

#pragma once
// Which names stay where they are, and why: the status line of each rule, or nullptr when the
// name may move. A name is data: one that a transfer could not carry exactly as it is, or that
// could reach a file it does not name, is left out rather than altered.

#include <string>

namespace skyhaul::job {

// The rules on the name alone: control characters (the commands, the terminal and the log
// cannot carry them), a blank at either end (the client trims its paths), the form of the
// program's temporaries, and, for a download, what no local file can be called.
const char* nameStatus(const std::string& name, bool download);

// The rules on the local file a name reaches (the source, or the target of a download): a link
// another user made, or something other than a regular file.
const char* localFileStatus(const std::string& path);

// The name as a status line may show it: every control character written as \xHH, so that
// nothing from a name reaches the terminal or the log as a command of its own.
std::string escapedName(const std::string& name);

}  // namespace skyhaul::job

#pragma once
// Starting other programs: the follow-up programs of a job and the desktop's default opener.

#include <string>
#include <vector>

namespace skyhaul::platform {

// Splits a command line into program and arguments like a shell does for words: blanks
// separate, "..." and '...' quote, a backslash outside single quotes takes the next character
// literally. No variables, globbing or redirection.
std::vector<std::string> splitCommandLine(const std::string& commandLine);

// Starts the command line as a program of its own and does not wait for it. The program is
// looked up on PATH when it has no "/". Throws SystemError when it cannot be started.
void startProgram(const std::string& commandLine);

// Opens a document or an address with the desktop's default opener (xdg-open). Failures are
// ignored: nobody is waiting for the answer.
void openWithDefaultApplication(const std::string& target);

}  // namespace skyhaul::platform

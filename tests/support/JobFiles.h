#pragma once
// The files of a job as the tests write and read them: the settings of a job at the test
// server, and the lines of SKYHAUL.log.

#include <filesystem>
#include <string>
#include <vector>

namespace skyhaul::test {

// ftpjob.ini text whose chosen section "job" points at `serverAddress`, the remote folder
// `ftpdir` and the local folder `localdir`; further lines may follow it. The tests' remote
// files are new, so downloads with DEL delete them only with the age check off ("starost=0");
// `starost` "" leaves the key out (the default, a minute).
std::string jobSettings(const std::string& serverAddress, const std::string& localdir,
                        const std::string& ftpdir = "in/", const std::string& starost = "0");

// SKYHAUL.log in `workingDirectory`: its whole text ("" when there is none), and its lines
// split at CR LF (none when there is no log).
std::string logText(const std::filesystem::path& workingDirectory);
std::vector<std::string> logLines(const std::filesystem::path& workingDirectory);

// "<date> <time> <source>-----><target>" with any date and time form of the locale.
bool isSuccessLine(const std::string& line, const std::string& source, const std::string& target);
// The whole log is one "NAPAKA<date> <time> <source>-----><target> <error>" line whose error
// holds `mark`.
bool isOnlyFailureLine(const std::string& log, const std::string& source, const std::string& target,
                       const std::string& mark);

}  // namespace skyhaul::test

#include "support/JobFiles.h"

#include "support/TempDir.h"

namespace skyhaul::test {

namespace {

constexpr const char* kArrow = "----->";

}  // namespace

std::string jobSettings(const std::string& serverAddress, const std::string& localdir,
                        const std::string& ftpdir, const std::string& starost) {
  return "[PROGRAM]\nIZBRANO=job\n[job]\nFTPURL=" + serverAddress + "\nftpdir=" + ftpdir +
         "\nlocaldir=" + localdir + "\n" + (starost.empty() ? "" : "starost=" + starost + "\n");
}

std::string logText(const std::filesystem::path& workingDirectory) {
  const auto path = workingDirectory / "SKYHAUL.log";
  return std::filesystem::is_regular_file(path) ? readFile(path) : std::string();
}

std::vector<std::string> logLines(const std::filesystem::path& workingDirectory) {
  const std::string text = logText(workingDirectory);
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const auto end = text.find("\r\n", at);
    lines.push_back(text.substr(at, end - at));
    if (end == std::string::npos) break;
    at = end + 2;
  }
  return lines;
}

bool isSuccessLine(const std::string& line, const std::string& source, const std::string& target) {
  const std::string body = " " + source + kArrow + target;
  return !line.starts_with("NAPAKA") && line.size() > body.size() && line.ends_with(body);
}

bool isOnlyFailureLine(const std::string& log, const std::string& source, const std::string& target,
                       const std::string& mark) {
  const std::string body = " " + source + kArrow + target + " ";
  const auto at = log.find(body);
  return log.starts_with("NAPAKA") && log.find("NAPAKA", 1) == std::string::npos &&
         at != std::string::npos && log.find(mark, at + body.size()) != std::string::npos &&
         log.ends_with("\r\n");
}

}  // namespace skyhaul::test

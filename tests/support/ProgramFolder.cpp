#include "support/ProgramFolder.h"

#include <stdexcept>
#include <string_view>

namespace skyhaul::test {

ProgramFolder::ProgramFolder() {
  std::filesystem::copy_file(SKYHAUL_BINARY, binary());
  std::filesystem::permissions(binary(), std::filesystem::perms::owner_all);
  if (hasWindowModule()) {
    std::filesystem::copy_file(SKYHAUL_WINDOW_MODULE, path() / windowModuleName());
  }
}

bool ProgramFolder::hasWindowModule() { return !std::string_view(SKYHAUL_WINDOW_MODULE).empty(); }

std::string ProgramFolder::windowModuleName() {
  return std::filesystem::path(SKYHAUL_WINDOW_MODULE).filename().string();
}

void ProgramFolder::writeIni(const std::string& text) const {
  writeFile(path() / "ftpjob.ini", text);
}

std::unique_ptr<SkyhaulProcess> ProgramFolder::start(RunOptions options) const {
  // The test's own directory would let the log grow among the build's files.
  if (options.workingDirectory.empty()) throw std::invalid_argument("no working directory");
  addDefault(options.environment, "SKYHAUL_TIMEOUT=5");
  addDefault(options.environment, "XDG_RUNTIME_DIR=" + runtime_.path().string());
  // The summary line of a test's run stays out of the machine's own log.
  addDefault(options.environment,
             "SKYHAUL_SYSLOG_SOCKET=" + (runtime_.path() / "no-syslog").string());
  const auto directory = options.workingDirectory;
  return std::make_unique<SkyhaulProcess>(binary(), directory, std::move(options));
}

RunOutcome ProgramFolder::run(RunOptions options) const {
  return start(std::move(options))->finish();
}

void addDefault(std::vector<std::string>& environment, const std::string& entry) {
  const std::string prefix = entry.substr(0, entry.find('=') + 1);
  for (const auto& present : environment) {
    if (present.starts_with(prefix)) return;
  }
  environment.push_back(entry);
}

}  // namespace skyhaul::test

#pragma once
// The program as a job finds it installed: a folder of its own holding a copy of the built
// binary beside its ftpjob.ini (and the window module, when the build made one), and a runtime
// folder of its own.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/SkyhaulProcess.h"
#include "support/TempDir.h"

namespace skyhaul::test {

class ProgramFolder {
 public:
  // Copies the built binary and window module; throws std::filesystem::filesystem_error when
  // one is not there.
  ProgramFolder();
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;

  const std::filesystem::path& path() const { return folder_.path(); }
  std::filesystem::path binary() const { return path() / "skyhaul"; }
  // Whether the build made the window module, and its file's name beside the binary.
  static bool hasWindowModule();
  static std::string windowModuleName();
  // Writes ftpjob.ini beside the copy.
  void writeIni(const std::string& text) const;

  // Starts the copy in `options.workingDirectory`, which must be given (std::invalid_argument).
  // Unless the options set them, waits on the server are bounded by SKYHAUL_TIMEOUT=5,
  // XDG_RUNTIME_DIR is the runtime folder and the summary line goes to a syslog socket there
  // that nobody binds.
  std::unique_ptr<SkyhaulProcess> start(RunOptions options) const;
  // Starts the copy and waits for its end.
  RunOutcome run(RunOptions options) const;

 private:
  TempDir folder_;
  TempDir runtime_;
};

// Adds `entry` ("NAME=value") to `environment` unless that already sets NAME.
void addDefault(std::vector<std::string>& environment, const std::string& entry);

}  // namespace skyhaul::test

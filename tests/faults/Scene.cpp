#include "faults/Scene.h"

namespace skyhaul::test {

namespace {

bool hasSetting(const std::vector<std::string>& environment, const std::string& name) {
  for (const auto& entry : environment) {
    if (entry.starts_with(name + "=")) return true;
  }
  return false;
}

}  // namespace

Scene::Scene(FtpServerOptions serverOptions) : server(std::move(serverOptions)) {
  const auto copy = program.path() / "skyhaul";
  std::filesystem::copy_file(SKYHAUL_BINARY, copy);
  std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
}

void Scene::writeSettings(const std::string& extraLines, const std::string& ftpdir,
                          const std::string& localdir) {
  std::filesystem::create_directories(server.root() / "in");
  writeIni("[PROGRAM]\nIZBRANO=job\n[job]\nFTPURL=" + server.address() + "\nftpdir=" + ftpdir +
           "\nlocaldir=" + (localdir.empty() ? local.prefix() : localdir) + "\n" + extraLines);
}

void Scene::writeIni(const std::string& text) { writeFile(program.path() / "ftpjob.ini", text); }

std::unique_ptr<SkyhaulProcess> Scene::start(std::vector<std::string> arguments,
                                             RunOptions options) const {
  options.arguments = std::move(arguments);
  if (!hasSetting(options.environment, "SKYHAUL_TIMEOUT")) {
    options.environment.emplace_back("SKYHAUL_TIMEOUT=5");
  }
  // The cases read the status lines, which a run without a terminal keeps to itself.
  if (!hasSetting(options.environment, "SKYHAUL_VERBOSE")) {
    options.environment.emplace_back("SKYHAUL_VERBOSE=1");
  }
  if (!hasSetting(options.environment, "XDG_RUNTIME_DIR")) {
    options.environment.emplace_back("XDG_RUNTIME_DIR=" + runtime.path().string());
  }
  const auto directory = options.workingDirectory.empty() ? work.path() : options.workingDirectory;
  return std::make_unique<SkyhaulProcess>(program.path() / "skyhaul", directory,
                                          std::move(options));
}

std::filesystem::path Scene::remote(const std::string& name) const {
  return server.root() / "in" / name;
}

std::filesystem::path Scene::localFile(const std::string& name) const {
  return local.path() / name;
}

std::string Scene::logText() const {
  const auto path = work.path() / "SKYHAUL.log";
  return std::filesystem::is_regular_file(path) ? readFile(path) : std::string();
}

std::vector<std::string> Scene::logLines() const {
  const std::string text = logText();
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const auto end = text.find("\r\n", at);
    lines.push_back(text.substr(at, end - at));
    if (end == std::string::npos) break;
    at = end + 2;
  }
  return lines;
}

std::string Scene::markerFollowUp() const { return "run1=touch " + markerPath().string() + "\n"; }

}  // namespace skyhaul::test

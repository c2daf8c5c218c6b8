#include "faults/Scene.h"

namespace skyhaul::test {

Scene::Scene(FtpServerOptions serverOptions) : server(std::move(serverOptions)) {}

void Scene::writeSettings(const std::string& extraLines, const std::string& ftpdir,
                          const std::string& localdir) {
  std::filesystem::create_directories(server.root() / "in");
  writeIni("[PROGRAM]\nIZBRANO=job\n[job]\nFTPURL=" + server.address() + "\nftpdir=" + ftpdir +
           "\nlocaldir=" + (localdir.empty() ? local.prefix() : localdir) + "\n" + extraLines);
}

std::unique_ptr<SkyhaulProcess> Scene::start(std::vector<std::string> arguments,
                                             RunOptions options) const {
  options.arguments = std::move(arguments);
  // The cases read the status lines, which a run without a terminal keeps to itself.
  addDefault(options.environment, "SKYHAUL_VERBOSE=1");
  if (options.workingDirectory.empty()) options.workingDirectory = work.path();
  return program.start(std::move(options));
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

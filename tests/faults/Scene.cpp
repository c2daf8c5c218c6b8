#include "faults/Scene.h"

#include "support/TestCertificates.h"

#include "support/JobFiles.h"

namespace skyhaul::test {

Scene::Scene(FtpServerOptions serverOptions) : server(serverOptions), tls_(serverOptions.tls) {}

// Over FTPS the server is named with its scheme and the test CA is trusted.
std::string Scene::serverUrl() const {
  if (tls_ == FtpTls::Explicit) return "ftpes://" + server.address();
  if (tls_ == FtpTls::Implicit) return "ftps://" + server.address();
  return server.address();
}

void Scene::writeSettings(const std::string& extraLines, const std::string& ftpdir,
                          const std::string& localdir) {
  std::filesystem::create_directories(server.root() / "in");
  const std::string trust =
      tls_ == FtpTls::None ? "" : "certifikat=" + testCertificates().caCert.string() + "\n";
  writeIni(jobSettings(serverUrl(), localdir.empty() ? local.prefix() : localdir, ftpdir) + trust +
           extraLines);
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

std::vector<std::string> Scene::logLines() const { return test::logLines(work.path()); }

std::string Scene::logText() const { return test::logText(work.path()); }

std::string Scene::markerFollowUp() const { return "run1=touch " + markerPath().string() + "\n"; }

}  // namespace skyhaul::test

#pragma once
// The world of one end-to-end run: the loopback test server, a program folder with a copy of
// the binary and its ftpjob.ini, a local folder, and a working directory where the log grows.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "faults/Expectations.h"
#include "support/ProgramFolder.h"
#include "support/SkyhaulProcess.h"
#include "support/TempDir.h"
#include "support/TestFtpServer.h"

namespace skyhaul::test {

class Scene {
 public:
  explicit Scene(FtpServerOptions serverOptions = {});
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  // ftpjob.ini whose section "job" points at the test server (over FTPS when it speaks TLS,
  // trusting the test CA) and the local folder (or `localdir` when given); the remote folder
  // "in" exists on the server.
  void writeSettings(const std::string& extraLines = {}, const std::string& ftpdir = "in/",
                     const std::string& localdir = {});
  void writeIni(const std::string& text) { program.writeIni(text); }
  // Starts the program with the job command `arguments` in the working directory unless the
  // options name another. Every status line is printed (SKYHAUL_VERBOSE=1) unless the options
  // set it; the other defaults are the program folder's.
  std::unique_ptr<SkyhaulProcess> start(std::vector<std::string> arguments,
                                        RunOptions options = {}) const;

  // A file in the remote folder "in", and in the local folder.
  std::filesystem::path remote(const std::string& name) const;
  std::filesystem::path localFile(const std::string& name) const;
  // The remote and local paths as the program writes them in the log.
  std::string remotePath(const std::string& name) const { return "in/" + name; }
  std::string localPath(const std::string& name) const { return local.prefix() + name; }
  // The log in the working directory: its lines split at CR LF, and its whole text.
  std::vector<std::string> logLines() const;
  std::string logText() const;
  // "run1=touch <marker>\n": a follow-up program that leaves a marker file.
  std::string markerFollowUp() const;
  std::filesystem::path markerPath() const { return work.path() / "after"; }
  // FTPURL for the test server.
  std::string serverUrl() const;

  TestFtpServer server;
  ProgramFolder program;  // the copy of the binary and its ftpjob.ini
  TempDir local;          // the local folder of the transfers
  TempDir work;           // the working directory
  Snapshot sources;       // the source side as a case found it before the run

 private:
  FtpTls tls_;
};

}  // namespace skyhaul::test

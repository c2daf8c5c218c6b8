#pragma once
// One run of the real program: a copy of the binary beside its ftpjob.ini, started with its
// arguments in a working directory of the test, standard input from /dev/null, the console view
// and none of the test's own SKYHAUL_ settings. Standard output and standard error are kept in
// files, which the test can watch while the program runs; a run that outlives its limit is
// killed and counted a hang.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace skyhaul::test {

struct RunOptions {
  std::vector<std::string> arguments;      // options and job command, as the scheduler passes them
  std::vector<std::string> environment;    // extra "NAME=value" entries; "NAME" alone removes one
  std::filesystem::path workingDirectory;  // where it starts; empty for the starter's default
  std::chrono::seconds limit{90};          // still running after this is a hang
  long long fileSizeLimit = -1;            // RLIMIT_FSIZE in bytes; -1 leaves it alone
  // Root loses the capabilities that let it ignore file modes, so that a read-only folder or
  // an unreadable file stops the program as it stops any other user.
  bool obeyFileModes = false;
};

struct RunOutcome {
  int exitStatus = -1;  // the exit code; -1 when a signal ended the program
  int signal = 0;       // the signal that ended it, or 0
  bool hung = false;    // killed at the limit
  std::string output;   // everything it wrote on standard output
  std::string errors;   // everything it wrote on standard error
  std::chrono::milliseconds elapsed{0};
  long peakMemoryKiB = 0;  // the program's largest resident set
};

class SkyhaulProcess {
 public:
  // Starts `program` (the copy beside its ftpjob.ini) in `workingDirectory`.
  SkyhaulProcess(const std::filesystem::path& program,
                 const std::filesystem::path& workingDirectory, RunOptions options);
  // Kills the program when it is still running.
  ~SkyhaulProcess();
  SkyhaulProcess(const SkyhaulProcess&) = delete;
  SkyhaulProcess& operator=(const SkyhaulProcess&) = delete;

  // Waits until standard error holds `text` `count` times (bounded by `limit`); false when the
  // limit passed or the program ended first.
  bool waitForErrors(const std::string& text, std::chrono::milliseconds limit, int count = 1);
  // Standard output and standard error so far.
  std::string output() const;
  std::string errors() const;
  // The program's process id while it runs.
  pid_t pid() const { return pid_; }
  // Waits for the end, killing the program at the run's limit.
  RunOutcome finish();
  // Ends the program at once with SIGKILL, as an administrator's kill -9 would.
  RunOutcome kill();

 private:
  bool reap(int options);

  TempDir files_;  // holds what the program writes on its standard output and error
  std::filesystem::path outputPath_;
  std::filesystem::path errorsPath_;
  RunOptions options_;
  pid_t pid_ = -1;
  int waitStatus_ = 0;
  long peakMemoryKiB_ = 0;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point ended_;
};

}  // namespace skyhaul::test

#pragma once
// What a run leaves for monitoring, beside the transfer log: the facts of each file as the
// per-file steps report them and, when the program ends (whatever ends it), a JSON record of the
// run, a metrics file for the node exporter's textfile collector and one summary line in the
// system log, each as far as it is asked for.

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ftp/cFTP.h"
#include "platform/Clock.h"
#include "platform/ProgramEnd.h"

namespace skyhaul::job {

enum class Direction { Up, Down };

// What the per-file steps tell as they go, at a few points of each file.
class FileRecorder {
 public:
  virtual ~FileRecorder() = default;
  // Before each attempt; the first one of a file starts its entry.
  virtual void attemptStarted(Direction direction, const std::string& localPath,
                              const std::string& remotePath) = 0;
  // The file arrived, confirmed as `facts` say.
  virtual void succeeded(const ftp::cFTP::TransferFacts& facts) = 0;
  // The last attempt failed with `error`.
  virtual void failed(const std::string& error) = 0;
  // What became of the source after the transfer, and why.
  virtual void sourceHandled(bool deleted, const std::string& reason) = 0;
};

// Where the record, the metrics and the log line go; each unset where nobody asked.
struct RunOutputs {
  std::optional<std::string> jsonPath;     // --json FILE, or the section's "json"
  std::optional<std::string> metricsPath;  // --metrics FILE, or the section's "metrike"
  std::optional<bool> systemLog;           // the section's "dnevnik" (0 turns it off)
};

struct JobDescription {
  std::string settingsPath;
  std::string section;
  std::string server;  // the server text as the settings give it
  std::string user;
};

inline constexpr int kRunRecordSchemaVersion = 1;

class RunRecord final : public FileRecorder {
 public:
  // The run starts now; the command line's outputs win over the settings'.
  RunRecord(platform::Clock& clock, RunOutputs fromCommandLine, std::string version);

  // The job in force, and the outputs its section asks for.
  void describeJob(JobDescription job, const RunOutputs& fromSettings);

  void attemptStarted(Direction direction, const std::string& localPath,
                      const std::string& remotePath) override;
  void succeeded(const ftp::cFTP::TransferFacts& facts) override;
  void failed(const std::string& error) override;
  void sourceHandled(bool deleted, const std::string& reason) override;

  // The run ends with `status`: writes each output asked for. What cannot be written is said
  // in one line on `errors`; nothing else is printed.
  void finish(platform::ExitStatus status, std::ostream& errors);

  // The parts finish() writes, at the end it sets.
  nlohmann::ordered_json document(platform::ExitStatus status) const;
  // `previous` is the metrics file as the last run left it, for its last success.
  std::string metricsText(platform::ExitStatus status, const std::string& previous) const;
  std::string summaryLine(platform::ExitStatus status) const;

 private:
  struct FileEntry {
    Direction direction = Direction::Up;
    std::string localPath;
    std::string remotePath;
    int attempts = 0;
    std::chrono::system_clock::time_point started;
    std::chrono::system_clock::time_point ended;
    bool finished = false;
    bool ok = false;
    ftp::cFTP::TransferFacts facts;
    std::optional<bool> deleted;
    std::string sourceReason;
    std::string error;
  };
  struct Totals {
    std::int64_t filesUp = 0, bytesUp = 0, filesDown = 0, bytesDown = 0;
    std::int64_t failed = 0, sizeChecked = 0, digestChecked = 0;
  };
  Totals totals() const;
  FileEntry* current();
  double seconds() const;
  std::string labels() const;
  void writeJson(platform::ExitStatus status, std::ostream& errors) const;
  void writeMetrics(platform::ExitStatus status, std::ostream& errors) const;
  void writeSystemLog(platform::ExitStatus status) const;

  platform::Clock& clock_;
  RunOutputs outputs_;
  RunOutputs commandLine_;
  std::string version_;
  std::optional<JobDescription> job_;
  std::chrono::system_clock::time_point started_;
  std::chrono::system_clock::time_point ended_;
  std::vector<FileEntry> files_;
};

// The meaning of an exit status, as --help gives it.
const char* exitStatusMeaning(platform::ExitStatus status);

}  // namespace skyhaul::job

#pragma once
// A job run against the loopback test server, with real files in temporary folders, the
// settings file beside a pretend program directory, and doubles only for the clock, the waits
// and the end of the program.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "form/FrmUpdate.h"
#include "form/View.h"
#include "job/Job.h"
#include "platform/SystemError.h"
#include "platform/inet/InternetSession.h"
#include "support/FakeClock.h"
#include "support/JobFiles.h"
#include "support/TempDir.h"
#include "support/TestFtpServer.h"
#include "window/ClientEvents.h"
#include "window/ProgressDisplay.h"

namespace skyhaul::test {

class RecordingView final : public form::View {
 public:
  explicit RecordingView(form::FrmUpdate& form) : form_(form) {}
  void yield() override { ++yields; }
  // An unpaced yield shows what the fields hold: the status line a window would show now.
  void yieldBeforeWait() override {
    ++yields;
    if (shown.empty() || shown.back() != form_.Label3.text()) shown.push_back(form_.Label3.text());
  }
  bool isMinimized() const override { return false; }
  std::string inputBox(const std::string& prompt, const std::string& title) override {
    prompts.push_back(prompt + "|" + title);
    return answer;
  }
  void reportUnhandledError(const std::string& message) override { errors.push_back(message); }
  void notice(const std::string& line) override { notices.push_back(line); }
  void fieldChanged(form::FieldId field) override {
    if (field != form::FieldId::Label3) return;
    statuses.push_back(form_.Label3.text());
    if (onStatus) onStatus(form_.Label3.text());
  }

  std::string answer;
  std::function<void(const std::string&)> onStatus;  // runs as the status line changes
  std::vector<std::string> prompts;
  std::vector<std::string> statuses;
  std::vector<std::string> shown;  // the status line at each unpaced yield, repeats dropped
  std::vector<std::string> errors;
  std::vector<std::string> notices;
  int yields = 0;

 private:
  form::FrmUpdate& form_;
};

// How a run ended: through the end of the program, or through an error nothing handled.
struct RunResult {
  std::optional<platform::ExitStatus> status;
  std::string unhandledError;
};

class JobTest : public ::testing::Test {
 protected:
  explicit JobTest(FtpServerOptions serverOptions = {}) : server(std::move(serverOptions)) {
    inet::setDefaultTimeouts({std::chrono::milliseconds(3000), std::chrono::milliseconds(3000),
                              std::chrono::milliseconds(3000)});
    form.attach(&view);
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);  // the user's own, not the tester's
  }

  // A settings file whose section "job" points at the test server and the local folder.
  void writeSettings(const std::string& extraLines = {}, const std::string& ftpdir = "in/") {
    writeIni(jobSettings(server.address(), local.prefix(), ftpdir) + extraLines);
  }
  void writeIni(const std::string& text) { writeFile(program.path() / "ftpjob.ini", text); }

  RunResult run(const std::string& commandLine) {
    job = std::make_unique<job::Job>(form, view, clock, programEnd,
                                     job::JobEnvironment{program.path().string(), commandLine});
    job->mFTP.setEvents(&events);
    RunResult result;
    try {
      job->Form_Load();
      job->Form_Activate();
    } catch (const ProgramEnded& ended) {
      result.status = ended.status;
    } catch (const platform::SystemError& error) {
      result.unhandledError = error.what();
    }
    return result;
  }

  std::vector<std::string> logLines() const { return test::logLines(work.path()); }

  std::vector<long> sleepsInMilliseconds() const {
    std::vector<long> result;
    for (auto sleep : clock.sleeps) result.push_back(static_cast<long>(sleep.count()));
    return result;
  }

  TestFtpServer server;
  TempDir program;  // holds ftpjob.ini, like the program's own directory
  TempDir local;    // the local directory of the transfers
  TempDir work;     // the working directory, where the log grows
  TempDir runtime;  // the user's runtime folder
  FakeClock clock;
  FakeProgramEnd programEnd;
  form::FrmUpdate form{programEnd};
  RecordingView view{form};
  window::ProgressDisplay progress{form, view, clock};
  window::ClientEvents events{form, view, progress};  // joined as main joins them
  std::unique_ptr<job::Job> job;

 private:
  InDirectory inWork_{work.path()};  // last, so the job runs and ends there
};

}  // namespace skyhaul::test

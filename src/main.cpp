// Skyhaul: an unattended FTP batch transfer. Started with a job command ("*.txt,UP,DEL"),
// reads ftpjob.ini beside the executable, moves the files, logs each one, runs the stored
// commands and the follow-up programs, and ends with an exit status a scheduler can read:
// 0 the job ran to its end, 1 a file failed its third attempt, 2 an error ended it,
// 3 the user closed the window, 4 the server could not be reached or refused the login,
// 5 another run of the same job was under way, 6 the job ran to its end but a remote listing
// failed.

#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "SkyhaulVersion.h"
#include "form/FrmUpdate.h"
#include "job/CommandLine.h"
#include "job/Job.h"
#include "job/RunRecord.h"
#include "platform/Clock.h"
#include "platform/ProgramEnd.h"
#include "platform/ProgramLocation.h"
#include "platform/Terminal.h"
#include "platform/inet/InternetSession.h"
#include "window/ClientEvents.h"
#include "window/ConsoleView.h"
#include "window/ProgressDisplay.h"
#include "window/WindowModule.h"

namespace {

using namespace skyhaul;

bool hasValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// The window when there is a display, the console otherwise; SKYHAUL_UI=window|console decides.
bool wantsWindow() {
  const char* choice = std::getenv("SKYHAUL_UI");
  if (choice != nullptr && std::string(choice) == "console") return false;
  if (choice != nullptr && std::string(choice) == "window") return true;
  return hasValue("DISPLAY") || hasValue("WAYLAND_DISPLAY");
}

// SKYHAUL_TIMEOUT bounds every wait on the server; 60 s when not given.
void applyTimeoutSetting() {
  const char* value = std::getenv("SKYHAUL_TIMEOUT");
  if (value == nullptr || *value == '\0') return;
  const auto bound = job::parseTimeout(value);
  if (!bound) {
    std::cerr << "Opozorilo: SKYHAUL_TIMEOUT=" << value
              << " ni število sekund med 1 in 86400; velja privzetih 60 sekund.\n";
    return;
  }
  inet::setDefaultTimeouts({*bound, *bound, *bound});
}

// --verbose, read before the view is made.
bool verboseOption = false;

// Every status line, also without a terminal: --verbose or SKYHAUL_VERBOSE=1.
bool wantsEveryStatusLine() {
  if (verboseOption) return true;
  const char* value = std::getenv("SKYHAUL_VERBOSE");
  return value != nullptr && *value != '\0' && std::string(value) != "0";
}

std::unique_ptr<form::View> makeConsoleView(form::FrmUpdate& form) {
  const bool errorsIsTerminal = platform::isTerminal(2);
  return std::make_unique<window::ConsoleView>(form, std::cin, std::cerr, platform::isTerminal(0),
                                               errorsIsTerminal, &std::chrono::steady_clock::now,
                                               !errorsIsTerminal && !wantsEveryStatusLine(),
                                               [] { return platform::terminalColumns(2); });
}

// A display that does not answer must not end the program (Qt aborts then), nor may a window
// module that is missing or does not load: the job runs in the terminal instead, and says so.
std::unique_ptr<form::View> makeView(form::FrmUpdate& form, int argc, char** argv) {
  if (!wantsWindow()) return makeConsoleView(form);
  std::string problem;
  if (auto window = window::openWindow(form, argc, argv, problem)) return window;
  std::cerr << "Okna ni mogoče odpreti (" << problem << "); Skyhaul teče v terminalu.\n";
  return makeConsoleView(form);
}

}  // namespace

int main(int argc, char** argv) {
  // The arguments are the job's own (the window's toolkit gets none of them). Help, version and
  // usage errors end here, before settings, a window or a connection.
  const job::StartRequest start = job::parseCommandLine(argc, argv);
  if (start.action != job::StartAction::Run) {
    return static_cast<int>(job::answerWithoutRunning(start, kVersion, std::cout, std::cerr));
  }
  verboseOption = start.verbose;
  std::setlocale(LC_ALL, "");
  // A reset connection or a file size limit must fail the write, not kill the job.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  applyTimeoutSetting();
  platform::SystemClock clock;
  platform::ProcessEnd programEnd;
  // The run's record, metrics and log line are written however the program ends; the record
  // outlives the job, which an unhandled error has already left when the end comes. A dry run
  // moved nothing, so it leaves none of them: its success is no night's success.
  job::RunRecord record(clock, {start.jsonPath, start.metricsPath, std::nullopt},
                        std::string(kVersion));
  if (!start.dryRun) {
    programEnd.atEnd([&record](platform::ExitStatus status) { record.finish(status, std::cerr); });
  }
  form::FrmUpdate form(programEnd);
  std::unique_ptr<form::View> view = makeView(form, argc, argv);
  window::ProgressDisplay progress(form, *view, clock);
  window::ClientEvents events(form, *view, progress);
  try {
    job::Job job(form, *view, clock, programEnd,
                 {platform::executableDirectory(), start.commandLine, start.settingsPath,
                  start.dryRun ? &std::cout : nullptr, &record});
    job.mFTP.setEvents(&events);
    job.Form_Load();
    view->show();
    job.Form_Activate();
  } catch (const std::exception& error) {
    view->reportUnhandledError(error.what());
    programEnd.endProgram(platform::ExitStatus::UnhandledError);
  }
  // Activation only returns when it was not the first one; the job ends the program itself.
  programEnd.endProgram(platform::ExitStatus::Completed);
}

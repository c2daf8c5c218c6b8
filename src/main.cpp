// Skyhaul: an unattended FTP batch transfer. Started with a job command ("*.txt,UP,DEL"),
// reads ftpjob.ini beside the executable, moves the files, logs each one, runs the stored
// commands and the follow-up programs, and ends with an exit status a scheduler can read:
// 0 the job ran to its end, 1 a file failed its third attempt, 2 an error ended it,
// 3 the user closed the window.

#include <unistd.h>

#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "SkyhaulVersion.h"
#include "job/CommandLine.h"
#include "job/Job.h"
#include "platform/Clock.h"
#include "platform/InternetLibrary.h"
#include "platform/ProgramEnd.h"
#include "platform/ProgramLocation.h"
#include "window/ConsoleView.h"
#include "window/FrmUpdate.h"
#ifdef SKYHAUL_HAVE_QT
#include "window/qt/QtView.h"
#endif

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

// SKYHAUL_TIMEOUT (seconds) bounds every wait on the server; 60 s when not given.
void applyTimeoutSetting() {
  const char* value = std::getenv("SKYHAUL_TIMEOUT");
  if (value == nullptr) return;
  char* end = nullptr;
  const double seconds = std::strtod(value, &end);
  if (end == value || seconds <= 0) return;
  const auto bound = std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
  platform::setDefaultTimeouts({bound, bound, bound});
}

std::unique_ptr<window::View> makeView(window::FrmUpdate& form, int& argc, char** argv,
                                       bool& isWindow) {
  isWindow = false;
#ifdef SKYHAUL_HAVE_QT
  if (wantsWindow()) {
    isWindow = true;
    return std::make_unique<window::QtView>(form, argc, argv);
  }
#else
  (void)argc;
  (void)argv;
  if (wantsWindow()) std::cerr << "Okno ni na voljo; Skyhaul teče v terminalu.\n";
#endif
  return std::make_unique<window::ConsoleView>(form, std::cin, std::cerr, ::isatty(0) == 1,
                                               ::isatty(2) == 1);
}

void showWindow([[maybe_unused]] window::View& view, [[maybe_unused]] bool isWindow) {
#ifdef SKYHAUL_HAVE_QT
  if (isWindow) static_cast<window::QtView&>(view).show();
#endif
}

}  // namespace

int main(int argc, char** argv) {
  // Taken before Qt sees the arguments: it removes the ones that look like its own options.
  // Help, version and usage errors end here, before settings, a window or a connection.
  const job::StartRequest start = job::parseCommandLine(argc, argv);
  if (start.action != job::StartAction::Run) {
    return static_cast<int>(job::answerWithoutRunning(start, kVersion, std::cout, std::cerr));
  }
  std::setlocale(LC_ALL, "");
  // A reset connection or a file size limit must fail the write, not kill the job.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  applyTimeoutSetting();
  platform::SystemClock clock;
  platform::ProcessEnd programEnd;
  window::FrmUpdate form(programEnd);
  bool isWindow = false;
  std::unique_ptr<window::View> view = makeView(form, argc, argv, isWindow);
  try {
    job::Job job(form, *view, clock, programEnd,
                 {platform::executableDirectory(), start.commandLine, start.settingsPath});
    job.Form_Load();
    showWindow(*view, isWindow);
    job.Form_Activate();
  } catch (const std::exception& error) {
    if (isWindow) std::cerr << "Napaka: " << error.what() << '\n';
    view->reportUnhandledError(error.what());
    programEnd.endProgram(platform::ExitStatus::UnhandledError);
  }
  // Activation only returns when it was not the first one; the job ends the program itself.
  programEnd.endProgram(platform::ExitStatus::Completed);
}

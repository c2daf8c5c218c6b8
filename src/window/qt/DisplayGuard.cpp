#include "window/qt/DisplayGuard.h"

#include <unistd.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace skyhaul::window {
namespace {

std::vector<std::string> restartArguments;
std::atomic<bool> shown{false};
form::FrmUpdate* runningForm = nullptr;
QtMessageHandler qtHandler = nullptr;
std::string startWarning;  // Qt's last warning while the window was made: usually the cause

std::string firstLine(const QString& message) {
  const std::string text = message.toStdString();
  return text.substr(0, text.find('\n'));
}

bool displayBroken() {
  if (qGuiApp == nullptr) return false;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr && x11->connection() != nullptr &&
         xcb_connection_has_error(x11->connection()) != 0;
}

// The same program with the same arguments, in the terminal: no transfer has started yet.
[[noreturn]] void restartInTerminal(const std::string& reason) {
  std::cerr << "Okna ni mogoče odpreti (Qt: " + reason + "); Skyhaul teče v terminalu.\n"
            << std::flush;
  ::setenv("SKYHAUL_UI", "console", 1);
  std::vector<char*> argv;
  for (auto& word : restartArguments) argv.push_back(word.data());
  argv.push_back(nullptr);
  ::execv("/proc/self/exe", argv.data());
  std::cerr << "Napaka: programa ni mogoče znova zagnati v terminalu: " << std::strerror(errno)
            << "\n"
            << std::flush;
  std::_Exit(2);
}

[[noreturn]] void endForLostDisplay() {
  std::cerr << "Zaslon okna se je izgubil; posel se konča kot ob zaprtju okna, datoteka v "
               "prenosu ostane nedokončana.\n"
            << std::flush;
  if (runningForm != nullptr) runningForm->Command3_Click();
  std::_Exit(3);  // as the close command ends it
}

void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (!shown) {
    if (type == QtFatalMsg)
      restartInTerminal(startWarning.empty() ? firstLine(message) : startWarning);
    if (type == QtWarningMsg || type == QtCriticalMsg) startWarning = firstLine(message);
    return;  // one line at most says why the window did not come
  }
  // Wayland offers no look at its connection here; Qt says so before it ends the process.
  const bool waylandBroke = QGuiApplication::platformName() == QLatin1String("wayland") &&
                            message.contains(QLatin1String("connection broke"));
  if (runningForm != nullptr && (waylandBroke || displayBroken())) endForLostDisplay();
  if (qtHandler != nullptr) qtHandler(type, context, message);
}

// Qt's exit(1) after a broken connection, should it come without a message first.
void atProgramExit() {
  if (shown && runningForm != nullptr && displayBroken()) endForLostDisplay();
}

}  // namespace

void guardDisplayStart(int argc, char** argv) {
  restartArguments.assign(argv, argv + argc);
  shown = false;
  qtHandler = qInstallMessageHandler(handleMessage);
}

void guardDisplayRun(form::FrmUpdate& form) {
  runningForm = &form;
  std::atexit(atProgramExit);
}

void displayShown() { shown = true; }

}  // namespace skyhaul::window

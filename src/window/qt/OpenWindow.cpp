// The window module's one entry point. The display probe lives here too: it needs xcb, which
// the program itself must not link.
#include "window/WindowModule.h"
#include "window/qt/DisplayGuard.h"
#include "window/qt/DisplayProbe.h"
#include "window/qt/QtView.h"

namespace skyhaul::window {

extern "C" [[gnu::visibility("default")]] OpenWindow skyhaulOpenWindow;

// A display that does not answer must not reach Qt, which would abort the process; one that
// fails Qt all the same starts the program again in the terminal (DisplayGuard).
std::unique_ptr<form::View> skyhaulOpenWindow(form::FrmUpdate& form, int argc, char** argv,
                                              std::string& problem) {
  const DisplayChoice display = probeDisplay();
  if (!display.usable) {
    problem = display.problem;
    return nullptr;
  }
  guardDisplayStart(argc, argv);
  auto view = std::make_unique<QtView>(form, argc, argv, display.platform);
  guardDisplayRun(form);
  return view;
}

}  // namespace skyhaul::window

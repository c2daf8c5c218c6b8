#pragma once
// The Qt window lives in a module of its own, loaded only when a window is wanted, so that the
// program needs no Qt and no X library. The module exports one function, named kOpenWindow.

#include <memory>
#include <string>

#include "form/FrmUpdate.h"
#include "form/View.h"

namespace skyhaul::window {

// The module's factory: the window on the display found, or null and `problem` saying in
// Slovenian why there is none. `argv` must outlive the view.
using OpenWindow = std::unique_ptr<form::View>(form::FrmUpdate& form, int argc, char** argv,
                                               std::string& problem);
inline constexpr const char* kOpenWindow = "skyhaulOpenWindow";

// Loads the module (beside the program, else in its installed folder; only as its installer
// left it: see platform::openInstalledFile) and opens the window.
// A module that is missing or does not load gives null and the reason in `problem`, as a
// display that does not answer does. The view keeps the module loaded for as long as it lives.
std::unique_ptr<form::View> openWindow(form::FrmUpdate& form, int argc, char** argv,
                                       std::string& problem);

}  // namespace skyhaul::window

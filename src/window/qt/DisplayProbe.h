#pragma once
// Whether the window can be shown at all: Qt ends the process (SIGABRT) when the display it is
// told about does not answer, so the display is asked first, without Qt.

#include <string>

namespace skyhaul::window {

struct DisplayChoice {
  bool usable = false;
  std::string platform;  // the Qt platform to use ("xcb", "wayland"), or "" for Qt's own choice
  std::string problem;   // why it is not usable, in Slovenian
};

// Looks at QT_QPA_PLATFORM (taken as it is), DISPLAY (an X server that accepts a connection)
// and WAYLAND_DISPLAY (a compositor socket that accepts one, and Qt's Wayland support installed).
DisplayChoice probeDisplay();

}  // namespace skyhaul::window

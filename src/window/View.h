#pragma once
// What the job needs of the screen beyond the fields: yielding to pending window events, the
// minimised state, the input box, and the report of an error that ends the program.
// The Qt window and the console are its two implementations.

#include <string>

#include "window/Fields.h"

namespace skyhaul::window {

class View : public FieldListener {
 public:
  // Processes pending window events: repaints and runs the handlers of user actions that
  // arrived meanwhile ("Zapri" ends the program from here).
  virtual void yield() = 0;
  virtual bool isMinimized() const = 0;
  // A modal input box; returns the text typed, or "" when cancelled.
  virtual std::string inputBox(const std::string& prompt, const std::string& title) = 0;
  // Shows the cause of an error that ends the program.
  virtual void reportUnhandledError(const std::string& message) = 0;
};

}  // namespace skyhaul::window

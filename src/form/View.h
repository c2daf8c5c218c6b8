#pragma once
// What the job needs of the screen beyond the fields: yielding to pending window events, the
// minimised state, the input box, and the report of an error that ends the program.
// The Qt window and the console are its two implementations.

#include <string>

#include "form/Fields.h"

namespace skyhaul::form {

class View : public FieldListener {
 public:
  // Puts the view on screen, once the fields hold the job's settings; a console has nothing to
  // show.
  virtual void show() {}
  // Processes pending window events: repaints and runs the handlers of user actions that
  // arrived meanwhile ("Zapri" ends the program from here).
  virtual void yield() = 0;
  // The yield right before a blocking wait, and the job's own yields between its steps: unlike
  // a transfer's paced yields, it always shows what the fields hold now, so that the window
  // never stands still on an older state.
  virtual void yieldBeforeWait() { yield(); }
  virtual bool isMinimized() const = 0;
  // A modal input box; returns the text typed, or "" when cancelled.
  virtual std::string inputBox(const std::string& prompt, const std::string& title) = 0;
  // Shows the cause of an error that ends the program.
  virtual void reportUnhandledError(const std::string& message) = 0;
  // One line a person must act on (a warning, the reason nothing was done), printed on the
  // error stream whatever the view, also in a run that is otherwise quiet.
  virtual void notice(const std::string& line) = 0;
  // A line for someone watching the run (the server it connects to, the login, what each
  // command found, the end), shown where the status lines go, never in a quiet run.
  virtual void detail(const std::string& /*line*/) {}
  // Whether every status line a person must act on reaches the error stream already, so that
  // a notice saying the same would print it twice.
  virtual bool printsStatusLines() const { return false; }
};

}  // namespace skyhaul::form

#pragma once
// The view for running without a display, from a terminal or a scheduler: status lines and a
// one-line progress meter on the error stream, the input box as a prompt on the terminal.
// A quiet view (no terminal, nobody watching) prints only what a person must act on.

#include <chrono>
#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "form/FrmUpdate.h"
#include "form/View.h"

namespace skyhaul::window {

class ConsoleView final : public form::View {
 public:
  using SteadyNow = std::function<std::chrono::steady_clock::time_point()>;
  // The terminal's width in columns now; 0 when it cannot tell.
  using Columns = std::function<int()>;

  // Listens to the fields of `form` until destroyed. The meter is drawn only when `errors` is
  // a terminal, cut to `columns`; the prompt is asked only when `input` is one. `now` paces the
  // meter. A `quiet` view prints only the status lines that are not routine progress.
  ConsoleView(form::FrmUpdate& form, std::istream& input, std::ostream& errors,
              bool inputIsTerminal, bool errorsIsTerminal,
              SteadyNow now = &std::chrono::steady_clock::now, bool quiet = false,
              Columns columns = {});
  ~ConsoleView() override;
  ConsoleView(const ConsoleView&) = delete;
  ConsoleView& operator=(const ConsoleView&) = delete;

  // Prints each change of the status line, with the current file name; notes meter changes.
  void fieldChanged(form::FieldId field) override;
  // Redraws the meter when it changed and its last drawing is about a tenth of a second old.
  void yield() override;
  // Draws a changed meter at once: the wait that follows would leave an older state on screen.
  void yieldBeforeWait() override;
  bool isMinimized() const override { return false; }
  // On a terminal: prints the prompt and reads one line ("" at end of input). Otherwise "".
  std::string inputBox(const std::string& prompt, const std::string& title) override;
  // Prints "Napaka: " and the message.
  void reportUnhandledError(const std::string& message) override;
  // Prints the line as it is, unless the view is quiet.
  void detail(const std::string& line) override;
  // Prints the line as it is.
  void notice(const std::string& line) override;
  bool printsStatusLines() const override { return true; }

 private:
  void printStatus();
  void drawMeter();
  void endMeterLine();

  form::FrmUpdate& form_;
  std::istream& input_;
  std::ostream& errors_;
  bool inputIsTerminal_;
  bool meterEnabled_;
  SteadyNow now_;
  bool quiet_;
  Columns columns_;
  bool meterChanged_ = false;
  bool meterOnScreen_ = false;
  std::chrono::steady_clock::time_point lastDrawn_{};
};

}  // namespace skyhaul::window

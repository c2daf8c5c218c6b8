#pragma once
// The view for running without a display, from a terminal or a scheduler: status lines and a
// one-line progress meter on the error stream, the input box as a prompt on the terminal.

#include <chrono>
#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "window/FrmUpdate.h"
#include "window/View.h"

namespace skyhaul::window {

class ConsoleView final : public View {
 public:
  using SteadyNow = std::function<std::chrono::steady_clock::time_point()>;

  // Listens to the fields of `form` until destroyed. The meter is drawn only when `errors` is
  // a terminal; the prompt is asked only when `input` is one. `now` paces the meter.
  ConsoleView(FrmUpdate& form, std::istream& input, std::ostream& errors, bool inputIsTerminal,
              bool errorsIsTerminal, SteadyNow now = &std::chrono::steady_clock::now);
  ~ConsoleView() override;
  ConsoleView(const ConsoleView&) = delete;
  ConsoleView& operator=(const ConsoleView&) = delete;

  // Prints each change of the status line, with the current file name; notes meter changes.
  void fieldChanged(FieldId field) override;
  // Redraws the meter when it changed and its last drawing is about a tenth of a second old.
  void yield() override;
  bool isMinimized() const override { return false; }
  // On a terminal: prints the prompt and reads one line ("" at end of input). Otherwise "".
  std::string inputBox(const std::string& prompt, const std::string& title) override;
  // Prints "Napaka: " and the message.
  void reportUnhandledError(const std::string& message) override;

 private:
  void printStatus();
  void drawMeter();
  void endMeterLine();

  FrmUpdate& form_;
  std::istream& input_;
  std::ostream& errors_;
  bool inputIsTerminal_;
  bool meterEnabled_;
  SteadyNow now_;
  bool meterChanged_ = false;
  bool meterOnScreen_ = false;
  std::chrono::steady_clock::time_point lastDrawn_{};
};

}  // namespace skyhaul::window

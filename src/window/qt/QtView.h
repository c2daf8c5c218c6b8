#pragma once
// The main window on screen, through Qt Widgets: one face of the window's fields (FrmUpdate),
// the console being the other. The job never sees Qt; it reads and writes the fields and yields.

#include <memory>
#include <string>

#include "form/FrmUpdate.h"
#include "form/View.h"

class QWidget;

namespace skyhaul::window {

class QtView final : public form::View {
 public:
  // Creates the Qt application (unless the process already has one) on `platform` ("" for Qt's
  // own choice) and the window, showing the fields' current contents, and attaches itself to
  // `form` for their later changes. `argv` must outlive the view.
  QtView(form::FrmUpdate& form, int argc, char** argv, const std::string& platform = {});
  // Detaches from `form` and closes the window.
  ~QtView() override;
  QtView(const QtView&) = delete;
  QtView& operator=(const QtView&) = delete;

  // Shows the window and processes pending events once.
  void show() override;
  // The top-level window, for screenshots and tests.
  QWidget& window();

  // Shows changed fields at most about 30 times a second and handles user actions at least every
  // 10 ms; "Zapri" or closing the window ends the program from here.
  void yield() override;
  // Shows every changed field and handles pending events now, whatever the pacing.
  void yieldBeforeWait() override;
  // Whether the window is minimised now.
  bool isMinimized() const override;
  // A modal dialog; cancelling gives "".
  std::string inputBox(const std::string& prompt, const std::string& title) override;
  // Prints the message on the error stream and shows it in a critical message box; returns when
  // the user closes it.
  void reportUnhandledError(const std::string& message) override;
  // Prints the line on the error stream: a scheduler reads that, not the window.
  void notice(const std::string& line) override;
  // Only marks the field for the next refresh: the job changes fields millions of times.
  void fieldChanged(form::FieldId field) override;

 private:
  struct Impl;
  void endProgramIfCloseRequested();

  form::FrmUpdate& form_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace skyhaul::window
